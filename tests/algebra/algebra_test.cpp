// Worked examples that pin the rules of the element-wise operations, products
// and property tests where a literal reading could go astray: signed zeros,
// NaN, rounding of each product before it is added, which ErrCode a method
// leaves, and the element at which a fault stops it. Every other outcome
// (results, partial results, error numbers, ErrCode over random shapes) is
// held bit for bit against the reference transcription in
// algebra_reference_test.cpp.
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
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// Leaves ErrCode at 3, so that a method that resets it shows it.
void make_code_3(Matr& m) { m.mMatrIsUnit(DoubleArray::zeros(1, 2)); }

TEST(ElementWiseTest, SignedZerosAndTheCodeLeftBehind) {
  Matr m;
  make_code_3(m);
  DoubleArray a = DoubleArray::matrix({{5, 5, 5}, {5, 0, -2}, {5, -0.0, kInf}}, 0, 0);
  m.mOpp(a);  // negates elements 1.. only, leaves ErrCode
  const Rows got = a.rows();
  EXPECT_EQ(got, (Rows{{5, 5, 5}, {5, 0, 2}, {5, 0, -kInf}}));
  EXPECT_TRUE(std::signbit(got[1][1]));
  EXPECT_FALSE(std::signbit(got[2][1]));
  EXPECT_EQ(m.ErrCode(), 3);
  DoubleArray b = DoubleArray::matrix({{2, -3}});
  m.mProdScal(b, 0.0);  // -3 * 0 is -0.0; ErrCode reset
  EXPECT_FALSE(std::signbit(b(1, 1)));
  EXPECT_TRUE(std::signbit(b(1, 2)));
  EXPECT_EQ(m.ErrCode(), 0);
}

TEST(ProductsTest, EachProductIsRoundedBeforeItIsAdded) {
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

TEST(ProductsTest, OverflowStopsAtTheFaultyElement) {
  Matr m;
  DoubleArray dest;
  // Row 1 complete, (2, 1) overflowed at its first term, (2, 2) not reached.
  EXPECT_RUNTIME_ERROR(m.mMult(dest, DoubleArray::matrix({{1, 1}, {1e200, 1}}),
                               DoubleArray::matrix({{1e200, 2}, {1, 1}})),
                       6);
  EXPECT_EQ(dest.rows(), (Rows{{0, 0, 0}, {0, 1e200, 3}, {0, kInf, 0}}));
  // The modulus reads column 1 of a matrix; the trace goes as far as the rows.
  EXPECT_EQ(m.mMod(DoubleArray::matrix({{3, 7}, {4, 8}})), 5);
  EXPECT_EQ(m.mTrace(DoubleArray::matrix({{1, 9, 9, 9, 9}, {9, 2, 9, 9, 9}})), 3);
}

TEST(PropertiesTest, ExactComparisonsWhereNaNNeverDiffers) {
  DoubleArray identity;
  Matr().mMakeMatrI(identity, 3);
  DoubleArray almost = identity;
  almost(2, 2) = 1.0000000000000002;
  struct Row {
    const char* what;
    DoubleArray a;
    DoubleArray b;
    bool identical, unit, zero;
  };
  const Row rows[] = {
      {"identity and one ulp off", identity, almost, false, true, false},
      {"NaN and 5; NaN diagonal", DoubleArray::matrix({{kNan, 0}, {0, kNan}}),
       DoubleArray::matrix({{5, 0}, {0, 5}}), true, true, true},
      {"-0.0 and 0.0", DoubleArray::matrix({{-0.0}}), DoubleArray::matrix({{0.0}}), true, false,
       true},
      {"differ only in row 0", DoubleArray::matrix({{5, 5}, {5, 1}}, 0, 0),
       DoubleArray::matrix({{7, 7}, {7, 1}}, 0, 0), true, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    make_code_3(m);
    EXPECT_EQ(m.mIdentical(row.a, row.b), row.identical);
    EXPECT_EQ(m.ErrCode(), 3);  // left as it was
    EXPECT_EQ(m.mMatrIsUnit(row.a), row.unit);
    EXPECT_EQ(m.mMatrIsZero(row.a), row.zero);
    EXPECT_EQ(m.ErrCode(), 0);
  }
}

TEST(PropertiesTest, Orthogonality) {
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
