// Memory as a client's process sees it. This executable replaces the global
// operator new and delete, which the shared library takes too (an
// executable's operator new replaces the library's on ELF systems): they
// count the blocks and bytes that are live, and can refuse one allocation
// on request, as a system out of memory refuses it.
//
// A refused allocation reaches the client as run-time error 7, never as
// std::bad_alloc, with the client's arrays as the rules say; and a long run
// of mixed late-bound calls leaves the memory as it found it.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "nodrel/dispatch.hpp"
#include "nodrel/matr.hpp"
#include "support/values.hpp"

namespace {

std::atomic<std::size_t> live_blocks{0}, live_bytes{0};
std::atomic<std::uint64_t> refuse_countdown{0};  // 0: nothing to refuse
std::atomic<std::size_t> refuse_min_bytes{0};

// Refuses the nth allocation of at least min_bytes from now on (n >= 1);
// n = 0 cancels a refusal still pending.
void fail_allocation(std::uint64_t n, std::size_t min_bytes) {
  refuse_min_bytes.store(min_bytes);
  refuse_countdown.store(n);
}

void* allocate(std::size_t size) noexcept {
  if (refuse_countdown.load() != 0 && size >= refuse_min_bytes.load() &&
      refuse_countdown.fetch_sub(1) == 1) {
    return nullptr;
  }
  void* p = std::malloc(size);
  if (p != nullptr) live_blocks += 1, live_bytes += malloc_usable_size(p);
  return p;
}

void release(void* p) noexcept {
  if (p != nullptr) live_blocks -= 1, live_bytes -= malloc_usable_size(p);
  std::free(p);
}

}  // namespace

// The replaceable forms without alignment; the aligned ones keep the
// library's own implementation, which pairs them with its aligned delete.
void* operator new(std::size_t size) {
  void* p = allocate(size);
  return p != nullptr ? p : throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

namespace nodrel {
namespace {

// The arguments: an n x n matrix far from singular (a dominant diagonal over
// a Hilbert-like rest); the vector of n ones; n points of y = 1 + 2x + 3x^2;
// an n x n array of variants (integers and texts that read as numbers); a
// label that keeps what it is given.
Variant well_conditioned(int n, double shift = 0.0) {
  std::vector<std::vector<double>> rows(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) rows[i].push_back(i == j ? n + shift + i : 1.0 / (i + j + 1));
  }
  return DoubleArray::matrix(rows);
}
Variant ones(int n) { return DoubleArray::vector(std::vector<double>(n, 1.0)); }
Variant parabola_points(int n) {
  std::vector<double> xs, ys;
  for (double x = -1.0; xs.size() < static_cast<std::size_t>(n); x += 2.0 / (n - 1)) {
    xs.push_back(x), ys.push_back(1 + 2 * x + 3 * x * x);
  }
  return DoubleArray::matrix({xs, ys});
}
Variant variant_table(int n) {
  std::vector<std::vector<Variant>> rows(static_cast<std::size_t>(n));
  for (int k = 0; k < n * n; ++k) {
    rows[k / n].push_back(k % 2 == 0 ? Variant(k) : Variant(std::to_string(k) + ".5"));
  }
  return VariantArray::matrix(rows);
}
struct CaptionLabel : Label {
  std::string get_Caption() override { return caption; }
  void put_Caption(const std::string& text) override { caption = text; }
  std::string caption = "old";
};
const auto label = std::make_shared<CaptionLabel>();

// The label shows as its caption, so that it compares by what it shows.
std::vector<std::string> shown(const std::vector<Variant>& args) {
  std::vector<std::string> text;
  for (const Variant& v : args) text.push_back(v.object() ? label->caption : show(v));
  return text;
}

// Each call runs once without a fault for its outcome, then once for every
// allocation of array storage it makes, that one refused. Array storage is
// told apart from the small bookkeeping of a call by its size: every array
// here holds more than kArrayBytes, and nothing else a call allocates is
// that large.
TEST(AllocationFaultTest, EveryRefusedArrayIsRunTimeError7AndArgumentsFollowTheRules) {
  constexpr std::size_t kArrayBytes = 256;
  // Order 20: beyond the sizes that the fast paths keep on the stack. Late
  // bound, what a failed call may have done to each argument: 'u' untouched
  // (only read, or restored before the error), 'e' written only at the end
  // (as it was, or the finished result), '*' anything its rules allow. A C++
  // caller (no arguments listed) calls without the boundary, also where a
  // method copies an aliased argument or composes a text.
  const Variant a = well_conditioned(20), b = well_conditioned(20, 3.0), none;
  const Variant perif = std::shared_ptr<Object>(label);
  const DoubleArray da = *a.double_array(), db = *b.double_array();
  const struct {
    const char* name;
    std::vector<Variant> args;
    std::string after;
    std::function<void(Matr&)> cpp;
  } calls[] = {
      // clang-format off
      {"mInv", {a}, "e", {}},
      {"mDet", {a}, "u", {}},
      {"mMult", {none, a, b}, "*uu", {}},
      {"mSwap", {a, b}, "ee", {}},
      {"mSist", {ones(20), a, ones(20)}, "*uu", {}},
      {"mMakeMatrI", {none, 40}, "eu", {}},
      {"mPolin", {ones(3), parabola_points(40), 3}, "euu", {}},
      {"mDuplVar", {ones(2), variant_table(8)}, "*u", {}},
      {"mPrint", {a, perif, Variant::missing(), Variant::missing(), "comment"}, "ueeuu", {}},
      {"C++ mPrint", {}, "", [&](Matr& m) { m.mPrint(Variant(da), {}, Variant("DEBUG")); }},
      {"C++ mSist, x is b", {}, "", [&](Matr& m) { DoubleArray x = *ones(20).double_array(), c = da; m.mSist(x, c, x); }},
      {"C++ mMult, dest is a source", {}, "", [&](Matr& m) { DoubleArray c = da; m.mMult(c, c, db); }},
      {"C++ mDupl", {}, "", [&](Matr& m) { DoubleArray c; m.mDupl(c, da); }},
      // clang-format on
  };
  for (const auto& call : calls) {
    SCOPED_TRACE(call.name);
    // The result or "error N" ("bad_alloc" when that reached the client),
    // with the nth allocation of an array refused (none for 0).
    std::vector<Variant> args;
    const auto run = [&](std::uint64_t n) {
      Matr m;
      args = call.args;
      label->caption = "old";
      fail_allocation(n, kArrayBytes);
      try {
        return outcome([&] {
          return call.cpp ? (call.cpp(m), Variant()) : invoke(m, call.name, pointers(args));
        });
      } catch (const std::bad_alloc&) {
        return std::string("bad_alloc");
      }
    };
    label->caption = "old";
    const auto initial = shown(call.args);
    const std::string expected = run(0);
    const auto done = shown(args);
    int refusals = 0;
    for (std::uint64_t n = 1;; ++n) {
      ASSERT_LT(n, 9999u) << "no end to the allocations";
      SCOPED_TRACE("refused allocation " + std::to_string(n));
      const std::string result = run(n);
      const bool refused = refuse_countdown.load() == 0;
      fail_allocation(0, 0);
      const auto now = shown(args);
      if (result != "error 7") {  // a refusal the method recovered from must not show
        EXPECT_EQ(result, expected);
        EXPECT_EQ(now, done);
        if (!refused) break;
        continue;
      }
      ++refusals;
      for (std::size_t k = 0; k < args.size(); ++k) {
        const bool allowed = call.after[k] == '*' || now[k] == initial[k] ||
                             (call.after[k] == 'e' && now[k] == done[k]);
        EXPECT_TRUE(allowed) << "argument " << k << ": " << now[k];
      }
    }
    EXPECT_GT(refusals, 0) << "the call allocated no array";
  }
}

// The calls cover results, the conditions of ErrCode, run-time errors of the
// methods and refusals at the boundary, prints and conversions of arrays of
// variants. A warm-up of the same calls comes first, so that whatever the
// component makes once per process is made; then every call must give back
// all it took. (Every allocation of these calls goes through operator new,
// which counts it: the resident set size would add nothing but the
// allocator's own noise.)
// NODREL_FLAT_MEMORY_CALLS is the number of calls: a million in the normal
// build, 100,000 under the sanitizers (CMakeLists.txt).
TEST(FlatMemoryTest, MixedLateBoundCallsGiveBackAllTheyTake) {
  const Variant a = well_conditioned(4), v = ones(4), none, missing = Variant::missing();
  const Variant caption = std::shared_ptr<Object>(std::make_shared<CaptionLabel>());
  // Each call with the run-time error it must end with (0: none).
  const struct {
    const char* name;
    std::vector<Variant> args;
    int error;
  } calls[] = {{"mInv", {a}, 0},
               {"mMult", {none, a, well_conditioned(4, 1.0)}, 0},
               {"mInv", {DoubleArray::matrix({{1, 1}, {1, 1}})}, 0},  // ErrCode 4, no error
               {"mDuplVar", {none, variant_table(3)}, 0},
               {"mPolin", {none, parabola_points(6), "3"}, 0},
               {"mGetXsOfQuadr", {none, none, 0, DoubleArray::vector({-3, 2, 1})}, 0},
               {"mPrint", {v, caption, "ignored", "#,##0.00", "v", missing, false}, 0},
               {"mPrint", {a, missing, missing, "0 \"kg\""}, 13},
               {"mDuplVar", {none, VariantArray::vector({"abc"})}, 13},
               {"mMakeMatrNul", {none, 100000, 100000}, 7},
               {"mNoSuchMethod", {}, 438},
               {"mOpp", {a, a}, 450}};
  Matr m;
  int wrong = 0;
  const auto run = [&](long count) {
    for (long made = 0; made < count; made += static_cast<long>(std::size(calls))) {
      for (const auto& call : calls) {
        std::vector<Variant> args = call.args;
        wrong += outcome([&] { invoke(m, call.name, pointers(args)); }) != error_text(call.error);
      }
    }
  };
  run(std::max(NODREL_FLAT_MEMORY_CALLS / 100, 100));  // the warm-up
  const std::size_t blocks = live_blocks.load(), bytes = live_bytes.load();
  run(NODREL_FLAT_MEMORY_CALLS);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(live_blocks.load(), blocks);
  EXPECT_EQ(live_bytes.load(), bytes);
}

}  // namespace
}  // namespace nodrel
