// Products, trace and modulus.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "nodrel/nodrel.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

using Rows = std::vector<std::vector<double>>;
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(MultTest, Shapes) {
  Matr m;
  DoubleArray dest;
  const DoubleArray b = DoubleArray::matrix({{1, 2}, {3, 4}, {5, 6}});
  m.mMult(dest, DoubleArray::matrix({{1, 0, 2}, {0, 1, 1}}), b);
  EXPECT_EQ(dest.rows(), (Rows{{0, 0, 0}, {0, 11, 14}, {0, 8, 10}}));
  // The fourth column of the first source lies beyond the inner order 3.
  m.mMult(dest, DoubleArray::matrix({{1, 0, 2, 100}, {0, 1, 1, 100}}), b);
  EXPECT_EQ(dest.rows(), (Rows{{0, 0, 0}, {0, 11, 14}, {0, 8, 10}}));
  // r x k by k x 0: bounds 0..r, 0..0 and no product.
  m.mMult(dest, DoubleArray::matrix({{1, 2}, {3, 4}}), DoubleArray::zeros(2, 0));
  EXPECT_EQ(dest.rows(), (Rows{{0}, {0}, {0}}));
  EXPECT_EQ(m.ErrCode(), 0);
}

TEST(MultTest, TooFewColumnsFailAfterThePartialSum) {
  Matr m;
  DoubleArray dest;
  EXPECT_RUNTIME_ERROR(m.mMult(dest, DoubleArray::matrix({{1, 2}, {3, 4}}),
                               DoubleArray::matrix({{1, 1}, {10, 10}, {100, 100}})),
                       9);
  // Re-dimensioned, (1, 1) holding 1 * 1 + 2 * 10 when h = 3 was missing.
  EXPECT_EQ(dest.rows(), (Rows{{0, 0, 0}, {0, 21, 0}, {0, 0, 0}}));
}

TEST(MultTest, ProductsAreRoundedBeforeTheyAreAdded) {
  Matr m;
  // (1 + 2^-30) (1 - 2^-30) = 1 - 2^-60 rounds to 1; added to the -1 before
  // it, the sum is exactly 0 (a fused multiply-add would give -2^-60).
  const double a = 1.0 + std::ldexp(1.0, -30);
  const double b = 1.0 - std::ldexp(1.0, -30);
  DoubleArray dest;
  m.mMult(dest, DoubleArray::matrix({{-1, a}}), DoubleArray::matrix({{1}, {b}}));
  EXPECT_EQ(dest(1, 1), 0.0);
  m.mMultVett(dest, DoubleArray::matrix({{-1, a}}), DoubleArray::vector({1, b}));
  EXPECT_EQ(dest(1), 0.0);
}

TEST(MultTest, OverflowStopsAtTheFaultyElement) {
  Matr m;
  DoubleArray dest;
  // Row 1 complete, (2, 1) overflowed at its first term, (2, 2) not reached.
  EXPECT_RUNTIME_ERROR(m.mMult(dest, DoubleArray::matrix({{1, 1}, {1e200, 1}}),
                               DoubleArray::matrix({{1e200, 2}, {1, 1}})),
                       6);
  EXPECT_EQ(dest.rows(), (Rows{{0, 0, 0}, {0, 1e200, 3}, {0, kInf, 0}}));
  EXPECT_RUNTIME_ERROR(
      m.mMult(dest, DoubleArray::matrix({{1e200}}), DoubleArray::matrix({{1e200}})), 6);
  EXPECT_EQ(dest(1, 1), kInf);
}

TEST(MultTest, DestinationThatIsASource) {
  Matr m;
  const DoubleArray a0 = DoubleArray::matrix({{1, 2}, {3, 4}});
  const DoubleArray b = DoubleArray::matrix({{0, 1}, {1, 0}});
  DoubleArray a = a0;
  m.mMult(a, a, b);  // columns exchanged
  EXPECT_EQ(a.rows(), (Rows{{0, 0, 0}, {0, 2, 1}, {0, 4, 3}}));
  a = a0;
  m.mMult(a, b, a);  // rows exchanged
  EXPECT_EQ(a.rows(), (Rows{{0, 0, 0}, {0, 3, 4}, {0, 1, 2}}));
  a = a0;
  m.mMult(a, a, a);
  EXPECT_EQ(a.rows(), (Rows{{0, 0, 0}, {0, 7, 10}, {0, 15, 22}}));
}

TEST(MultVettTest, UsesTheFirstColumnsOfTheVector) {
  Matr m;
  const DoubleArray a = DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  DoubleArray v;
  m.mMultVett(v, a, DoubleArray::vector({1, 10, 100, 1000, 10000}));
  EXPECT_EQ(v.values(), (std::vector<double>{0, 321, 654, 987}));
  // A vector of order 2 fails at the third term of row 1.
  EXPECT_RUNTIME_ERROR(m.mMultVett(v, a, DoubleArray::vector({1, 10})), 9);
  EXPECT_EQ(v.values(), (std::vector<double>{0, 21, 0, 0}));
  // An n x 1 matrix is not a vector.
  EXPECT_RUNTIME_ERROR(m.mMultVett(v, a, DoubleArray::matrix({{1}, {1}, {1}})), 9);
}

TEST(MultVettTest, DestinationThatIsTheVector) {
  Matr m;
  DoubleArray v = DoubleArray::vector({1, 10});
  m.mMultVett(v, DoubleArray::matrix({{1, 2}, {3, 4}, {5, 6}}), v);
  EXPECT_EQ(v.values(), (std::vector<double>{0, 21, 43, 65}));
}

TEST(TraceTest, SumsTheDiagonalAsFarAsTheRowsGo) {
  Matr m;
  struct Row {
    const char* what;
    DoubleArray a;
    double trace;
  };
  const Row rows[] = {
      {"3 x 3", DoubleArray::matrix({{1, 9, 9}, {9, 2, 9}, {9, 9, 4}}), 7},
      {"2 x 5", DoubleArray::matrix({{1, 9, 9, 9, 9}, {9, 2, 9, 9, 9}}), 3},
      {"vector 0..0", DoubleArray::zeros(0), 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(m.mTrace(row.a), row.trace);
  }
  EXPECT_RUNTIME_ERROR(m.mTrace(DoubleArray::vector({1})), 9);
  EXPECT_RUNTIME_ERROR(m.mTrace(DoubleArray::matrix({{1, 2}, {3, 4}, {5, 6}})), 9);
  EXPECT_RUNTIME_ERROR(m.mTrace(DoubleArray::matrix({{1e308, 0}, {0, 1e308}})), 6);
}

TEST(ModTest, LengthOfAVectorOrOfTheFirstColumn) {
  Matr m;
  struct Row {
    const char* what;
    DoubleArray a;
    double modulus;
  };
  const Row rows[] = {
      {"vector (3, 4)", DoubleArray::vector({3, 4}), 5},
      {"vector with element 0", DoubleArray::vector({100, 3, 4}, 0), 5},
      {"matrix, column 1 = (3, 4)", DoubleArray::matrix({{3, 7}, {4, 8}}), 5},
      {"n x 1 matrix", DoubleArray::matrix({{-3}, {-4}}), 5},
      {"vector 0..0", DoubleArray::zeros(0), 0},
      {"matrix with no rows", DoubleArray::zeros(0, 0), 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(m.mMod(row.a), row.modulus);
    EXPECT_EQ(m.ErrCode(), 0);
  }
  EXPECT_RUNTIME_ERROR(m.mMod(DoubleArray()), 9);
  EXPECT_RUNTIME_ERROR(m.mMod(DoubleArray::zeros(2, 0)), 9);
  EXPECT_RUNTIME_ERROR(m.mMod(DoubleArray::vector({1e200})), 6);
}

}  // namespace
}  // namespace nodrel
