// A long run of mixed late-bound calls, as a client's loop makes them,
// leaves the memory of the process as it found it.
//
// The calls cover results, the conditions of ErrCode, run-time errors of the
// methods and refusals at the boundary, prints and conversions of arrays of
// variants. A warm-up of the same calls comes first, so that whatever the
// component makes once per process is made. After it, the blocks and bytes
// that operator new holds are counted, the run is made, and they are counted
// again: every call must give back all it took. The resident set size is
// recorded as well; it is asserted only without the sanitizers, whose
// quarantine keeps freed memory resident on purpose.
//
// NODREL_FLAT_MEMORY_CALLS is the number of calls: a million in the normal
// build, 100,000 under the sanitizers (tests/hardening/CMakeLists.txt).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <memory>
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

constexpr long kCalls = NODREL_FLAT_MEMORY_CALLS;

std::int64_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::int64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * ::sysconf(_SC_PAGESIZE);
}

class Calls {
 public:
  Calls() { label_ = Variant(std::shared_ptr<Object>(std::make_shared<CaptionLabel>())); }

  // One round of every call; the number of calls whose outcome was not the
  // one expected.
  int round() {
    int wrong = 0;
    auto call = [&](const char* name, std::vector<Variant*> args, int error = 0) {
      int got = 0;
      try {
        invoke(m_, name, args);
      } catch (const Error& e) {
        got = e.code();
      }
      wrong += got != error;
      ++calls_;
    };
    call("mDet", {&a_});
    call("mInv", {&a_});
    call("mMult", {&dest_, &a_, &b_});
    call("mSum", {&dest_, &a_, &b_});
    call("mTrasp", {&dest_, &a_});
    call("mSwapRC", {&a_, &rc_, &one_, &two_});
    call("mSist", {&x_, &a_, &v_});
    call("MMAKEMATRI", {&ident_, &two_});
    call("mMatrIsVect", {&v_});
    call("mInv", {&singular_});  // ErrCode 4, no error
    call("mDuplVar", {&copy_, &table_});
    call("mPolin", {&coeff_, &points_, &three_});
    call("mGetYPolin", {&half_, &coeff_});
    call("mGetXsOfQuadr", {&x1_, &x2_, &six_, &coeff_});
    call("mPrint", {&v_, &label_, &perif_, &pattern_, &comment_, nullptr, &replace_});
    call("mPrint", {&table_});
    call("mPrint", {&a_, nullptr, nullptr, &text_pattern_}, 13);
    call("mDet", {&v_}, 9);
    call("mInv", {&text_}, 13);
    call("mDuplVar", {&copy_, &bad_table_}, 13);
    call("mMakeMatrNul", {&dest_, &huge_, &huge_}, 7);
    call("mNoSuchMethod", {}, 438);
    call("mSum", {&dest_, &a_}, 449);
    call("mOpp", {&a_, &a_}, 450);
    return wrong;
  }

  long calls() const { return calls_; }

 private:
  Matr m_;
  long calls_ = 0;
  Variant a_ = well_conditioned(4), b_ = well_conditioned(4, 1.0), dest_, ident_, copy_, coeff_;
  Variant x_ = ones(4);
  Variant v_ = ones(4), singular_ = DoubleArray::matrix({{1, 1}, {1, 1}});
  Variant table_ = variant_table(3), points_ = parabola_points(6);
  Variant bad_table_ = VariantArray::vector({Variant(1), Variant("2"), Variant("abc")});
  Variant rc_ = "r", one_ = 1, two_ = 2.0, three_ = "3", half_ = 0.5, huge_ = 100000, six_ = 6.0;
  Variant x1_, x2_, label_, perif_ = "ignored", pattern_ = "#,##0.00", comment_ = "v";
  Variant replace_ = false, text_pattern_ = "0 \"kg\"", text_ = "text";
};

TEST(FlatMemoryTest, MixedLateBoundCallsGiveBackAllTheyTake) {
  Calls calls;
  int wrong = 0;
  // Warm-up: one call in a hundred, at least a few rounds.
  while (calls.calls() < kCalls / 100 || calls.calls() < 100) wrong += calls.round();
  const LiveAllocations before = live_allocations();
  const std::int64_t rss_before = resident_bytes();
  const long warm = calls.calls();
  while (calls.calls() - warm < kCalls) wrong += calls.round();
  const LiveAllocations after = live_allocations();
  const std::int64_t rss_after = resident_bytes();

  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(after.blocks, before.blocks);
  EXPECT_EQ(after.bytes, before.bytes);
  RecordProperty("calls", std::to_string(calls.calls() - warm));
  RecordProperty("live_blocks", std::to_string(after.blocks));
  RecordProperty("live_bytes", std::to_string(after.bytes));
  RecordProperty("rss_before_kib", std::to_string(rss_before / 1024));
  RecordProperty("rss_after_kib", std::to_string(rss_after / 1024));
  std::cout << calls.calls() - warm << " calls: " << after.blocks << " blocks, " << after.bytes
            << " bytes live before and after; resident " << rss_before / 1024 << " KiB before, "
            << rss_after / 1024 << " KiB after\n";
#if !NODREL_SANITIZED
  EXPECT_LE(rss_after - rss_before, 1 << 20);
#endif
}

}  // namespace
}  // namespace nodrel::hardening
