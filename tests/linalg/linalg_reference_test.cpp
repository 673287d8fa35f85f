// The determinant, inverse, division, Cramer's rule and diagonal reduction
// held against the reference transcription over random inputs, bit for
// bit: results, error numbers, ErrCode, and every argument after the call,
// partial results of a failed call included.
#include <gtest/gtest.h>

#include <cstdint>
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

}  // namespace
}  // namespace nodrel::reference
