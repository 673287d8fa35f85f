// A failing allocation reaches the client as run-time error 7, with the
// client's arrays as the rules say: what a method writes only at its end is
// untouched, what it only reads is never changed.
//
// Each call runs once without a fault for its outcome, then once for every
// allocation of array storage it makes, that one refused. Array storage is
// told apart from the small bookkeeping of a call by its size: every array
// here holds more than kArrayBytes, and nothing else a call allocates is
// that large.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "hardening/allocation.hpp"
#include "hardening/values.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "nodrel/platform.hpp"

namespace nodrel::hardening {
namespace {

constexpr std::size_t kArrayBytes = 256;

// What a failed call may have done to an argument.
enum class After {
  kUntouched,       // only read, or restored before the error
  kAsBeforeOrDone,  // written only at the end: as it was, or the finished result
  kAnything,        // written step by step, as its rules allow
};

struct Call {
  const char* name;
  std::function<std::vector<Variant>()> arguments;
  std::vector<After> after;
};

template <typename... Values>
std::vector<Variant> list(const Values&... values) {
  return {Variant(values)...};
}

std::vector<Call> calls() {
  using enum After;
  // Order 20: beyond the sizes that the fast paths keep on the stack.
  const DoubleArray a = well_conditioned(20);
  const DoubleArray b = well_conditioned(20, 3.0);
  const DoubleArray tall = well_conditioned(40);
  const Variant none;
  const Variant left_out = Variant::missing();
  return {
      {"mInv", [=] { return list(a); }, {kAsBeforeOrDone}},
      {"mDet", [=] { return list(a); }, {kUntouched}},
      {"mMult", [=] { return list(none, a, b); }, {kAnything, kUntouched, kUntouched}},
      {"mDivd", [=] { return list(none, a, b); }, {kAnything, kUntouched, kUntouched}},
      {"mTrasp", [=] { return list(none, a); }, {kAsBeforeOrDone, kUntouched}},
      {"mSwap", [=] { return list(a, b); }, {kAsBeforeOrDone, kAsBeforeOrDone}},
      {"mSist", [=] { return list(ones(20), a, ones(20)); }, {kAnything, kUntouched, kUntouched}},
      {"mDiag", [=] { return list(a); }, {kAnything}},
      {"mMultVett",
       [=] { return list(none, tall, ones(40)); },
       {kAnything, kUntouched, kUntouched}},
      {"mMakeMatrI", [=] { return list(none, 40); }, {kAsBeforeOrDone, kUntouched}},
      {"mPolin",
       [] { return list(ones(3), parabola_points(40), 3); },
       {kAsBeforeOrDone, kUntouched, kUntouched}},
      {"mDuplVar", [] { return list(ones(2), variant_table(8)); }, {kAnything, kUntouched}},
      {"mPrint",
       [=] {
         const std::shared_ptr<Object> label = std::make_shared<CaptionLabel>();
         return list(a, label, left_out, left_out, "comment");
       },
       {kUntouched, kAsBeforeOrDone, kAsBeforeOrDone, kUntouched, kUntouched}},
  };
}

// The caption of a label argument, so that a label compares by what it shows.
Variant shown(const Variant& v) {
  if (const auto* object = v.object()) {
    if (auto* label = dynamic_cast<CaptionLabel*>(object->get())) return Variant(label->caption);
  }
  return v;
}

void PrintTo(const Call& call, std::ostream* out) { *out << call.name; }

class AllocationFaultTest : public testing::TestWithParam<Call> {};

TEST_P(AllocationFaultTest, EveryRefusedArrayIsRunTimeError7AndArgumentsFollowTheRules) {
  const Call& call = GetParam();
  Matr reference;
  std::vector<Variant> done = call.arguments();
  const std::vector<Variant> initial = call.arguments();
  const Variant expected = invoke(reference, call.name, pointers(done));
  int refusals = 0;
  for (std::uint64_t n = 1;; ++n) {
    SCOPED_TRACE("refused allocation " + std::to_string(n));
    Matr m;
    std::vector<Variant> args = call.arguments();
    fail_allocation(n, kArrayBytes);
    try {
      const Variant result = invoke(m, call.name, pointers(args));
      const bool refused = !allocation_failure_pending();
      fail_allocation(0, 0);
      // A refusal the method recovered from must not show in its outcome.
      EXPECT_TRUE(same(result, expected));
      for (std::size_t k = 0; k < args.size(); ++k) {
        EXPECT_TRUE(same(shown(args[k]), shown(done[k]))) << "argument " << k;
      }
      if (!refused) break;
    } catch (const Error& e) {
      fail_allocation(0, 0);
      EXPECT_EQ(e.code(), 7) << e.what();
      ++refusals;
      for (std::size_t k = 0; k < args.size(); ++k) {
        const Variant now = shown(args[k]);
        switch (call.after[k]) {
          case After::kUntouched:
            EXPECT_TRUE(same(now, shown(initial[k]))) << "argument " << k;
            break;
          case After::kAsBeforeOrDone:
            EXPECT_TRUE(same(now, shown(initial[k])) || same(now, shown(done[k])))
                << "argument " << k;
            break;
          case After::kAnything: break;
        }
      }
    } catch (const std::bad_alloc&) {
      fail_allocation(0, 0);
      ADD_FAILURE() << "std::bad_alloc reached the client";
    }
    ASSERT_LT(n, 10000u) << "no end to the allocations";
  }
  EXPECT_GT(refusals, 0) << "the call allocated no array";
}

INSTANTIATE_TEST_SUITE_P(Calls, AllocationFaultTest, testing::ValuesIn(calls()),
                         [](const testing::TestParamInfo<Call>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace nodrel::hardening
