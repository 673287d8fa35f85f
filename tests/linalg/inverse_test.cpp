// The inverse by cofactors and the division.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "nodrel/nodrel.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

using Rows = std::vector<std::vector<double>>;

DoubleArray scaled_identity(std::int32_t n, double d) {
  DoubleArray a = DoubleArray::zeros(n, n);
  for (std::int32_t k = 1; k <= n; ++k) a(k, k) = d;
  return a;
}

TEST(InvTest, SignedMinorsOverTheDeterminant) {
  struct Row {
    const char* what;
    DoubleArray a;
    Rows inverse;  // bounds 0..n, 0..n, whatever the bounds given
  };
  const Row rows[] = {
      {"order 2, D = 10",
       DoubleArray::matrix({{4, 7}, {2, 6}}),
       {{0, 0, 0}, {0, 0.6, -0.7}, {0, -0.2, 0.4}}},
      // (1, 2) of the inverse is the cofactor of (2, 1), -2, over D = -2.
      {"not symmetric",
       DoubleArray::matrix({{1, 2}, {3, 4}}),
       {{0, 0, 0}, {0, -2, 1}, {0, 1.5, -0.5}}},
      {"order 4, 0.5 I", scaled_identity(4, 0.5), scaled_identity(4, 2).rows()},
      {"order 1 is 1 / D", DoubleArray::matrix({{4}}), {{0, 0}, {0, 0.25}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    DoubleArray a = row.a;
    m.mInv(a);
    EXPECT_EQ(m.ErrCode(), 0);
    EXPECT_EQ(a.rows(), row.inverse);
  }
}

TEST(InvTest, OrderOneThroughTheFloatingPointCheck) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{-8}});
  m.mInv(a);
  EXPECT_EQ(a.rows(), (Rows{{0, 0}, {0, -0.125}}));
  // 1 / 1e-310 overflows; the argument is written only at the end.
  DoubleArray tiny = DoubleArray::matrix({{1e-310}});
  const DoubleArray before = tiny;
  EXPECT_RUNTIME_ERROR(m.mInv(tiny), 6);
  EXPECT_EQ(tiny, before);
}

TEST(InvTest, ZerosOffTheDiagonalCarryTheSign) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{2, 0, 0}, {0, 4, 0}, {0, 0, 8}});
  m.mInv(a);
  EXPECT_EQ(a.rows(), (Rows{{0, 0, 0, 0}, {0, 0.5, 0, 0}, {0, 0, 0.25, 0}, {0, 0, 0, 0.125}}));
  for (std::int32_t i = 1; i <= 3; ++i) {
    for (std::int32_t j = 1; j <= 3; ++j) {
      if (i != j) {
        EXPECT_EQ(std::signbit(a(i, j)), (i + j) % 2 == 1) << i << ", " << j;
      }
    }
  }
}

TEST(InvTest, SingularOrNotSquareIsLeftUntouched) {
  struct Row {
    const char* what;
    DoubleArray a;
  };
  const Row rows[] = {
      {"order 4, determinant 1e-16 flushed", scaled_identity(4, 1e-4)},
      {"two equal rows", DoubleArray::matrix({{1, 2, 3}, {1, 2, 3}, {4, 5, 7}})},
      {"2 x 3", DoubleArray::matrix({{1, 0, 0}, {0, 1, 0}})},
      {"NaN determinant", DoubleArray::matrix({{std::numeric_limits<double>::quiet_NaN()}})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    DoubleArray a = row.a;
    m.mInv(a);
    EXPECT_EQ(m.ErrCode(), 4);
    EXPECT_EQ(a, row.a);
  }
}

TEST(InvTest, RunTimeErrorsLeaveTheArgument) {
  struct Row {
    const char* what;
    DoubleArray a;
    int error;
  };
  const Row rows[] = {
      {"empty: the minor buffer would end at -1", DoubleArray::zeros(0, 0), 9},
      {"a lower bound of 2", DoubleArray(std::vector<ArrayBound>{{2, 2}, {2, 2}}), 9},
      {"an order beyond 16 bits", DoubleArray(std::vector<ArrayBound>{{32768, 1}, {32768, 1}}), 6},
      // The cofactor of (2, 1), -1e300, over D = 1e-300.
      {"overflow in a cofactor", DoubleArray::matrix({{1e-300, 1e300}, {0, 1}}), 6},
      {"vector", DoubleArray::vector({1}), 9},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    DoubleArray a = row.a;
    EXPECT_RUNTIME_ERROR(m.mInv(a), row.error);
    EXPECT_EQ(a, row.a);
  }
}

TEST(DivdTest, InverseOfTheDivisorOnTheLeft) {
  Matr m;
  const DoubleArray b = DoubleArray::matrix({{1, 1}, {1, 1}});
  const DoubleArray a = DoubleArray::matrix({{2, 0}, {0, 1}});
  DoubleArray dest;
  m.mDivd(dest, b, a);
  EXPECT_EQ(dest.rows(), (Rows{{0, 0, 0}, {0, 0.5, 0.5}, {0, 1, 1}}));
  EXPECT_EQ(m.ErrCode(), 0);
  DoubleArray identity;
  m.mMakeMatrI(identity, 2);
  const DoubleArray c = DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}});
  m.mDivd(dest, c, identity);
  EXPECT_EQ(dest.rows(), (Rows{{0, 0, 0, 0}, {0, 1, 2, 3}, {0, 4, 5, 6}}));
}

TEST(DivdTest, SingularDivisorWritesNothing) {
  Matr m;
  DoubleArray dest = DoubleArray::vector({7});
  const DoubleArray singular = DoubleArray::matrix({{1, 2}, {2, 4}});
  m.mDivd(dest, DoubleArray::matrix({{1, 1}, {1, 1}}), singular);
  EXPECT_EQ(m.ErrCode(), 4);
  EXPECT_EQ(dest, DoubleArray::vector({7}));
  EXPECT_EQ(singular, DoubleArray::matrix({{1, 2}, {2, 4}}));
}

TEST(DivdTest, DestinationThatIsASource) {
  const DoubleArray a0 = DoubleArray::matrix({{2, 0}, {0, 4}});
  const DoubleArray b0 = DoubleArray::matrix({{1, 2}, {3, 4}});
  Matr m;
  DoubleArray b = b0;
  m.mDivd(b, b, a0);  // B := inverse(A) B
  EXPECT_EQ(b.rows(), (Rows{{0, 0, 0}, {0, 0.5, 1}, {0, 0.75, 1}}));
  DoubleArray a = a0;
  m.mDivd(a, b0, a);  // A := inverse(A) B
  EXPECT_EQ(a.rows(), (Rows{{0, 0, 0}, {0, 0.5, 1}, {0, 0.75, 1}}));
}

}  // namespace
}  // namespace nodrel
