// The determinant and the singularity test.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "nodrel/nodrel.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

using Rows = std::vector<std::vector<double>>;

DoubleArray diag(const std::vector<double>& d) {
  DoubleArray a =
      DoubleArray::zeros(static_cast<std::int32_t>(d.size()), static_cast<std::int32_t>(d.size()));
  for (std::size_t k = 0; k < d.size(); ++k) {
    a(static_cast<std::int32_t>(k + 1), static_cast<std::int32_t>(k + 1)) = d[k];
  }
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
      {"order 3 flushes below 1e-12", diag({1e-5, 1e-5, 1e-5}), 0, true},
      {"order 3 keeps 1e-12", diag({1, 1, 1e-12}), 1e-12, false},
      {"order 3 flushes just below", diag({1, 1, std::nextafter(1e-12, 0.0)}), 0, true},
      {"order 4 identity", diag({1, 1, 1, 1}), 1, false},
      {"first pivot fails the test", diag({1e-13, 10, 10, 10}), 0, true},
      {"last element is only multiplied in", diag({10, 10, 10, 1e-13}), 1000 * 1e-13, false},
      {"a pivot equal to the tolerance is zero", diag({1e-12, 1, 1, 1}), 0, true},
      {"a product equal to the tolerance is kept", diag({1, 1, 1, 1e-12}), 1e-12, false},
      {"every pivot passes, the product does not", diag({1e-4, 1e-4, 1e-4, 1e-4}), 0, true},
      {"empty matrix", DoubleArray::zeros(0, 0), 0, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    const double det = m.mDet(row.a);
    EXPECT_EQ(det, row.det);
    EXPECT_EQ(std::signbit(det), std::signbit(row.det));
    EXPECT_EQ(m.mMatrIsSing(row.a), row.singular);
    EXPECT_EQ(m.ErrCode(), 0);
  }
}

TEST(DetTest, ColumnExchangesAndTies) {
  Matr m;
  // The identity with its first two columns exchanged: one exchange, -1.
  EXPECT_EQ(m.mDet(DoubleArray::matrix({{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}})),
            -1.0);
  // Order 3 by expansion along the first row, left to right:
  // 2 (5 * 10 - 6 * 8) - 3 (4 * 10 - 6 * 7) + 1 (4 * 8 - 5 * 7) = 4 + 6 - 3.
  EXPECT_EQ(m.mDet(DoubleArray::matrix({{2, 3, 1}, {4, 5, 6}, {7, 8, 10}})), 7.0);
  // A tie between columns 1 and 2 of row 1 keeps column 1 as the pivot. The
  // second pivot is then (3.9 / 7) (-7) + 4, and the determinant
  // 0.6999999999999975; exchanging the columns would have given
  // 0.7000000000000006.
  const DoubleArray tie =
      DoubleArray::matrix({{7, -7, 0, 0}, {-3.9, 4, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}});
  EXPECT_EQ(m.mDet(tie), 0.6999999999999975);
}

TEST(DetTest, RowZeroAndColumnZeroAndTheCallersMatrix) {
  Matr m;
  const DoubleArray clean =
      DoubleArray::matrix({{2, 1, 0, 0}, {1, 3, 1, 0}, {0, 1, 4, 1}, {0, 0, 1, 5}});
  DoubleArray dirty = DoubleArray::zeros(4, 4);
  for (std::int32_t i = 0; i <= 4; ++i) {
    for (std::int32_t j = 0; j <= 4; ++j) dirty(i, j) = i == 0 || j == 0 ? 1e300 : clean(i, j);
  }
  const DoubleArray before = dirty;
  EXPECT_EQ(m.mDet(dirty), m.mDet(clean));
  EXPECT_EQ(dirty, before);
}

TEST(DetTest, NotSquare) {
  Matr m;
  m.mMatrIsUnit(DoubleArray::zeros(1, 2));  // ErrCode 3
  EXPECT_EQ(m.mDet(DoubleArray::zeros(2, 3)), 0.0);
  EXPECT_EQ(m.ErrCode(), 0);
  EXPECT_FALSE(m.mMatrIsSing(DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}})));
  EXPECT_EQ(m.ErrCode(), 3);
}

TEST(DetTest, RunTimeErrors) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Row {
    const char* what;
    DoubleArray a;
    int error;
  };
  const Row rows[] = {
      {"vector", DoubleArray::vector({1, 2}), 9},
      {"no array", DoubleArray(), 9},
      {"lower bounds 2, order 2", DoubleArray(std::vector<ArrayBound>{{2, 1}, {2, 1}}), 9},
      {"lower bounds 2, order 4", DoubleArray(std::vector<ArrayBound>{{2, 3}, {2, 3}}), 9},
      {"upper bounds -1", DoubleArray(std::vector<ArrayBound>{{0, 0}, {0, 0}}), 9},
      {"order 2 overflow", diag({1e200, 1e200}), 6},
      {"order 3 infinity minus infinity",
       DoubleArray::matrix({{1, 0, 0}, {0, kInf, 1}, {0, 1, kInf}}), 6},
      {"elimination overflow",
       DoubleArray::matrix({{1e-10, 0, 0, 1e-11}, {1e300, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}),
       6},
      {"zero pivot then an infinite one", diag({0, kInf, 1, 1}), 6},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    EXPECT_RUNTIME_ERROR(m.mDet(row.a), row.error);
  }
}

}  // namespace
}  // namespace nodrel
