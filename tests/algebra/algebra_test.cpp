// Worked examples that pin the rules of the element-wise operations, products
// and property tests where a literal reading could go astray: signed zeros,
// NaN, rounding of each product before it is added, which ErrCode a method
// leaves, and the element at which a fault stops it. Every other outcome is
// held bit for bit against the reference in algebra_reference_test.cpp.
#include <gtest/gtest.h>

#include <cmath>

#include "nodrel/nodrel.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

TEST(AlgebraTest, SignedZerosRoundingAndTheFaultyElement) {
  Matr m;
  leave_code_3(m);
  DoubleArray a = DoubleArray::matrix({{5, 5, 5}, {5, 0, -2}, {5, -0.0, INFINITY}}, 0, 0);
  m.mOpp(a);  // negates elements 1.. only, leaves ErrCode
  EXPECT_EQ(show(a), "DoubleArray 0..2,0..2 [5,5,5;5,-0,2;5,0,-inf]");
  EXPECT_EQ(m.ErrCode(), 3);
  DoubleArray b = DoubleArray::matrix({{2, -3}});
  m.mProdScal(b, 0.0);  // -3 * 0 is -0.0; ErrCode reset
  EXPECT_EQ(show(b), "DoubleArray 1..1,1..2 [0,-0]");
  EXPECT_EQ(m.ErrCode(), 0);
  // (1 + 2^-30) (1 - 2^-30) = 1 - 2^-60 rounds to 1; added to the -1 before
  // it, the sum is exactly 0 (a fused multiply-add would give -2^-60).
  const double p = 1.0 + std::ldexp(1.0, -30), q = 1.0 - std::ldexp(1.0, -30);
  DoubleArray dest;
  m.mMult(dest, DoubleArray::matrix({{-1, p}}), DoubleArray::matrix({{1}, {q}}));
  EXPECT_EQ(show(dest), "DoubleArray 0..1,0..1 [0,0;0,0]");
  m.mMultVett(dest, DoubleArray::matrix({{-1, p}}), DoubleArray::vector({1, q}));
  EXPECT_EQ(show(dest), "DoubleArray 0..1 [0,0]");
  // Row 1 complete, (2, 1) overflowed at its first term, (2, 2) not reached.
  EXPECT_RUNTIME_ERROR(m.mMult(dest, DoubleArray::matrix({{1, 1}, {1e200, 1}}),
                               DoubleArray::matrix({{1e200, 2}, {1, 1}})),
                       6);
  EXPECT_EQ(show(dest), "DoubleArray 0..2,0..2 [0,0,0;0,1e+200,3;0,inf,0]");
  // The modulus reads column 1 of a matrix; the trace goes as far as the rows.
  EXPECT_EQ(m.mMod(DoubleArray::matrix({{3, 7}, {4, 8}})), 5);
  EXPECT_EQ(m.mTrace(DoubleArray::matrix({{1, 9, 9, 9, 9}, {9, 2, 9, 9, 9}})), 3);
}

TEST(AlgebraTest, ExactComparisonsWhereNaNNeverDiffers) {
  DoubleArray almost = DoubleArray::matrix({{1, 0}, {0, 1.0000000000000002}});
  struct Row {
    const char* what;
    DoubleArray a, b;
    bool identical, unit, zero;
  };
  const Row rows[] = {
      {"one ulp off the identity", DoubleArray::matrix({{1, 0}, {0, 1}}), almost, false, true,
       false},
      {"NaN and 5; NaN diagonal", DoubleArray::matrix({{NAN, 0}, {0, NAN}}),
       DoubleArray::matrix({{5, 0}, {0, 5}}), true, true, true},
      {"-0.0 and 0.0", DoubleArray::matrix({{-0.0}}), DoubleArray::matrix({{0.0}}), true, false,
       true},
      {"differ only in row 0", DoubleArray::matrix({{5, 5}, {5, 1}}, 0, 0),
       DoubleArray::matrix({{7, 7}, {7, 1}}, 0, 0), true, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    leave_code_3(m);
    EXPECT_EQ(m.mIdentical(row.a, row.b), row.identical);
    EXPECT_EQ(m.ErrCode(), 3);  // left as it was
    EXPECT_EQ(m.mMatrIsUnit(row.a), row.unit);
    EXPECT_EQ(m.mMatrIsZero(row.a), row.zero);
    EXPECT_EQ(m.ErrCode(), 0);
  }
  Matr m;
  EXPECT_TRUE(m.mMatrIsOrt(DoubleArray::matrix({{0, -1}, {1, 0}})));
  EXPECT_FALSE(m.mMatrIsOrt(DoubleArray::matrix({{2, 0}, {0, 1}})));
  // Not square: the inverse refuses it as singular.
  EXPECT_FALSE(m.mMatrIsOrt(DoubleArray::matrix({{1, 0, 0}, {0, 1, 0}})));
  EXPECT_EQ(m.ErrCode(), 4);
  // A 2 x 3 by its transpose is the identity; the 3 x 2 by its transpose is not.
  const DoubleArray a = DoubleArray::matrix({{1, 0, 0}, {0, 1, 0}});
  const DoubleArray at = DoubleArray::matrix({{1, 0}, {0, 1}, {0, 0}});
  EXPECT_TRUE(m.mMatrAreOrt(a, at));
  EXPECT_FALSE(m.mMatrAreOrt(at, a));
  EXPECT_EQ(m.ErrCode(), 0);
}

}  // namespace
}  // namespace nodrel
