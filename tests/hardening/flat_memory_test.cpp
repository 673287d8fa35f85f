// A long run of mixed late-bound calls, as a client's loop makes them,
// leaves the memory of the process as it found it.
//
// The calls cover results, the conditions of ErrCode, run-time errors of the
// methods and refusals at the boundary, prints and conversions of arrays of
// variants. A warm-up of the same calls comes first, so that whatever the
// component makes once per process is made. After it, the blocks and bytes
// that operator new holds are counted, the run is made, and they are counted
// again: every call must give back all it took. The resident set size is
// asserted only without the sanitizers, whose quarantine keeps freed memory
// resident on purpose.
//
// NODREL_FLAT_MEMORY_CALLS is the number of calls: a million in the normal
// build, 100,000 under the sanitizers (tests/hardening/CMakeLists.txt).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <memory>
#include <vector>

#include "hardening/allocation.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel::hardening {
namespace {

std::int64_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::int64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * ::sysconf(_SC_PAGESIZE);
}

TEST(FlatMemoryTest, MixedLateBoundCallsGiveBackAllTheyTake) {
  Matr m;
  Variant a = well_conditioned(4), b = well_conditioned(4, 1.0), dest, ident, copy, coeff;
  Variant x = ones(4), v = ones(4), singular = DoubleArray::matrix({{1, 1}, {1, 1}});
  Variant table = variant_table(3), points = parabola_points(6);
  Variant bad_table = VariantArray::vector({1, "2", "abc"});
  Variant rc = "r", one = 1, two = 2.0, three = "3", half = 0.5, huge = 100000, six = 6.0;
  Variant x1, x2, perif = "ignored", pattern = "#,##0.00", comment = "v", replace = false;
  Variant label = std::shared_ptr<Object>(std::make_shared<CaptionLabel>());
  Variant text_pattern = "0 \"kg\"", text = "text";
  // Each call with the run-time error it must end with (0: none).
  const struct {
    const char* name;
    std::vector<Variant*> args;
    int error;
  } calls[] = {{"mDet", {&a}, 0},
               {"mInv", {&a}, 0},
               {"mMult", {&dest, &a, &b}, 0},
               {"mSum", {&dest, &a, &b}, 0},
               {"mTrasp", {&dest, &a}, 0},
               {"mSwapRC", {&a, &rc, &one, &two}, 0},
               {"mSist", {&x, &a, &v}, 0},
               {"MMAKEMATRI", {&ident, &two}, 0},
               {"mMatrIsVect", {&v}, 0},
               {"mInv", {&singular}, 0},  // ErrCode 4, no error
               {"mDuplVar", {&copy, &table}, 0},
               {"mPolin", {&coeff, &points, &three}, 0},
               {"mGetYPolin", {&half, &coeff}, 0},
               {"mGetXsOfQuadr", {&x1, &x2, &six, &coeff}, 0},
               {"mPrint", {&v, &label, &perif, &pattern, &comment, nullptr, &replace}, 0},
               {"mPrint", {&table}, 0},
               {"mPrint", {&a, nullptr, nullptr, &text_pattern}, 13},
               {"mDet", {&v}, 9},
               {"mInv", {&text}, 13},
               {"mDuplVar", {&copy, &bad_table}, 13},
               {"mMakeMatrNul", {&dest, &huge, &huge}, 7},
               {"mNoSuchMethod", {}, 438},
               {"mSum", {&dest, &a}, 449},
               {"mOpp", {&a, &a}, 450}};
  long made = 0;
  int wrong = 0;
  const auto round = [&] {
    for (const auto& call : calls) {
      int error = 0;
      try {
        invoke(m, call.name, call.args);
      } catch (const Error& e) {
        error = e.code();
      }
      wrong += error != call.error;
    }
    made += static_cast<long>(std::size(calls));
  };
  // Warm-up: one call in a hundred, at least a few rounds.
  while (made < NODREL_FLAT_MEMORY_CALLS / 100 || made < 100) round();
  const LiveAllocations before = live_allocations();
  const std::int64_t rss_before = resident_bytes();
  const long warm = made;
  while (made - warm < NODREL_FLAT_MEMORY_CALLS) round();
  const LiveAllocations after = live_allocations();
  const std::int64_t rss_after = resident_bytes();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(after, before);
  std::cout << made - warm << " calls: " << after.blocks << " blocks, " << after.bytes
            << " bytes live before and after; resident " << rss_before / 1024 << " KiB before, "
            << rss_after / 1024 << " KiB after\n";
#if !NODREL_SANITIZED
  EXPECT_LE(rss_after - rss_before, 1 << 20);
#endif
}

}  // namespace
}  // namespace nodrel::hardening
