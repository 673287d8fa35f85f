// The determinant, inverse, division, Cramer's rule and diagonal reduction
// held against the reference transcription over random inputs, bit for
// bit: results, error numbers, ErrCode, and every argument after the call,
// partial results of a failed call included.
//
// Then the same at the orders where the fast paths take over: the
// elimination on the stack and the blocked one with its panels, the inverse
// whose minors are forked from one running elimination per column, Cramer's
// rule and the diagonal reduction (with columns beyond the rows, which the
// blocked elimination treats apart). Ties, zero pivots around the
// tolerance, lower bounds 0 and 1, non-square shapes, and faults planted at
// random places (which the fast path must hand over to the checked loops)
// are all drawn.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "reference/compare.hpp"

namespace nodrel::reference {
namespace {

using Args = std::vector<DoubleArray>;

// A matrix of order n x n, now and then one column more or fewer, or not a
// matrix at all.
DoubleArray mostly_square(Inputs& in, std::int32_t n, Family f) {
  const int roll = in.pick(20);
  if (roll == 0) return in.odd_shape();
  if (roll <= 2) return in.matrix(n, n + (roll == 1 ? 1 : -1), f);
  return in.matrix(n, n, f);
}

TEST(LinalgReferenceTest, DeterminantAndSingularity) {
  Inputs in(0x3u);
  const auto make = [](Inputs& in) { return Args{mostly_square(in, in.order(12), in.family())}; };
  const Tally det =
      compare_method("mDet", 2000, in, make, [](auto& m, Args& a) { return m.mDet(a[0]); });
  const Tally sing = compare_method("mMatrIsSing", 800, in, make,
                                    [](auto& m, Args& a) { return m.mMatrIsSing(a[0]); });
  expect_errors(det, {0, 6, 9});
  expect_codes(sing, {0, 3});
  expect_both_answers(sing);
}

TEST(LinalgReferenceTest, InverseAndDivision) {
  Inputs in(0x13u);
  const Tally inv = compare_method(
      "mInv", 400, in, [](Inputs& in) { return Args{mostly_square(in, in.order(6), in.family())}; },
      [](auto& m, Args& a) {
        m.mInv(a[0]);
        return 0;
      });
  const Tally divd = compare_method(
      "mDivd", 300, in,
      [](Inputs& in) {
        const Family f = in.family();
        const std::int32_t n = in.order(6);
        const std::int32_t rows = in.chance(0.15) ? in.order(6) : n;
        return Args{in.odd_shape(), in.matrix(rows, in.order(6), f), mostly_square(in, n, f)};
      },
      [](auto& m, Args& a) {
        m.mDivd(a[0], a[1], a[2]);
        return 0;
      });
  for (const Tally& t : {inv, divd}) {
    expect_errors(t, {0, 6, 9});
    expect_codes(t, {0, 4});
  }
}

TEST(LinalgReferenceTest, CramersRule) {
  Inputs in(0x17u);
  const Tally sist = compare_method(
      "mSist", 1200, in,
      [](Inputs& in) {
        const Family f = in.family();
        const std::int32_t n = in.order(10);
        // vetX and vetB of order n, now and then shorter or longer.
        const auto vector = [&](Family vf) {
          return in.vector(in.chance(0.1) ? n + in.pick(4) - 1 : n, vf);
        };
        return Args{vector(Family::kIntegers), mostly_square(in, n, f), vector(f)};
      },
      [](auto& m, Args& a) {
        m.mSist(a[0], a[1], a[2]);
        return 0;
      });
  expect_errors(sist, {0, 6, 9, 11});
}

TEST(LinalgReferenceTest, DiagonalReduction) {
  Inputs in(0x1Du);
  const Tally diag = compare_method(
      "mDiag", 1500, in,
      [](Inputs& in) {
        const std::int32_t n = in.order(12);
        const int roll = in.pick(10);
        const std::int32_t m = roll == 0 ? n - 1 : roll < 4 ? n + in.pick(4) : n;
        return Args{in.chance(0.02) ? in.odd_shape() : in.matrix(n, m)};
      },
      [](auto& m, Args& a) {
        m.mDiag(a[0]);
        return 0;
      });
  expect_errors(diag, {0, 6, 9});
}

// Mostly reals (distinct magnitudes), integers (ties everywhere), the
// tolerance family (zero pivots that skip steps, whole panels of them), and
// a planted fault: one element whose products overflow, or an infinity or
// a NaN, anywhere in 1..r, 1..c, so that the fault arises early or late in
// the elimination.
DoubleArray drawn(Inputs& in, std::int32_t r, std::int32_t c) {
  const int roll = in.pick(12);
  const Family f = roll < 4   ? Family::kReals
                   : roll < 6 ? Family::kIntegers
                   : roll < 8 ? Family::kTolerance
                              : in.family();
  DoubleArray a = in.matrix(r, c, f);
  if (in.pick(5) == 0 && r >= 1 && c >= 1 && a.bounds()[0].lower <= 1 && a.bounds()[1].lower <= 1) {
    const double faults[] = {1e300, -1e305, std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    a(in.between(1, r), in.between(1, c)) = faults[in.pick(5)];
  }
  return a;
}

DoubleArray mostly_square(Inputs& in, std::int32_t n) {
  const int roll = in.pick(25);
  if (roll == 0) return in.matrix(n, n + 1);
  if (roll == 1) return in.matrix(n, n - 1);
  return drawn(in, n, n);
}

struct Band {
  std::int32_t lo, hi;
  int trials;
};

TEST(LinalgFastPathsReferenceTest, DeterminantOnTheStackAndInPanels) {
  Inputs in(0x81u);
  // Up to 16 on the stack, then unblocked on the heap, then in panels of 32
  // from order 64 (two panels, three, and five or more).
  for (const Band band :
       {Band{4, 16, 400}, Band{17, 63, 60}, Band{64, 100, 10}, Band{140, 170, 2}}) {
    SCOPED_TRACE("orders " + std::to_string(band.lo) + ".." + std::to_string(band.hi));
    const Tally det = compare_method(
        "mDet", band.trials, in,
        [&](Inputs& in) { return Args{mostly_square(in, in.between(band.lo, band.hi))}; },
        [](auto& m, Args& a) { return m.mDet(a[0]); });
    if (band.trials >= 60) expect_errors(det, {0, 6});
  }
}

TEST(LinalgFastPathsReferenceTest, InverseWithMinorsForkedPerColumn) {
  Inputs in(0x83u);
  for (const Band band : {Band{1, 8, 300}, Band{9, 16, 30}}) {
    SCOPED_TRACE("orders " + std::to_string(band.lo) + ".." + std::to_string(band.hi));
    const Tally inv = compare_method(
        "mInv", band.trials, in,
        [&](Inputs& in) { return Args{mostly_square(in, in.between(band.lo, band.hi))}; },
        [](auto& m, Args& a) {
          m.mInv(a[0]);
          return 0;
        });
    expect_errors(inv, {0, 6});
    expect_codes(inv, {0, 4});
  }
}

TEST(LinalgFastPathsReferenceTest, CramersRuleAtLargerOrders) {
  Inputs in(0x87u);
  for (const Band band : {Band{1, 12, 300}, Band{13, 40, 20}}) {
    SCOPED_TRACE("orders " + std::to_string(band.lo) + ".." + std::to_string(band.hi));
    const Tally sist = compare_method(
        "mSist", band.trials, in,
        [&](Inputs& in) {
          const std::int32_t n = in.between(band.lo, band.hi);
          DoubleArray b =
              in.vector(in.chance(0.05) ? n - 1 : n, in.chance(0.8) ? Family::kReals : in.family());
          return Args{in.vector(in.chance(0.05) ? n - 1 : n, Family::kIntegers),
                      mostly_square(in, n), b};
        },
        [](auto& m, Args& a) {
          m.mSist(a[0], a[1], a[2]);
          return 0;
        });
    expect_errors(sist, {0, 6, 11});
  }
}

TEST(LinalgFastPathsReferenceTest, DiagonalReductionWithColumnsBeyondTheRows) {
  Inputs in(0x8Bu);
  // Columns beyond the rows take part in the pivot search and exchanges but
  // are never updated: a wide matrix brings them in often.
  for (const Band band : {Band{1, 16, 300}, Band{17, 60, 30}, Band{64, 80, 8}}) {
    SCOPED_TRACE("orders " + std::to_string(band.lo) + ".." + std::to_string(band.hi));
    const Tally diag = compare_method(
        "mDiag", band.trials, in,
        [&](Inputs& in) {
          const std::int32_t n = in.between(band.lo, band.hi);
          const int roll = in.pick(3);
          const std::int32_t m = roll == 0 ? n : n + in.between(1, roll == 1 ? 3 : n / 2 + 1);
          // In panels, reals make the columns beyond the rows win pivot
          // searches in the middle of a panel.
          if (n >= 64 && in.chance(0.7)) return Args{in.matrix(n, m, Family::kReals)};
          return Args{drawn(in, n, m)};
        },
        [](auto& m, Args& a) {
          m.mDiag(a[0]);
          return 0;
        });
    if (band.trials >= 30) expect_errors(diag, {0, 6});
  }
}

}  // namespace
}  // namespace nodrel::reference
