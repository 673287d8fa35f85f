// Worked examples of the zero tolerance by order and position, where the
// formulas of orders 1 to 3, the checked loops and the fast elimination
// each decide at exactly 1e-12, and of an order too large to invert. Ties,
// exchanges, cofactor signs, Cramer's rule and the diagonal reduction, with
// what a failure leaves, are held bit for bit against the reference
// transcription over random inputs in linalg_reference_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "nodrel/nodrel.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

using Values = std::vector<double>;

DoubleArray diag(const Values& d) {
  const auto n = static_cast<std::int32_t>(d.size());
  DoubleArray a = DoubleArray::zeros(n, n);
  for (std::int32_t k = 1; k <= n; ++k) a(k, k) = d[static_cast<std::size_t>(k - 1)];
  return a;
}

TEST(DetTest, ToleranceByOrderAndPosition) {
  struct Row {
    const char* what;
    DoubleArray a;
    double det;
    bool singular;
  };
  const Row rows[] = {
      {"order 1 is never flushed", DoubleArray::matrix({{1e-13}}), 1e-13, false},
      {"order 1, -0.0 as it stands", DoubleArray::matrix({{-0.0}}), -0.0, true},
      {"order 2 is never flushed", diag({1e-7, 1e-7}), 1e-7 * 1e-7, false},
      {"order 3 keeps 1e-12", diag({1, 1, 1e-12}), 1e-12, false},
      {"order 3 flushes just below", diag({1, 1, std::nextafter(1e-12, 0.0)}), 0, true},
      {"first pivot fails the test", diag({1e-13, 10, 10, 10}), 0, true},
      {"last element is only multiplied in", diag({10, 10, 10, 1e-13}), 1000 * 1e-13, false},
      {"a pivot equal to the tolerance is zero", diag({1e-12, 1, 1, 1}), 0, true},
      {"a product equal to the tolerance is kept", diag({1, 1, 1, 1e-12}), 1e-12, false},
      {"every pivot passes, the product does not", diag({1e-4, 1e-4, 1e-4, 1e-4}), 0, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    const double det = m.mDet(row.a);
    EXPECT_EQ(det, row.det);
    EXPECT_EQ(std::signbit(det), std::signbit(row.det));
    EXPECT_EQ(m.mMatrIsSing(row.a), row.singular);
  }
}

TEST(InvTest, AnOrderBeyondSixteenBitsOverflowsFirst) {
  Matr m;
  // An order beyond 16 bits overflows before anything is allocated.
  const DoubleArray huge(std::vector<ArrayBound>{{32768, 1}, {32768, 1}});
  DoubleArray a = huge;
  EXPECT_RUNTIME_ERROR(m.mInv(a), 6);
  EXPECT_EQ(a, huge);
}

}  // namespace
}  // namespace nodrel
