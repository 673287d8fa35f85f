// Equality, identity, zero and orthogonality tests.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "nodrel/nodrel.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

void make_code_3(Matr& m) { m.mMatrIsUnit(DoubleArray::zeros(1, 2)); }

TEST(IdenticalTest, ComparesElementsOneToROneToC) {
  struct Row {
    const char* what;
    DoubleArray a;
    DoubleArray b;
    bool identical;
  };
  const Row rows[] = {
      {"2 x 2 and 2 x 3", DoubleArray::zeros(2, 2), DoubleArray::zeros(2, 3), false},
      {"differ only in row 0", DoubleArray::matrix({{5, 5}, {5, 1}}, 0, 0),
       DoubleArray::matrix({{7, 7}, {7, 1}}, 0, 0), true},
      {"lower bounds 1 and 0", DoubleArray::matrix({{1, 2}}),
       DoubleArray::matrix({{0, 0, 0}, {0, 1, 2}}, 0, 0), true},
      {"NaN and 5", DoubleArray::matrix({{kNan, 2}}), DoubleArray::matrix({{5, 2}}), true},
      {"-0.0 and 0.0", DoubleArray::matrix({{-0.0}}), DoubleArray::matrix({{0.0}}), true},
      {"one ulp apart", DoubleArray::matrix({{1, 1}}),
       DoubleArray::matrix({{1, 1.0000000000000002}}), false},
      {"0 x 0", DoubleArray::zeros(0, 0), DoubleArray::zeros(0, 0), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    make_code_3(m);
    EXPECT_EQ(m.mIdentical(row.a, row.b), row.identical);
    EXPECT_EQ(m.ErrCode(), 3);  // left as it was
  }
  Matr m;
  EXPECT_RUNTIME_ERROR(m.mIdentical(DoubleArray::zeros(1, 1), DoubleArray::vector({1})), 9);
}

TEST(UnitAndZeroTest, ExactComparisonsAndSquareness) {
  DoubleArray identity;
  Matr().mMakeMatrI(identity, 3);
  DoubleArray almost = identity;
  almost(2, 2) = 1.0000000000000002;
  struct Row {
    const char* what;
    DoubleArray a;
    bool unit;
    bool zero;
    int code;
  };
  const Row rows[] = {
      {"identity", identity, true, false, 0},
      {"one ulp off the identity", almost, false, false, 0},
      {"zero 3 x 3 with -0.0", DoubleArray::matrix({{0, -0.0, 0}, {0, 0, -0.0}, {-0.0, 0, 0}}),
       false, true, 0},
      {"NaN diagonal", DoubleArray::matrix({{kNan, 0}, {0, kNan}}), true, true, 0},
      {"zero 2 x 3", DoubleArray::zeros(2, 3), false, false, 3},
      {"0..0, 0..0", DoubleArray::matrix({{7}}, 0, 0), true, true, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    EXPECT_EQ(m.mMatrIsUnit(row.a), row.unit);
    EXPECT_EQ(m.ErrCode(), row.code);
    EXPECT_EQ(m.mMatrIsZero(row.a), row.zero);
    EXPECT_EQ(m.ErrCode(), row.code);
  }
}

TEST(OrtTest, TransposeEqualsInverse) {
  struct Row {
    const char* what;
    DoubleArray a;
    bool orthogonal;
    int code;
  };
  DoubleArray identity;
  Matr().mMakeMatrI(identity, 4);
  const Row rows[] = {
      {"identity", identity, true, 0},
      {"exchange", DoubleArray::matrix({{0, 1}, {1, 0}}), true, 0},
      {"rotation", DoubleArray::matrix({{0, -1}, {1, 0}}), true, 0},
      {"signed permutation of order 3", DoubleArray::matrix({{0, 0, -1}, {1, 0, 0}, {0, -1, 0}}),
       true, 0},
      {"invertible, not orthogonal", DoubleArray::matrix({{2, 0}, {0, 1}}), false, 0},
      {"2 x 3", DoubleArray::matrix({{1, 0, 0}, {0, 1, 0}}), false, 4},
      {"zero 2 x 2", DoubleArray::zeros(2, 2), false, 4},
      {"singular symmetric", DoubleArray::matrix({{1, 1}, {1, 1}}), false, 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    const DoubleArray before = row.a;
    EXPECT_EQ(m.mMatrIsOrt(row.a), row.orthogonal);
    EXPECT_EQ(m.ErrCode(), row.code);
    EXPECT_EQ(row.a, before);
  }
  Matr m;
  EXPECT_RUNTIME_ERROR(m.mMatrIsOrt(DoubleArray::matrix({{1e300, 0}, {0, 1e300}})), 6);
}

TEST(AreOrtTest, ProductIsTheIdentity) {
  const DoubleArray a = DoubleArray::matrix({{1, 0, 0}, {0, 1, 0}});
  const DoubleArray at = DoubleArray::matrix({{1, 0}, {0, 1}, {0, 0}});
  struct Row {
    const char* what;
    const DoubleArray& a;
    DoubleArray b;
    bool orthogonal;
    int code;
  };
  const Row rows[] = {
      {"2 x 3 by its transpose", a, at, true, 0},
      {"3 x 2 by its transpose: a 3 x 3 product", at, a, false, 0},
      {"2 x 3 by 3 x 3", a, DoubleArray::zeros(3, 3), false, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    make_code_3(m);
    EXPECT_EQ(m.mMatrAreOrt(row.a, row.b), row.orthogonal);
    EXPECT_EQ(m.ErrCode(), row.code);
  }
  Matr m;
  EXPECT_RUNTIME_ERROR(m.mMatrAreOrt(DoubleArray::zeros(2, 1), DoubleArray::zeros(2, 2)), 9);
}

}  // namespace
}  // namespace nodrel
