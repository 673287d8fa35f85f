// The determinant, inverse, division, Cramer's rule and diagonal reduction
// held against the reference transcription over random inputs, bit for
// bit: results, error numbers, ErrCode, and every argument after the call,
// partial results of a failed call included.
//
// Each is drawn in bands of orders: the small ones of the formulas and the
// checked loops, then those where the fast paths take over (the elimination
// on the stack up to 16, on the heap, in panels of 32 from order 64; the
// inverse whose minors are forked from one running elimination per column;
// the diagonal reduction with columns beyond the rows, which the blocked
// elimination treats apart). Ties, zero pivots around the tolerance, lower
// bounds 0 and 1, non-square shapes, and faults planted at random places
// (which a fast path must hand over to the checked loops) are all drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "reference/compare.hpp"

namespace nodrel::reference {
namespace {

using Args = std::vector<DoubleArray>;

// Mostly reals (distinct magnitudes), integers (ties everywhere), the
// tolerance family (zero pivots that skip steps, whole panels of them), any
// family, and a planted fault: one element whose products overflow, or an
// infinity or a NaN, anywhere in 1..r, 1..c, so that the fault arises early
// or late in the elimination.
DoubleArray drawn(Inputs& in, std::int32_t r, std::int32_t c) {
  const int roll = in.pick(12);
  const Family f = roll < 4   ? Family::kReals
                   : roll < 6 ? Family::kIntegers
                   : roll < 8 ? Family::kTolerance
                              : in.family();
  DoubleArray a = in.matrix(r, c, f);
  if (in.pick(5) == 0 && r >= 1 && c >= 1 && a.bounds()[0].lower <= 1 && a.bounds()[1].lower <= 1) {
    const double faults[] = {1e300, -1e305, std::numeric_limits<double>::max(), INFINITY, NAN};
    a(in.between(1, r), in.between(1, c)) = faults[in.pick(5)];
  }
  return a;
}

// Order n x n, now and then one column more or fewer, or (in the small
// band) not a matrix at all.
DoubleArray mostly_square(Inputs& in, std::int32_t n) {
  const int roll = in.pick(25);
  if (roll == 0 && n <= 12) return in.odd_shape();
  if (roll <= 2) return in.matrix(n, n + (roll == 1 ? 1 : -1));
  return drawn(in, n, n);
}

struct Band {
  std::int32_t lo, hi;
  int trials;
};

// The first band must reach `errors` and `codes`; a later one of 60 trials
// or more, a success and an overflow at least.
template <typename Make, typename Call>
void bands(const char* name, std::uint64_t seed, std::initializer_list<Band> list, const Make& make,
           const Call& call, const std::set<int>& errors, const std::set<int>& codes = {}) {
  Inputs in(seed);
  bool first = true;
  for (const Band band : list) {
    SCOPED_TRACE("orders " + std::to_string(band.lo) + ".." + std::to_string(band.hi));
    const Tally t = compare_method(
        name, band.trials, in, [&](Inputs& in) { return make(in, in.between(band.lo, band.hi)); },
        call);
    if (first) expect_seen(t, errors, codes);
    if (!first && band.trials >= 60) expect_seen(t, {0, 6});
    first = false;
  }
}

TEST(LinalgReferenceTest, DeterminantAndSingularity) {
  const auto make = [](Inputs& in, std::int32_t n) { return Args{mostly_square(in, n)}; };
  bands("mDet", 0x3u, {{0, 12, 2000}, {4, 16, 400}, {17, 63, 60}, {64, 100, 10}, {140, 170, 2}},
        make, [](auto& m, Args& a) { return m.mDet(a[0]); }, {0, 6, 9});
  Inputs in(0x5u);
  const Tally sing = compare_method(
      "mMatrIsSing", 800, in, [](Inputs& in) { return Args{mostly_square(in, in.order(12))}; },
      [](auto& m, Args& a) { return m.mMatrIsSing(a[0]); });
  expect_seen(sing, {0, 9}, {0, 3});
  expect_both_answers(sing);
}

TEST(LinalgReferenceTest, InverseAndDivision) {
  bands(
      "mInv", 0x13u, {{0, 8, 400}, {9, 16, 30}},
      [](Inputs& in, std::int32_t n) { return Args{mostly_square(in, n)}; },
      [](auto& m, Args& a) { m.mInv(a[0]); }, {0, 6, 9}, {0, 4});
  bands(
      "mDivd", 0x15u, {{0, 6, 300}},
      [](Inputs& in, std::int32_t n) {
        const std::int32_t rows = in.chance(0.15) ? in.order(6) : n;
        return Args{in.odd_shape(), in.matrix(rows, in.order(6)), mostly_square(in, n)};
      },
      [](auto& m, Args& a) { m.mDivd(a[0], a[1], a[2]); }, {0, 6, 9}, {0, 4});
}

TEST(LinalgReferenceTest, CramersRule) {
  // vetX and vetB of order n, now and then shorter or longer.
  bands(
      "mSist", 0x17u, {{0, 12, 1200}, {13, 40, 20}},
      [](Inputs& in, std::int32_t n) {
        const auto vector = [&](Family f) {
          return in.vector(in.chance(0.1) ? n + in.pick(4) - 1 : n, f);
        };
        DoubleArray x = vector(Family::kIntegers);
        DoubleArray a = mostly_square(in, n);
        return Args{x, a, vector(in.chance(0.5) ? Family::kReals : in.family())};
      },
      [](auto& m, Args& a) { m.mSist(a[0], a[1], a[2]); }, {0, 6, 9, 11});
}

TEST(LinalgReferenceTest, DiagonalReduction) {
  // Columns beyond the rows take part in the pivot search and exchanges but
  // are never updated: a wide matrix brings them in often; in panels, reals
  // make them win pivot searches in the middle of a panel.
  bands(
      "mDiag", 0x1Du, {{0, 12, 1500}, {1, 16, 300}, {17, 60, 30}, {64, 80, 8}},
      [](Inputs& in, std::int32_t n) {
        const int roll = in.pick(10);
        const std::int32_t m = roll == 0  ? n - 1
                               : roll < 4 ? n + in.between(1, roll == 1 ? 3 : n / 2 + 1)
                                          : n;
        if (in.chance(0.02) && n <= 12) return Args{in.odd_shape()};
        if (n >= 64 && in.chance(0.7)) return Args{in.matrix(n, m, Family::kReals)};
        return Args{drawn(in, n, m)};
      },
      [](auto& m, Args& a) { m.mDiag(a[0]); }, {0, 6, 9});
}

// An order too large to invert overflows before anything is allocated: the
// one outcome the random orders never reach.
TEST(InvTest, AnOrderBeyondSixteenBitsOverflowsFirst) {
  const DoubleArray huge(std::vector<ArrayBound>{{32768, 1}, {32768, 1}});
  DoubleArray a = huge;
  EXPECT_RUNTIME_ERROR(nodrel::Matr().mInv(a), 6);
  EXPECT_EQ(a, huge);
}

// A destination that is also a source gives what distinct arrays give: the
// call with one array in both places is held against the same call with the
// destination a separate copy of it, over random inputs, failures included.
TEST(AliasingTest, DestinationThatIsASourceActsAsADistinctArray) {
  const auto square = [](Inputs& in) {
    const std::int32_t n = in.order(5);
    const Family f = in.family();
    return Args{in.matrix(n, in.chance(0.1) ? in.order(5) : n, f), in.matrix(n, n, f)};
  };
  // A vector of order n first, then a matrix with n columns (mMultVett) or
  // of order n (mSist).
  const auto vector_first = [](Inputs& in) {
    const std::int32_t n = in.order(6);
    return Args{in.vector(n), in.matrix(in.chance(0.5) ? n : in.order(6), n)};
  };
  struct Case {
    const char* name;
    std::function<Args(Inputs&)> make;
    // The call with `d` as the destination: a[0] itself, or a copy of it.
    std::function<void(nodrel::Matr&, DoubleArray& d, Args& a)> call;
  };
  const Case cases[] = {
      {"mTrasp(A, A)", square, [](auto& m, auto& d, Args& a) { m.mTrasp(d, a[0]); }},
      {"mSum(A, A, B)", square, [](auto& m, auto& d, Args& a) { m.mSum(d, a[0], a[1]); }},
      {"mMult(A, A, B)", square, [](auto& m, auto& d, Args& a) { m.mMult(d, a[0], a[1]); }},
      {"mMult(A, B, A)", square, [](auto& m, auto& d, Args& a) { m.mMult(d, a[1], a[0]); }},
      {"mMult(A, A, A)", square, [](auto& m, auto& d, Args& a) { m.mMult(d, a[0], a[0]); }},
      {"mDivd(A, A, B)", square, [](auto& m, auto& d, Args& a) { m.mDivd(d, a[0], a[1]); }},
      {"mDivd(A, B, A)", square, [](auto& m, auto& d, Args& a) { m.mDivd(d, a[1], a[0]); }},
      {"mMultVett(v, M, v)", vector_first,
       [](auto& m, auto& d, Args& a) { m.mMultVett(d, a[1], a[0]); }},
      {"mSist(b, A, b)", vector_first, [](auto& m, auto& d, Args& a) { m.mSist(d, a[1], a[0]); }},
  };
  Inputs in(0x29u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int failures = 0;
    for (int trial = 0; trial < 300 && failures < 3; ++trial) {
      const Args args = c.make(in);
      nodrel::Matr m1, m2;
      const Outcome aliased = run(m1, args, [&](auto& m, Args& a) { c.call(m, a[0], a); });
      DoubleArray dest = args[0];
      Outcome distinct = run(m2, args, [&](auto& m, Args& a) { c.call(m, dest, a); });
      distinct.arrays[0] = dest;
      const std::string difference = outcome_difference(aliased, distinct);
      if (!difference.empty()) {
        ++failures;
        ADD_FAILURE() << "trial " << trial << ":" << difference << "\ninputs:" << describe(args);
      }
    }
  }
}

}  // namespace
}  // namespace nodrel::reference
