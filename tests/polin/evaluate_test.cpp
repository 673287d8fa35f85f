// The polynomial evaluated at x, and the abscissas where a line or a
// quadratic reaches y.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "nodrel/matr.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

// Coefficient Vectors are written as their elements 1, 2, ...
DoubleArray coeff(std::vector<double> values) { return DoubleArray::vector(std::move(values)); }

TEST(GetXsOfQuadrTest, Outcomes) {
  Matr m;
  struct Row {
    const char* what;
    DoubleArray c;
    double y;
    Variant max_f;
    double x1, x2;
  };
  const Variant missing = Variant::missing();
  const Row rows[] = {
      {"x^2 = 4", coeff({0, 0, 1}), 4, missing, 2, -2},
      {"x^2 + 2x - 3 = 0", coeff({-3, 2, 1}), 0, missing, 1, -3},
      {"turned over: the +root stays in x1", coeff({3, -2, -1}), 0, missing, -3, 1},
      {"no root", coeff({1, -2, 1}), -1, missing, 0, 0},
      {"no root, MaxF false", coeff({1, -2, 1}), -1, false, 0, 0},
      {"no root, MaxF null", coeff({1, -2, 1}), -1, Variant::null(), 0, 0},
      {"no root, MaxF true: the vertex", coeff({1, -2, 1}), -1, true, 1, 0},
      {"no root, MaxF -1", coeff({1, -2, 1}), -1, -1, 1, 0},
      {"double root", coeff({1, -2, 1}), 0, missing, 1, 1},
      {"c = 0", coeff({1, 2, 0}), 5, missing, 0, 0},
      {"four elements read the fourth as c", coeff({-3, 2, 99, 1}), 0, missing, 1, -3},
      {"one element", coeff({7}), 3, missing, 3, 0},
      {"line 1 + 2x = 5", coeff({1, 2}), 5, missing, 2, 0},
      {"five elements", coeff({1, 2, 3, 4, 5}), 0, true, 0, 0},
      {"bounds 0..0", DoubleArray::zeros(0), 3, true, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    double x1 = 42;
    double x2 = 43;
    m.mGetXsOfQuadr(x1, x2, row.y, row.c, row.max_f);
    EXPECT_EQ(x1, row.x1);
    EXPECT_EQ(x2, row.x2);
  }
}

TEST(GetXsOfQuadrTest, DiscriminantIsFormedInItsOrder) {
  Matr m;
  // b^2 - ((a - y)·4)·c with a = 0.1, y = 0.3, c = 0.7, b = 1: the value
  // of each rounded step decides the last bits of the roots.
  double x1 = 0;
  double x2 = 0;
  m.mGetXsOfQuadr(x1, x2, 0.3, coeff({0.1, 1, 0.7}), {});
  const double t = ((0.1 - 0.3) * 4.0) * 0.7;
  const double d = 1.0 - t;
  EXPECT_EQ(x1, (-1.0 + std::sqrt(d)) / (0.7 + 0.7));
  EXPECT_EQ(x2, (-1.0 - std::sqrt(d)) / (0.7 + 0.7));
}

TEST(GetXsOfQuadrTest, FaultsLeaveTheOutputsAsTheySay) {
  Matr m;
  const double inf = std::numeric_limits<double>::infinity();
  struct Row {
    const char* what;
    DoubleArray c;
    double y;
    Variant max_f;
    int error;
    double x1;  // NaN: any NaN
    double x2;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Row rows[] = {
      {"vertical line", coeff({1, 0}), 5, Variant::missing(), 11, inf, 0},
      {"line 1 = 1 with b = 0", coeff({1, 0}), 1, Variant::missing(), 6, nan, 0},
      {"c = 0, MaxF true", coeff({1, 2, 0}), 5, true, 11, 0, 0},
      {"b = c = 0, MaxF true", coeff({1, 0, 0}), 5, true, 6, 0, 0},
      {"b^2 overflows", coeff({0, 1e200, 1}), 0, Variant::missing(), 6, 0, 0},
      {"MaxF not a boolean", coeff({1, -2, 1}), -1, "maybe", 13, 0, 0},
      // 2c overflows: the first root is stored (as 0) before its error.
      {"c + c overflows", coeff({-1e-300, 0, 1e308}), 0, Variant::missing(), 6, 0, 0},
  };
  DoubleArray d = DoubleArray::zeros(2, 2);
  m.mSum(d, d, DoubleArray::zeros(3, 3));  // ErrCode 1, which no row may touch
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    double x1 = 42;
    double x2 = 43;
    EXPECT_RUNTIME_ERROR(m.mGetXsOfQuadr(x1, x2, row.y, row.c, row.max_f), row.error);
    EXPECT_EQ(m.ErrCode(), 1);
    if (std::isnan(row.x1)) {
      EXPECT_TRUE(std::isnan(x1));
    } else {
      EXPECT_EQ(x1, row.x1);
    }
    EXPECT_EQ(x2, row.x2);
  }
  double x1 = 1;
  double x2 = 1;
  EXPECT_RUNTIME_ERROR(m.mGetXsOfQuadr(x1, x2, 0, DoubleArray(), {}), 9);
  EXPECT_RUNTIME_ERROR(m.mGetXsOfQuadr(x1, x2, 0, DoubleArray::zeros(3, 3), {}), 9);
  // A MaxF that is not a boolean is not read when there are two roots.
  EXPECT_NO_THROW(m.mGetXsOfQuadr(x1, x2, 4, coeff({0, 0, 1}), Variant("maybe")));
  EXPECT_EQ(x1, 2);
  EXPECT_EQ(m.ErrCode(), 1);
}

TEST(GetYPolinTest, SumsTheTermsFromTheConstantUp) {
  Matr m;
  struct Row {
    const char* what;
    double x;
    DoubleArray coeff;
    double expected;
  };
  const Row rows[] = {
      {"bounds 0..0", 5.0, DoubleArray::zeros(0), 0.0},
      {"upper bound below 1", 5.0, DoubleArray::vector({}, 1), 0.0},
      {"constant", -9.0, DoubleArray::vector({99, 3}, 0), 3.0},
      {"x = 0 reads the constant (0^0 = 1)", 0.0, DoubleArray::vector({4, 5, 6}), 4.0},
      {"line -1 + 2x at 4", 4.0, DoubleArray::vector({-1, 2}), 7.0},
      {"x^3 at -2 keeps its sign", -2.0, DoubleArray::vector({0, 0, 0, 1}), -8.0},
      // From the constant up: (0.1 + 0.2) + 0.3 rounds to 0.6000000000000001,
      // where Horner's rule would give 0.1 + (0.2 + 0.3) = 0.6.
      {"rounding order", 1.0, DoubleArray::vector({0.1, 0.2, 0.3}), 0.6000000000000001},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(m.mGetYPolin(row.x, row.coeff), row.expected);
  }
}

TEST(GetYPolinTest, FaultsAndErrCode) {
  Matr m;
  DoubleArray wide = DoubleArray::zeros(2, 3);
  m.mMatrIsQuadr(wide);
  DoubleArray none;
  // ErrCode is neither cleared nor set, also after a failure.
  m.mSum(wide, wide, DoubleArray::zeros(3, 3));
  ASSERT_EQ(m.ErrCode(), 1);
  EXPECT_RUNTIME_ERROR(m.mGetYPolin(1.0, none), 9);
  EXPECT_RUNTIME_ERROR(m.mGetYPolin(1.0, DoubleArray::zeros(2, 2)), 9);
  EXPECT_RUNTIME_ERROR(m.mGetYPolin(1e200, DoubleArray::vector({0, 0, 1})), 6);
  EXPECT_RUNTIME_ERROR(m.mGetYPolin(2.0, DoubleArray::vector({1e308, 1e308})), 6);
  EXPECT_RUNTIME_ERROR(
      m.mGetYPolin(std::numeric_limits<double>::infinity(), DoubleArray::vector({1, 0})), 6);
  EXPECT_EQ(m.mGetYPolin(3.0, DoubleArray::vector({1, 1})), 4.0);
  EXPECT_EQ(m.ErrCode(), 1);
}

}  // namespace
}  // namespace nodrel
