// The least-squares fit, the polynomial evaluated at x, and the abscissas
// where a line or a quadratic reaches y: worked examples for every outcome,
// the conditions of ErrCode and every run-time error with what it leaves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "nodrel/matr.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

// The points (1, 1), (2, 3), (3, 5) on the line 2x - 1, one point a row.
const DoubleArray kLine = DoubleArray::matrix({{1, 1}, {2, 3}, {3, 5}});

TEST(PolinTest, FitsConditionsAndFailures) {
  struct Row {
    const char* what;
    DoubleArray pts;
    std::int32_t rank;
    Variant no_points;
    int error, code;
    const char* coefficients;  // bounds and elements, "" for untouched
  };
  using D = DoubleArray;
  const Variant all = Variant::missing();
  // kLine with lower bounds 0: row and column 0 are not read.
  const DoubleArray from0 = DoubleArray::matrix({{9, 9, 9}, {9, 1, 1}, {9, 2, 3}, {9, 3, 5}}, 0, 0);
  const Row rows[] = {
      {"line through three points", kLine, 2, all, 0, 0, "0..2 [0,-1,2]"},
      {"interpolating quadratic", kLine, 3, all, 0, 0, "0..3 [0,-1,2,0]"},
      {"one coefficient: the mean of the ordinates", kLine, 1, all, 0, 0, "0..1 [0,3]"},
      // 2.5 admits two coefficients and rounds to 2 points (half to even).
      {"a count of 2.5", D::matrix({{1, 1}, {2, 3}, {3, 100}}), 2, 2.5, 0, 0, "0..2 [0,-1,2]"},
      {"points in columns", D::matrix({{1, 2, 3}, {1, 3, 5}}), 2, all, 0, 0, "0..2 [0,-1,2]"},
      {"lower bounds 0", from0, 2, all, 0, 0, "0..2 [0,-1,2]"},
      {"no coefficient: the empty polynomial", kLine, 0, all, 0, 0, "0..0 [0]"},
      {"three by three", D::zeros(3, 3), 2, all, 0, 8, ""},
      {"more coefficients than points", kLine, 4, all, 0, 9, ""},
      {"a fractional count compared as it is", kLine, 3, 2.5, 0, 9, ""},
      {"abscissas all equal", D::matrix({{2, 1}, {2, 3}, {2, 5}}), 2, all, 0, 4, ""},
      // Tiny abscissas: a determinant below the tolerance.
      {"tiny abscissas", D::matrix({{1e-3, 1}, {2e-3, 3}, {3e-3, 5}}), 3, all, 0, 4, ""},
      {"points in a vector", D::vector({1, 2}), 2, all, 9, 3, ""},
      {"count not a number", kLine, 2, "abc", 13, 3, ""},
      // From here on the fit had begun: ErrCode was reset.
      {"count beyond the points", kLine, 2, 4, 9, 0, ""},
      {"negative count and rank", kLine, -1, -1, 9, 0, ""},
      {"rank beyond 32766", kLine, 32767, 40000, 6, 0, ""},
      {"a power overflows", D::matrix({{1e200, 1}, {2, 2}, {3, 3}}), 3, all, 6, 0, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    leave_code_3(m);
    DoubleArray c = DoubleArray::vector({5, 6});
    EXPECT_EQ(outcome([&] { m.mPolin(c, row.pts, row.rank, row.no_points); }),
              error_text(row.error));
    EXPECT_EQ(m.ErrCode(), row.code);
    EXPECT_EQ(show(c),
              "DoubleArray " + std::string(*row.coefficients ? row.coefficients : "1..2 [5,6]"));
  }
}

TEST(PolinTest, EvaluationFromTheConstantUp) {
  Matr m;
  leave_code_3(m);  // neither cleared nor set, also after a failure
  EXPECT_EQ(m.mGetYPolin(5.0, DoubleArray::zeros(0)), 0.0);
  EXPECT_EQ(m.mGetYPolin(-9.0, DoubleArray::vector({99, 3}, 0)), 3.0);  // index 0 is not read
  EXPECT_EQ(m.mGetYPolin(0.0, DoubleArray::vector({4, 5, 6})), 4.0);    // 0^0 is 1
  // (0.1 + 0.2) + 0.3 rounds to 0.6000000000000001, where Horner's rule
  // would give 0.1 + (0.2 + 0.3) = 0.6.
  EXPECT_EQ(m.mGetYPolin(1.0, DoubleArray::vector({0.1, 0.2, 0.3})), 0.6000000000000001);
  EXPECT_RUNTIME_ERROR(m.mGetYPolin(1.0, DoubleArray::zeros(2, 2)), 9);
  EXPECT_RUNTIME_ERROR(m.mGetYPolin(1e200, DoubleArray::vector({0, 0, 1})), 6);
  EXPECT_RUNTIME_ERROR(m.mGetYPolin(2.0, DoubleArray::vector({1e308, 1e308})), 6);
  EXPECT_RUNTIME_ERROR(m.mGetYPolin(INFINITY, DoubleArray::vector({1, 0})), 6);
  EXPECT_EQ(m.ErrCode(), 3);
}

TEST(PolinTest, AbscissasOfALineOrAQuadratic) {
  struct Row {
    const char* what;
    std::vector<double> c;  // elements 1, 2, ...
    double y;
    Variant max_f;
    int error;
    std::string x1_x2;  // as written, errors included
  };
  const Variant no = Variant::missing();
  const Row rows[] = {
      {"x^2 + 2x - 3 = 0", {-3, 2, 1}, 0, no, 0, "1 -3"},
      {"turned over: the +root stays in x1", {3, -2, -1}, 0, no, 0, "-3 1"},
      {"no root", {1, -2, 1}, -1, no, 0, "0 0"},
      {"double root", {1, -2, 1}, 0, no, 0, "1 1"},
      {"c = 0", {1, 2, 0}, 5, no, 0, "0 0"},
      {"four elements read the fourth as c", {-3, 2, 99, 1}, 0, no, 0, "1 -3"},
      {"one element", {7}, 3, no, 0, "3 0"},
      {"line 1 + 2x = 5", {1, 2}, 5, no, 0, "2 0"},
      {"five elements", {1, 2, 3, 4, 5}, 0, true, 0, "0 0"},
      {"no element", {}, 3, true, 0, "0 0"},
      {"MaxF is not read with two roots", {0, 0, 1}, 4, "maybe", 0, "2 -2"},
      {"line 1 = 1 with b = 0", {1, 0}, 1, no, 6, "nan 0"},
      {"c = 0, MaxF true", {1, 2, 0}, 5, true, 11, "0 0"},
      {"b = c = 0, MaxF true", {1, 0, 0}, 5, true, 6, "0 0"},
      {"b^2 overflows", {0, 1e200, 1}, 0, no, 6, "0 0"},
      {"MaxF not a boolean", {1, -2, 1}, -1, "maybe", 13, "0 0"},
      // b^2 - ((a - y) 4) c: the value of each rounded step decides the last
      // bits of the roots.
      {"a = 0.1, y = 0.3", {0.1, 1, 0.7}, 0.3, no, 0, "0.17785685691405692 -1.6064282854854857"},
      // 2c overflows: the first root is stored (as 0) before its error.
      {"c + c overflows", {-1e-300, 0, 1e308}, 0, no, 6, "0 0"},
  };
  Matr m;
  leave_code_3(m);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    double x1 = 42, x2 = 43;
    const DoubleArray c = DoubleArray::vector(row.c);
    EXPECT_EQ(outcome([&] { m.mGetXsOfQuadr(x1, x2, row.y, c, row.max_f); }),
              error_text(row.error));
    EXPECT_EQ(number(x1) + " " + number(x2), row.x1_x2);
    EXPECT_EQ(m.ErrCode(), 3);  // never touched
  }
  double x1 = 0, x2 = 0;
  EXPECT_RUNTIME_ERROR(m.mGetXsOfQuadr(x1, x2, 0, DoubleArray::zeros(3, 3), {}), 9);
}

}  // namespace
}  // namespace nodrel
