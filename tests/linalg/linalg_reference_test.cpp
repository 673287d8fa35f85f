// The determinant, inverse, Cramer's rule and diagonal reduction
// held against their checked loops over random inputs, bit for bit, in bands
// of orders: the small ones of the formulas, then those where the fast paths
// take over (the elimination on the stack up to 16, on the heap, in panels of
// 32 from order 64; the inverse whose minors are forked from one running
// elimination per column; the diagonal reduction with columns beyond the
// rows, which the blocked elimination treats apart). Ties, zero pivots
// around the tolerance, lower bounds 0 and 1, non-square shapes, and faults
// planted at random places (which a fast path must hand over to the checked
// loops) are all drawn. Worked examples pin the checked loops themselves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "numeric/parallel.hpp"
#include "reference/compare.hpp"

namespace nodrel::reference {
namespace {

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
template <typename Make>
void bands(const char* call, std::uint64_t seed, std::initializer_list<Band> list, const Make& make,
           const std::set<int>& errors, const std::set<int>& codes = {}) {
  Inputs in(seed);
  bool first = true;
  for (const Band band : list) {
    SCOPED_TRACE("orders " + std::to_string(band.lo) + ".." + std::to_string(band.hi));
    const Tally t = compare_method(
        call, band.trials, in, [&](Inputs& in) { return make(in, in.between(band.lo, band.hi)); });
    if (first) expect_seen(t, errors, codes);
    if (!first && band.trials >= 60) expect_seen(t, {0, 6});
    first = false;
  }
}

TEST(LinalgReferenceTest, DeterminantAndInverse) {
  const auto square = [](Inputs& in, std::int32_t n) { return Args{mostly_square(in, n)}; };
  bands("mDet", 0x3u, {{0, 12, 2000}, {4, 16, 400}, {17, 63, 60}, {64, 100, 10}, {140, 170, 2}},
        square, {0, 6, 9});
  bands("mInv", 0x13u, {{0, 8, 400}, {9, 16, 30}}, square, {0, 6, 9}, {0, 4});
}

TEST(LinalgReferenceTest, CramersRule) {
  // vetX and vetB of order n, now and then shorter or longer.
  bands("mSist", 0x17u, {{0, 12, 1200}, {13, 40, 20}},
        [](Inputs& in, std::int32_t n) {
          const auto vector = [&](Family f) {
            return in.vector(in.chance(0.1) ? n + in.pick(4) - 1 : n, f);
          };
          DoubleArray x = vector(Family::kIntegers);
          DoubleArray a = mostly_square(in, n);
          return Args{x, a, vector(in.chance(0.5) ? Family::kReals : in.family())};
        },
        {0, 6, 9, 11});
}

TEST(LinalgReferenceTest, DiagonalReduction) {
  // Columns beyond the rows take part in the pivot search and exchanges but
  // are never updated: a wide matrix brings them in often; in panels, reals
  // make them win pivot searches in the middle of a panel.
  bands("mDiag", 0x1Du, {{0, 12, 1500}, {1, 16, 300}, {17, 60, 30}, {64, 80, 8}},
        [](Inputs& in, std::int32_t n) {
          const int roll = in.pick(10);
          const std::int32_t m = roll == 0  ? n - 1
                                 : roll < 4 ? n + in.between(1, roll == 1 ? 3 : n / 2 + 1)
                                            : n;
          if (in.chance(0.02) && n <= 12) return Args{in.odd_shape()};
          if (n >= 64 && in.chance(0.7)) return Args{in.matrix(n, m, Family::kReals)};
          return Args{drawn(in, n, m)};
        },
        {0, 6, 9});
}

// A wide matrix whose row r, below the first panel, has column 3 caught up
// by steps 1 and 2 (to -(4/4)*1 - (4/4)*2 = -3) just before row 3's pivot
// search exchanges it into column n + 1, where no later step updates it.
// There -3 wins row r's own search over the 1 at (r, r) and stands on the
// diagonal; caught up from the panel rows' column 3 as it is after the
// exchange (0, 0), or not at all, it would be 0 and lose. At order 256 a
// zero row skips a step of the panel (its rows below then catch up step by
// step), and three threads share the rows below the panels out as a team.
TEST(LinalgTest, DiagonalCatchesUpAColumnExchangedBeyondTheRows) {
  struct Case {
    std::size_t n, r, zero;
    unsigned threads;
  };
  for (const Case c : {Case{64, 33, 0, 0}, Case{256, 255, 10, 3}}) {
    SCOPED_TRACE("order " + std::to_string(c.n) + ", row " + std::to_string(c.r));
    std::vector<std::vector<double>> a(c.n, std::vector<double>(c.n + 1, 0.0)), d = a;
    for (std::size_t i = 0; i < c.n; ++i) a[i][i] = d[i][i] = 1.0;
    a[0][0] = a[1][1] = a[c.r - 1][0] = a[c.r - 1][1] = d[0][0] = d[1][1] = 4.0;
    a[0][2] = 1.0;
    a[1][2] = a[2][c.n] = d[2][2] = 2.0;
    d[c.r - 1][c.r - 1] = -3.0;
    if (c.zero != 0) a[c.zero - 1][c.zero - 1] = d[c.zero - 1][c.zero - 1] = 0.0;
    const Args args{DoubleArray::matrix(a)};
    const std::string want = describe(Outcome{0, 0, 0.0, {DoubleArray::matrix(d)}});
    const std::uint64_t splits = numeric::split_calls();
    EXPECT_EQ(describe(run("mDiag", args, false, 3, c.threads)), want);
    EXPECT_EQ(numeric::split_calls() > splits, c.threads > 1);
    EXPECT_EQ(describe(run("mDiag", args, true)), want) << "checked loops";
  }
}

// Outcomes read "error/ErrCode result | each array after the call"; ErrCode
// was 3 before. The zero tolerance is 1e-12: a pivot at or below it is zero,
// a finished determinant of order 3 and more strictly below it is 0.
TEST(LinalgTest, WorkedExamples) {
  expect_worked({
      // Orders 1 and 2 are returned as computed; order 3 expands the first row.
      {"mDet", {M("5")}, "0/0 5 | ="},
      {"mDet", {M("1e-13 0;0 1")}, "0/0 1e-13 | ="},
      {"mDet", {M("2 1 1;1 3 2;1 0 0")}, "0/0 -1 | ="},
      {"mDet", {M("1e-13 0 0;0 1 0;0 0 1")}, "0/0 0 | ="},
      // Pivot 2 in column 2: one exchange, the sign flips.
      {"mDet", {M("1 2 0 0;4 1 0 0;0 0 1 0;0 0 0 1")}, "0/0 -7 | ="},
      {"mDet", {M("1e-12 0 0 0;0 1e12 0 0;0 0 1 0;0 0 0 1")}, "0/0 0 | ="},
      {"mDet", {M("1 0 0 0;0 1 0 0;0 0 1 0;0 0 0 1e-12")}, "0/0 1e-12 | ="},
      {"mDet", {M("1e300 0 0 0;0 1e300 0 0;0 0 1 0;0 0 0 1")}, "6/0 0 | ="},
      {"mMatrIsSing", {M("1 2")}, "0/3 0 | ="},
      {"mMatrIsSing", {M("1 2;2 4")}, "0/0 1 | ="},
      // The inverse of order 1 is 1 / D; a singular or non-square matrix is
      // refused untouched with ErrCode 4; an order beyond 16 bits overflows.
      // A cofactor (-1)^(i+j) times a zero minor is -0.
      {"mInv", {M("4")}, "0/0 0 | 0..1,0..1 [0,0;0,0.25]"},
      {"mInv", {M("2 1;1 1")}, "0/0 0 | 0..2,0..2 [0,0,0;0,1,-1;0,-1,2]"},
      {"mInv",
       {M("1 1 0 0;0 1 1 0;0 0 1 1;0 0 0 1")},
       "0/0 0 | 0..4,0..4 [0,0,0,0,0;0,1,-1,1,-1;0,-0,1,-1,1;0,0,-0,1,-1;0,-0,0,-0,1]"},
      {"mInv", {M("1 2;2 4")}, "0/4 0 | ="},
      {"mInv", {M("1 2 3;4 5 6")}, "0/4 0 | ="},
      {"mInv", {DoubleArray(std::vector<ArrayBound>{{32768, 1}, {32768, 1}})}, "6/3 0 | ="},
      {"mDivd(A,B,A)",
       {M("1 2;3 4"), M("2 1;1 1")},
       "0/0 0 | 0..2,0..2 [0,0,0;0,-3,-1;0,2.5,1] | ="},
      // x = (7, -2); a zero D fails at x(1) = 2 / 0 with A and b restored.
      {"mSist", {V("0 0"), M("1 1;1 2"), V("5 3")}, "0/0 0 | 1..2 [7,-2] | = | ="},
      {"mSist(b,A,b)", {V("5 3"), M("1 1;1 2")}, "0/0 0 | 1..2 [7,-2] | ="},
      {"mSist", {V("0 0"), M("1 2;2 4"), V("1 1")}, "11/0 0 | 1..2 [inf,0] | = | ="},
      // A tie keeps the leftmost column; column 3 wins the first search.
      {"mDiag", {M("1 1;1 2")}, "0/0 0 | 1..2,1..2 [1,0;0,1]"},
      {"mDiag", {M("1 0 3;2 5 7")}, "0/0 0 | 1..2,1..3 [3,0,0;0,5,0]"},
      {"mDiag", {M("1 2;3 4;5 6")}, "9/0 0 | ="},
      {"mDiag", {M("1e-12 1e-12;5 7")}, "0/0 0 | 1..2,1..2 [1e-12,0;0,7]"},
      {"mDiag", {M("1 1;1e308 -1e308")}, "6/0 0 | 1..2,1..2 [1,1;1e+308,-inf]"},
  });
}

}  // namespace
}  // namespace nodrel::reference
