// The element-wise operations, products and property tests held against
// the reference transcription over random inputs, bit for bit: results,
// error numbers, ErrCode, and every argument after the call, partial
// results of a failed call included. The products are also drawn at the
// orders of their fast paths (column by column, blocked with tiles and cache
// blocks cut at every edge), with faults planted at random places so that a
// fast path must hand over to the checked loops, which then fail at the
// element where the reference fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "reference/compare.hpp"

namespace nodrel::reference {
namespace {

using Args = std::vector<DoubleArray>;

// A destination: usually a matrix of the needed order (its contents are
// overwritten), at times one row short, of another shape, or no array.
DoubleArray destination(Inputs& in, std::int32_t r, std::int32_t c) {
  const int roll = in.pick(10);
  return roll == 0 ? in.odd_shape() : in.matrix(roll == 1 ? r - 1 : r, c);
}

TEST(AlgebraReferenceTest, ElementWiseOperations) {
  Inputs in(0x5u);
  const auto make = [](Inputs& in) {
    const Family f = in.family();
    const std::int32_t r = in.order(12), c = in.order(12);
    DoubleArray src2 = in.chance(0.03) ? in.odd_shape() : in.matrix(r, c, f);
    DoubleArray src1 = in.chance(0.15)   ? in.matrix(in.order(4), in.order(4), f)
                       : in.chance(0.03) ? in.odd_shape()
                                         : in.matrix(r, c, f);
    return Args{destination(in, r, c), src1, src2};
  };
  for (const Tally& t :
       {compare_method("mSum", 600, in, make, [](auto&m, Args&a) { m.mSum(a[0], a[1], a[2]); }),
        compare_method("mDiff", 600, in, make,
                       [](auto&m, Args&a) { m.mDiff(a[0], a[1], a[2]); })}) {
    expect_seen(t, {0, 6, 9}, {0, 1});
  }
  const auto one_matrix = [](Inputs& in) {
    const Family f = in.family();
    DoubleArray a = in.chance(0.05) ? in.odd_shape() : in.matrix(in.order(12), in.order(12), f);
    return Args{a, DoubleArray::vector({in.value(f)})};
  };
  // mOpp and mTrasp leave ErrCode as it was, whatever it was.
  expect_seen(compare_method("mOpp", 400, in, one_matrix, [](auto& m, Args& a) { m.mOpp(a[0]); }),
              {0}, {0, 1, 3, 4});
  expect_seen(compare_method("mProdScal", 600, in, one_matrix,
                             [](auto& m, Args& a) { m.mProdScal(a[0], a[1](1)); }),
              {0, 6, 9});
  expect_seen(compare_method(
                  "mTrasp", 400, in,
                  [&](Inputs& in) {
                    return Args{in.odd_shape(), one_matrix(in)[0]};
                  },
                  [](auto& m, Args& a) { m.mTrasp(a[0], a[1]); }),
              {0}, {0, 1, 3, 4});
}

TEST(AlgebraReferenceTest, ProductsTraceAndModulus) {
  Inputs in(0xBu);
  const auto mult = compare_method(
      "mMult", 600, in,
      [](Inputs& in) {
        const Family f = in.family();
        const std::int32_t r = in.order(10), k = in.order(10), c = in.order(10);
        // The first source has k columns, or one more or fewer.
        const std::int32_t k1 = k + (in.chance(0.2) ? in.pick(3) - 1 : 0);
        return Args{in.odd_shape(), in.matrix(r, k1, f), in.matrix(k, c, f)};
      },
      [](auto& m, Args& a) { m.mMult(a[0], a[1], a[2]); });
  const auto vett = compare_method(
      "mMultVett", 600, in,
      [](Inputs& in) {
        const Family f = in.family();
        const std::int32_t r = in.order(12), c = in.order(12);
        DoubleArray v = in.chance(0.05)   ? in.odd_shape()
                        : in.chance(0.15) ? in.vector(c + in.pick(3) - 1, f)
                                          : in.vector(c, f);
        return Args{in.odd_shape(), in.matrix(r, c, f), v};
      },
      [](auto& m, Args& a) { m.mMultVett(a[0], a[1], a[2]); });
  const auto trace = compare_method(
      "mTrace", 600, in,
      [](Inputs& in) {
        const std::int32_t n = in.order(12);
        return Args{in.chance(0.05) ? in.odd_shape() : in.matrix(n, n + in.pick(3) - 1)};
      },
      [](auto& m, Args& a) { return m.mTrace(a[0]); });
  const auto mod = compare_method(
      "mMod", 600, in,
      [](Inputs& in) {
        const int roll = in.pick(10);
        if (roll == 0) return Args{in.odd_shape()};
        return Args{roll < 5 ? in.vector(in.order(12)) : in.matrix(in.order(12), in.order(3))};
      },
      [](auto& m, Args& a) { return m.mMod(a[0]); });
  for (const Tally& t : {mult, vett, trace, mod}) expect_seen(t, {0, 6, 9});
}

// A matrix that an equality test answers about: `pattern` (the identity,
// zero, or a copy of another matrix) with now and then one element changed
// by an ulp, to a NaN, to -0.0, or in row 0.
DoubleArray near(Inputs& in, DoubleArray pattern) {
  if (pattern.storage().empty() || in.chance(0.4)) return pattern;
  const auto k = static_cast<std::size_t>(in.pick(static_cast<int>(pattern.storage().size())));
  double& x = pattern.storage()[k];
  const double changed[] = {std::nextafter(x, 2.0), std::numeric_limits<double>::quiet_NaN(),
                            x == 0.0 ? -0.0 : x, x + 1.0};
  x = changed[in.pick(4)];
  return pattern;
}

// A square matrix with one entry of +1 or -1 in every row and column: its
// transpose is its inverse, exactly.
DoubleArray signed_permutation(Inputs& in, std::int32_t n) {
  DoubleArray a = DoubleArray::zeros(n, n);
  std::vector<std::int32_t> column(static_cast<std::size_t>(n));
  for (std::int32_t k = 0; k < n; ++k) column[static_cast<std::size_t>(k)] = k + 1;
  for (std::int32_t k = n - 1; k > 0; --k) {
    std::swap(column[static_cast<std::size_t>(k)],
              column[static_cast<std::size_t>(in.pick(k + 1))]);
  }
  for (std::int32_t i = 1; i <= n; ++i) {
    a(i, column[static_cast<std::size_t>(i - 1)]) = in.chance(0.5) ? 1.0 : -1.0;
  }
  return a;
}

TEST(AlgebraReferenceTest, PropertyTests) {
  Inputs in(0x11u);
  const Tally identical = compare_method(
      "mIdentical", 500, in,
      [](Inputs& in) {
        DoubleArray a = in.matrix(in.order(8), in.order(8));
        DoubleArray b = in.chance(0.1) ? in.matrix(in.order(3), in.order(3)) : near(in, a);
        return Args{a, in.chance(0.03) ? in.odd_shape() : b};
      },
      [](auto& m, Args& a) { return m.mIdentical(a[0], a[1]); });
  const auto square_pattern = [](Inputs& in, bool identity) {
    const std::int32_t n = in.order(8);
    const std::int32_t c = in.chance(0.15) ? in.order(8) : n;
    DoubleArray a = DoubleArray::zeros(n, c);
    for (std::int32_t i = 1; identity && i <= std::min(n, c); ++i) a(i, i) = 1.0;
    return Args{in.chance(0.03) ? in.odd_shape() : near(in, a)};
  };
  const Tally unit = compare_method(
      "mMatrIsUnit", 500, in, [&](Inputs& in) { return square_pattern(in, true); },
      [](auto& m, Args& a) { return m.mMatrIsUnit(a[0]); });
  const Tally zero = compare_method(
      "mMatrIsZero", 500, in, [&](Inputs& in) { return square_pattern(in, false); },
      [](auto& m, Args& a) { return m.mMatrIsZero(a[0]); });
  const Tally ort = compare_method(
      "mMatrIsOrt", 300, in,
      [](Inputs& in) {
        const std::int32_t n = in.order(6);
        if (in.chance(0.1)) return Args{in.matrix(n, in.order(6))};
        return Args{in.chance(0.6) ? near(in, signed_permutation(in, n)) : in.matrix(n, n)};
      },
      [](auto& m, Args& a) { return m.mMatrIsOrt(a[0]); });
  const Tally are_ort = compare_method(
      "mMatrAreOrt", 400, in,
      [](Inputs& in) {
        const std::int32_t n = in.order(8);
        if (in.chance(0.4)) {
          const std::int32_t k = in.order(8);
          return Args{in.matrix(n, k), in.matrix(k, in.chance(0.5) ? n : in.order(8))};
        }
        DoubleArray a = signed_permutation(in, n), b;
        Matr().mTrasp(b, a);
        return Args{near(in, a), near(in, b)};
      },
      [](auto& m, Args& a) { return m.mMatrAreOrt(a[0], a[1]); });
  for (const Tally& t : {identical, unit, zero, ort, are_ort}) {
    expect_seen(t, {0, 9});
    expect_both_answers(t);
  }
  for (const Tally& t : {unit, zero, are_ort}) expect_seen(t, {}, {0, 3});
  expect_seen(ort, {6}, {0, 4});
}

// A matrix of random reals with, now and then, one element that makes the
// sums overflow, or an infinity or a NaN, planted somewhere among 1..r,
// 1..c (index 0 is never read, so nothing is planted there).
DoubleArray planted(Inputs& in, std::int32_t r, std::int32_t c) {
  const int roll = in.pick(10);
  DoubleArray a = in.matrix(r, c, roll < 2 ? in.family() : Family::kReals);
  if (roll >= 7 && r >= 1 && c >= 1 && a.bounds()[0].lower <= 1 && a.bounds()[1].lower <= 1) {
    const double faults[] = {1e308, -1e308, INFINITY, NAN};
    a(in.between(1, r), in.between(1, c)) = faults[in.pick(4)];
  }
  return a;
}

TEST(AlgebraReferenceTest, ProductsAtTheOrdersOfTheirFastPaths) {
  Inputs in(0x71u);
  // (rows, inner, columns) bands: the column-by-column path, the blocked
  // one, and shapes that cross a cache block in one dimension only.
  const std::int32_t bands[][7] = {{1, 24, 1, 24, 1, 24, 150},
                                   {20, 70, 20, 70, 20, 70, 40},
                                   {230, 260, 2, 5, 1, 8, 10},
                                   {1, 9, 250, 300, 1, 9, 10},
                                   {1, 4, 1, 4, 1530, 1560, 10}};
  for (const auto& b : bands) {
    SCOPED_TRACE("rows from " + std::to_string(b[0]) + ", inner from " + std::to_string(b[2]));
    const auto make = [&](Inputs& in) {
      const std::int32_t r = in.between(b[0], b[1]), k = in.between(b[2], b[3]);
      const std::int32_t c = in.between(b[4], b[5]);
      const std::int32_t k1 = k + (in.chance(0.1) ? in.pick(3) - 1 : 0);
      return Args{in.odd_shape(), planted(in, r, k1), planted(in, k, c)};
    };
    expect_seen(compare_method("mMult", b[6], in, make,
                               [](auto& m, Args& a) { m.mMult(a[0], a[1], a[2]); }),
                {0, 6});
  }
  const auto vett = [](Inputs& in) {
    const std::int32_t r = in.between(1, 90), c = in.between(1, 90);
    DoubleArray v = in.vector(in.chance(0.1) ? c + in.pick(3) - 1 : c, Family::kReals);
    if (in.chance(0.2))
      v.storage()[static_cast<std::size_t>(in.pick(static_cast<int>(v.storage().size())))] = 1e308;
    return Args{in.odd_shape(), planted(in, r, c), v};
  };
  expect_seen(compare_method("mMultVett", 200, in, vett,
                             [](auto& m, Args& a) { m.mMultVett(a[0], a[1], a[2]); }),
              {0, 6, 9});
}

// What the comparison cannot see, since the reference is built with the same
// flags: that each product is rounded before it is added.
// (1 + 2^-30) (1 - 2^-30) = 1 - 2^-60 rounds to 1; added to the -1 before
// it, the sum is exactly 0 (a fused multiply-add would give -2^-60).
TEST(AlgebraTest, EachProductIsRoundedBeforeItIsAdded) {
  const double p = 1.0 + std::ldexp(1.0, -30), q = 1.0 - std::ldexp(1.0, -30);
  nodrel::Matr m;
  DoubleArray dest;
  m.mMult(dest, DoubleArray::matrix({{-1, p}}), DoubleArray::matrix({{1}, {q}}));
  EXPECT_EQ(show(dest), "DoubleArray 0..1,0..1 [0,0;0,0]");
  m.mMultVett(dest, DoubleArray::matrix({{-1, p}}), DoubleArray::vector({1, q}));
  EXPECT_EQ(show(dest), "DoubleArray 0..1 [0,0]");
}

}  // namespace
}  // namespace nodrel::reference
