// Sums, differences, negation, product by a number and transpose.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "nodrel/nodrel.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

using Rows = std::vector<std::vector<double>>;
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Leaves ErrCode at 3, so that a method that resets it shows it.
void make_code_3(Matr& m) { m.mMatrIsUnit(DoubleArray::zeros(1, 2)); }

TEST(SumTest, UnequalOrdersSetCode1AndWriteNothing) {
  Matr m;
  DoubleArray dest = DoubleArray::matrix({{7, 7, 7}, {7, 7, 7}, {7, 7, 7}});
  const DoubleArray before = dest;
  m.mSum(dest, DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}}),
         DoubleArray::matrix({{1, 2}, {3, 4}, {5, 6}}));
  EXPECT_EQ(m.ErrCode(), 1);
  EXPECT_EQ(dest, before);
  m.mDiff(dest, DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}}),
          DoubleArray::matrix({{1, 2}, {3, 4}, {5, 6}}));
  EXPECT_EQ(m.ErrCode(), 1);
  EXPECT_EQ(dest, before);
}

TEST(SumTest, LowerBoundsPlayNoPart) {
  Matr m;
  DoubleArray dest = DoubleArray::zeros(2, 2);
  m.mSum(dest, DoubleArray::matrix({{1, 2}, {3, 4}}),
         DoubleArray::matrix({{9, 9, 9}, {9, 10, 20}, {9, 30, 40}}, 0, 0));
  EXPECT_EQ(m.ErrCode(), 0);
  EXPECT_EQ(dest.rows(), (Rows{{0, 0, 0}, {0, 11, 22}, {0, 33, 44}}));
}

TEST(SumTest, DifferenceIsFirstMinusSecond) {
  Matr m;
  const DoubleArray a = DoubleArray::matrix({{5, 1}, {2, 8}});
  const DoubleArray b = DoubleArray::matrix({{1, 4}, {2, 3}});
  DoubleArray dest = DoubleArray::zeros(2, 2);
  m.mDiff(dest, a, b);
  EXPECT_EQ(dest.rows(), (Rows{{0, 0, 0}, {0, 4, -3}, {0, 0, 5}}));
  m.mDiff(dest, a, a);
  EXPECT_TRUE(m.mMatrIsZero(dest));
}

TEST(SumTest, DestinationMayBeASource) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{1, 2}, {3, 4}});
  m.mSum(a, a, DoubleArray::matrix({{10, 20}, {30, 40}}));
  EXPECT_EQ(a.rows(), (Rows{{11, 22}, {33, 44}}));
}

TEST(SumTest, FailuresKeepWhatWasWritten) {
  Matr m;
  // A destination one row short: row 1 is written, then (2, 1) is missing.
  DoubleArray small = DoubleArray::zeros(1, 3);
  const DoubleArray ones = DoubleArray::matrix({{1, 1, 1}, {1, 1, 1}});
  EXPECT_RUNTIME_ERROR(m.mSum(small, ones, ones), 9);
  EXPECT_EQ(small.rows(), (Rows{{0, 0, 0, 0}, {0, 2, 2, 2}}));
  // An overflow at (1, 2): (1, 1) summed, the infinity stored, (2, 1) not reached.
  DoubleArray dest = DoubleArray::matrix({{7, 7}, {7, 7}});
  const DoubleArray big = DoubleArray::matrix({{1, kMax}, {1, 1}});
  EXPECT_RUNTIME_ERROR(m.mSum(dest, big, big), 6);
  EXPECT_EQ(dest.rows(), (Rows{{2, kInf}, {7, 7}}));
  EXPECT_RUNTIME_ERROR(m.mDiff(dest, DoubleArray::matrix({{-kMax}}), DoubleArray::matrix({{kMax}})),
                       6);
  EXPECT_EQ(dest(1, 1), -kInf);
}

TEST(SumTest, CodeIsResetOnlyOnceTheBoundsOfTheLoopSourceAreRead) {
  const DoubleArray good = DoubleArray::matrix({{1}});
  const DoubleArray vector = DoubleArray::vector({1});
  DoubleArray dest = DoubleArray::zeros(1, 1);
  struct Row {
    const char* what;
    bool sum;
    bool vector_first;  // the vector as mtrSrc1 (else as mtrSrc2)
    int code_after;
  };
  // mSum measures mtrSrc2 first, mDiff mtrSrc1.
  const Row rows[] = {{"mSum, bad mtrSrc2", true, false, 3},
                      {"mSum, bad mtrSrc1", true, true, 0},
                      {"mDiff, bad mtrSrc1", false, true, 3},
                      {"mDiff, bad mtrSrc2", false, false, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    make_code_3(m);
    const DoubleArray& s1 = row.vector_first ? vector : good;
    const DoubleArray& s2 = row.vector_first ? good : vector;
    EXPECT_RUNTIME_ERROR(row.sum ? m.mSum(dest, s1, s2) : m.mDiff(dest, s1, s2), 9);
    EXPECT_EQ(m.ErrCode(), row.code_after);
  }
}

TEST(OppTest, NegatesElementsOnlyAndLeavesTheCode) {
  Matr m;
  make_code_3(m);
  DoubleArray a = DoubleArray::matrix({{5, 5, 5, 5}, {5, 1, -2, 0}, {5, 3, -0.0, kInf}}, 0, 0);
  m.mOpp(a);
  const Rows got = a.rows();
  EXPECT_EQ(got, (Rows{{5, 5, 5, 5}, {5, -1, 2, 0}, {5, -3, 0, -kInf}}));
  EXPECT_TRUE(std::signbit(got[1][3]));   // -0.0
  EXPECT_FALSE(std::signbit(got[2][2]));  // 0.0
  EXPECT_EQ(m.ErrCode(), 3);
}

TEST(ProdScalTest, ScalesElementsOnly) {
  Matr m;
  make_code_3(m);
  DoubleArray a = DoubleArray::matrix({{4, 4, 4}, {4, 2, -3}}, 0, 0);
  m.mProdScal(a, 0.0);
  const Rows got = a.rows();
  EXPECT_EQ(got, (Rows{{4, 4, 4}, {4, 0, 0}}));
  EXPECT_FALSE(std::signbit(got[1][1]));
  EXPECT_TRUE(std::signbit(got[1][2]));  // -3 * 0 is -0.0
  EXPECT_EQ(m.ErrCode(), 0);
}

TEST(ProdScalTest, OverflowLeavesTheInfinityAndStops) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{2, 1e300}, {3, 4}});
  EXPECT_RUNTIME_ERROR(m.mProdScal(a, 1e10), 6);
  // Row by row: (1, 1) scaled, (1, 2) overflowed, row 2 untouched.
  EXPECT_EQ(a.rows(), (Rows{{2e10, kInf}, {3, 4}}));
}

TEST(TraspTest, TransposesIntoFreshBounds) {
  Matr m;
  make_code_3(m);
  DoubleArray t = DoubleArray::vector({1, 2, 3});
  m.mTrasp(t, DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}}));
  EXPECT_EQ(t.rows(), (Rows{{0, 0, 0}, {0, 1, 4}, {0, 2, 5}, {0, 3, 6}}));
  m.mTrasp(t, DoubleArray::matrix({{8}}, 0, 0));
  EXPECT_EQ(t.rows(), (Rows{{0}}));
  EXPECT_EQ(m.ErrCode(), 3);
  EXPECT_RUNTIME_ERROR(m.mTrasp(t, DoubleArray::vector({1})), 9);
}

TEST(TraspTest, SameArrayTwice) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}});
  m.mTrasp(a, a);
  EXPECT_EQ(a.rows(), (Rows{{0, 0, 0}, {0, 1, 4}, {0, 2, 5}, {0, 3, 6}}));
}

}  // namespace
}  // namespace nodrel
