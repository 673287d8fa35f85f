#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "nodrel/matr.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

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
