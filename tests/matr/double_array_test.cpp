#include "nodrel/double_array.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>

#include "support/expect_error.hpp"

namespace nodrel {
namespace {

TEST(DoubleArrayBuildTest, MatrixIsColumnMajorWithChosenLowerBounds) {
  const DoubleArray a = DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}});
  ASSERT_EQ(a.dims(), 2u);
  EXPECT_EQ(a.lbound(1), 1);
  EXPECT_EQ(a.ubound(1), 2);
  EXPECT_EQ(a.lbound(2), 1);
  EXPECT_EQ(a.ubound(2), 3);
  // The first index varies fastest, as automation exchanges arrays.
  EXPECT_EQ(a.storage(), (std::vector<double>{1, 4, 2, 5, 3, 6}));
  EXPECT_EQ(a(2, 1), 4.0);
  EXPECT_EQ(a.rows(), (std::vector<std::vector<double>>{{1, 2, 3}, {4, 5, 6}}));

  const DoubleArray z = DoubleArray::matrix({{7, 8}}, 0, -3);
  EXPECT_EQ(z.lbound(1), 0);
  EXPECT_EQ(z.ubound(2), -2);
  EXPECT_EQ(z(0, -2), 8.0);
}

TEST(DoubleArrayBuildTest, VectorAndZeros) {
  const DoubleArray v = DoubleArray::vector({3, 4}, 0);
  EXPECT_EQ(v.dims(), 1u);
  EXPECT_EQ(v.ubound(1), 1);
  EXPECT_EQ(v(1), 4.0);
  EXPECT_EQ(v.values(), (std::vector<double>{3, 4}));

  const DoubleArray z = DoubleArray::zeros(2, 3);
  EXPECT_EQ(z.bounds(), (std::vector<ArrayBound>{{0, 3}, {0, 4}}));
  EXPECT_EQ(z.storage(), std::vector<double>(12, 0.0));
  EXPECT_RUNTIME_ERROR(DoubleArray::zeros(-1), 9);
}

TEST(DoubleArrayBuildTest, RaggedRowsAreRefused) {
  EXPECT_RUNTIME_ERROR(DoubleArray::matrix({{1, 2}, {3}}), 5);
}

TEST(DoubleArrayBoundsTest, UpperBoundOfMissingDimensionFails) {
  const DoubleArray none;
  const DoubleArray v = DoubleArray::vector({1, 2, 3});
  EXPECT_RUNTIME_ERROR(none.ubound(1), 9);
  EXPECT_RUNTIME_ERROR(v.ubound(2), 9);
  EXPECT_RUNTIME_ERROR(v.ubound(0), 9);
  EXPECT_EQ(v.ubound(1), 3);
}

TEST(DoubleArrayAccessTest, IndicesOutsideBoundsOrOfTheWrongCountFail) {
  DoubleArray m = DoubleArray::matrix({{1, 2}, {3, 4}});  // 1..2, 1..2
  DoubleArray v = DoubleArray::vector({1, 2}, 0);         // 0..1
  DoubleArray cube(std::vector<ArrayBound>{{0, 2}, {0, 2}, {0, 2}});
  struct Row {
    const char* what;
    std::function<double()> read;
    bool ok;
  };
  const Row rows[] = {
      {"m(1,1)", [&] { return m(1, 1); }, true},
      {"m(2,2)", [&] { return m(2, 2); }, true},
      {"m(0,1) below lower bound", [&] { return m(0, 1); }, false},
      {"m(1,3) above upper bound", [&] { return m(1, 3); }, false},
      {"m(1) one index on a matrix", [&] { return m(1); }, false},
      {"v(0)", [&] { return v(0); }, true},
      {"v(2) above upper bound", [&] { return v(2); }, false},
      {"v(0,0) two indices on a vector", [&] { return v(0, 0); }, false},
      {"cube(0,0) on three dimensions", [&] { return cube(0, 0); }, false},
      {"m(INT32_MIN, 1)", [&] { return m(INT32_MIN, 1); }, false},
      {"m(1, INT32_MAX)", [&] { return m(1, INT32_MAX); }, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.ok) {
      EXPECT_NO_THROW(row.read());
    } else {
      EXPECT_RUNTIME_ERROR(row.read(), 9);
    }
  }
  EXPECT_EQ(cube.ubound(3), 1);
}

TEST(DoubleArrayRedimTest, ReplacesShapeAndContents) {
  DoubleArray a = DoubleArray::matrix({{1, 2}, {3, 4}});
  a.redim(3);
  EXPECT_EQ(a.bounds(), (std::vector<ArrayBound>{{0, 4}}));
  EXPECT_EQ(a.storage(), std::vector<double>(4, 0.0));
  a.redim(0, 0);
  EXPECT_EQ(a.bounds(), (std::vector<ArrayBound>{{0, 1}, {0, 1}}));
  EXPECT_EQ(a(0, 0), 0.0);
}

TEST(DoubleArrayRedimTest, RefusalsLeaveTheArrayAsItWas) {
  const DoubleArray original = DoubleArray::matrix({{1, 2}, {3, 4}});
  struct Row {
    const char* what;
    bool fixed;
    std::int32_t u1, u2;
    int error;
  };
  const Row rows[] = {
      {"upper bound below 0", false, -1, 2, 9},
      {"second upper bound below 0", false, 2, -1, 9},
      {"fixed array", true, 3, 3, 10},
      {"too large to allocate", false, 100000, 100000, 7},
      {"largest bounds", false, INT32_MAX, INT32_MAX, 7},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    DoubleArray a = original;
    a.set_fixed(row.fixed);
    EXPECT_RUNTIME_ERROR(a.redim(row.u1, row.u2), row.error);
    EXPECT_EQ(a, original);
  }
  DoubleArray fixed_vector = DoubleArray::vector({1});
  fixed_vector.set_fixed(true);
  EXPECT_RUNTIME_ERROR(fixed_vector.redim(0), 10);
  EXPECT_EQ(fixed_vector.values(), std::vector<double>{1});
}

TEST(DoubleArrayEqualityTest, ComparesBitsAndBounds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(DoubleArray::vector({nan}), DoubleArray::vector({nan}));
  EXPECT_FALSE(DoubleArray::vector({0.0}) == DoubleArray::vector({-0.0}));
  EXPECT_FALSE(DoubleArray::vector({1.0}, 0) == DoubleArray::vector({1.0}, 1));
  EXPECT_FALSE(DoubleArray() == DoubleArray::zeros(0));
  EXPECT_EQ(DoubleArray(), DoubleArray());
}

}  // namespace
}  // namespace nodrel
