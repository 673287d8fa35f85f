#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "nodrel/matr.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

// The points (1, 1), (2, 3), (3, 5) on the line 2x - 1.
DoubleArray line_in_rows() { return DoubleArray::matrix({{1, 1}, {2, 3}, {3, 5}}); }
DoubleArray line_in_cols() { return DoubleArray::matrix({{1, 2, 3}, {1, 3, 5}}); }

void expect_coefficients(const DoubleArray& got, const std::vector<double>& expected,
                         double tolerance) {
  ASSERT_EQ(got.dims(), 1u);
  ASSERT_EQ(got.lbound(1), 0);
  ASSERT_EQ(got.ubound(1), static_cast<std::int32_t>(expected.size()));
  EXPECT_EQ(got(0), 0.0);
  for (std::size_t j = 0; j < expected.size(); ++j) {
    SCOPED_TRACE(j + 1);
    EXPECT_NEAR(got(static_cast<std::int32_t>(j + 1)), expected[j], tolerance);
  }
}

TEST(PolinTest, Fits) {
  struct Row {
    const char* what;
    DoubleArray pts;
    std::int32_t rank;
    Variant no_points;
    std::vector<double> coefficients;
    double tolerance;
  };
  const Variant all = Variant::missing();
  const Row rows[] = {
      {"line through three points", line_in_rows(), 2, all, {-1, 2}, 1e-12},
      {"interpolating quadratic", line_in_rows(), 3, all, {-1, 2, 0}, 1e-10},
      {"one coefficient: the mean of the ordinates", line_in_rows(), 1, all, {3}, 0.0},
      {"the first two points only", line_in_rows(), 2, 2, {-1, 2}, 1e-12},
      // 2.5 admits two coefficients and rounds to 2 points (half to even).
      {"a count of 2.5", DoubleArray::matrix({{1, 1}, {2, 3}, {3, 100}}), 2, 2.5, {-1, 2}, 1e-12},
      {"a count as text", line_in_rows(), 2, "2", {-1, 2}, 1e-12},
      {"2 x 2 is two points in rows", DoubleArray::matrix({{1, 5}, {3, 9}}), 2, all, {3, 2}, 1e-12},
      {"0^0 is 1", DoubleArray::matrix({{0, 4}, {1, 6}}), 2, all, {4, 2}, 1e-12},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    DoubleArray c = DoubleArray::vector({7, 7, 7, 7, 7});  // any former size
    m.mPolin(c, row.pts, row.rank, row.no_points);
    EXPECT_EQ(m.ErrCode(), 0);
    expect_coefficients(c, row.coefficients, row.tolerance);
  }
  // Points in columns, or with lower bounds 0 and junk in row 0 and column
  // 0, give the same bits: the same operations on the same numbers.
  Matr m;
  DoubleArray by_rows, by_cols, zero_based;
  m.mPolin(by_rows, line_in_rows(), 2);
  m.mPolin(by_cols, line_in_cols(), 2);
  m.mPolin(zero_based, DoubleArray::matrix({{9, 9, 9}, {9, 1, 1}, {9, 2, 3}, {9, 3, 5}}, 0, 0), 2);
  EXPECT_EQ(by_cols, by_rows);
  EXPECT_EQ(zero_based, by_rows);
  // No coefficient: the empty polynomial.
  m.mPolin(by_rows, line_in_rows(), 0);
  EXPECT_EQ(by_rows, DoubleArray::zeros(0));
}

TEST(PolinTest, ConditionsSetTheirCodeAndWriteNothing) {
  Matr m;
  const DoubleArray before = DoubleArray::vector({5, 6});
  struct Row {
    const char* what;
    DoubleArray pts;
    std::int32_t rank;
    Variant no_points;
    int code;
  };
  const Row rows[] = {
      {"three by three", DoubleArray::zeros(3, 3), 2, Variant::missing(), 8},
      {"more coefficients than points", line_in_rows(), 4, Variant::missing(), 9},
      {"more coefficients than named points", line_in_rows(), 3, 2, 9},
      {"fractional count compared as it is", line_in_rows(), 3, 2.5, 9},
      {"abscissas all equal", DoubleArray::matrix({{2, 1}, {2, 3}, {2, 5}}), 2, Variant::missing(),
       4},
      {"tiny abscissas: det below the tolerance",
       DoubleArray::matrix({{0.001, 1}, {0.002, 3}, {0.003, 5}}), 3, Variant::missing(), 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    DoubleArray c = before;
    m.mPolin(c, row.pts, row.rank, row.no_points);
    EXPECT_EQ(m.ErrCode(), row.code);
    EXPECT_EQ(c, before);
  }
  // The same shape of points at 1, 2, 3 fits normally.
  DoubleArray c;
  m.mPolin(c, DoubleArray::matrix({{1, 1}, {2, 3}, {3, 5}}), 3);
  EXPECT_EQ(m.ErrCode(), 0);
}

TEST(PolinTest, RunTimeErrorsLeaveTheCoefficientsUntouched) {
  Matr m;
  const DoubleArray before = DoubleArray::vector({5, 6});
  struct Row {
    const char* what;
    DoubleArray pts;
    std::int32_t rank;
    Variant no_points;
    int error;
    int code_after;  // -100: the code from before the call
  };
  const Row rows[] = {
      {"points in a vector", DoubleArray::vector({1, 2}), 2, Variant::missing(), 9, -100},
      {"points never dimensioned", DoubleArray(), 2, Variant::missing(), 9, -100},
      {"count beyond the points", line_in_rows(), 2, 4, 9, 0},
      {"count not a number", line_in_rows(), 2, "abc", 13, -100},
      {"count null", line_in_rows(), 2, Variant::null(), 13, -100},
      {"count beyond 32 bits", line_in_rows(), 2, 1e10, 6, -100},
      {"negative count and rank", line_in_rows(), -1, -1, 9, 0},
      {"rank beyond 32766", line_in_rows(), 32767, 40000, 6, 0},
      {"power overflows", DoubleArray::matrix({{1e200, 1}, {2, 2}, {3, 3}}), 3, Variant::missing(),
       6, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    DoubleArray wide = DoubleArray::zeros(2, 3);
    m.mMatrIsZero(wide);  // leaves code 3 from before the call
    DoubleArray c = before;
    EXPECT_RUNTIME_ERROR(m.mPolin(c, row.pts, row.rank, row.no_points), row.error);
    EXPECT_EQ(c, before);
    EXPECT_EQ(m.ErrCode(), row.code_after == -100 ? 3 : row.code_after);
  }
}

// A cubic through 100,000 points with abscissas spread over [-1, 1]. The
// normal matrix is N times the moment matrix of the uniform distribution,
// whose condition number is about 76; forming AᵀA and Aᵀy by sums of N
// products carries a relative error of at most about N·u ≈ 1.1e-11, so the
// coefficients are good to κ·N·u ≈ 8e-10 of their scale. 1e-8 leaves a
// factor of ten for the cofactor inverse and the final products.
TEST(PolinTest, CubicThroughAHundredThousandPoints) {
  Matr m;
  const std::int32_t n = 100000;
  const double c0 = 0.5, c1 = -1.25, c2 = 2.0, c3 = 0.75;
  DoubleArray pts(std::vector<ArrayBound>{{1, static_cast<std::uint32_t>(n)}, {1, 2}});
  for (std::int32_t i = 1; i <= n; ++i) {
    const double x = -1.0 + 2.0 * (i - 1) / (n - 1);
    pts(i, 1) = x;
    pts(i, 2) = c0 + c1 * x + c2 * x * x + c3 * x * x * x;
  }
  DoubleArray c;
  m.mPolin(c, pts, 4);
  ASSERT_EQ(m.ErrCode(), 0);
  expect_coefficients(c, {c0, c1, c2, c3}, 1e-8);
}

}  // namespace
}  // namespace nodrel
