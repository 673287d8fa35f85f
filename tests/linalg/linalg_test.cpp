// Worked examples that pin the rules of the determinant, the inverse,
// Cramer's rule and the diagonal reduction where a literal reading could go
// astray: the zero tolerance by order and position, ties in the pivot
// search, the signs of the cofactors, what a failure leaves. Every other
// outcome, over random shapes, values and faults, is held bit for bit
// against the reference transcription in linalg_reference_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "nodrel/nodrel.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

using Rows = std::vector<std::vector<double>>;
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
  EXPECT_EQ(
      m.mDet(DoubleArray::matrix({{7, -7, 0, 0}, {-3.9, 4, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}})),
      0.6999999999999975);
}

TEST(InvTest, SignedMinorsOverTheDeterminant) {
  Matr m;
  // (1, 2) of the inverse is the cofactor of (2, 1), -2, over D = -2.
  DoubleArray a = DoubleArray::matrix({{1, 2}, {3, 4}});
  m.mInv(a);
  EXPECT_EQ(show(a), "DoubleArray 0..2,0..2 [0,0,0;0,-2,1;0,1.5,-0.5]");
  a = DoubleArray::matrix({{4}});  // order 1: 1 / D
  m.mInv(a);
  EXPECT_EQ(show(a), "DoubleArray 0..1,0..1 [0,0;0,0.25]");
  EXPECT_EQ(m.ErrCode(), 0);
  // An order beyond 16 bits overflows before anything is allocated.
  const DoubleArray huge(std::vector<ArrayBound>{{32768, 1}, {32768, 1}});
  a = huge;
  EXPECT_RUNTIME_ERROR(m.mInv(a), 6);
  EXPECT_EQ(a, huge);
}

TEST(SistTest, FlushedDeterminantsAndFailures) {
  Matr m;
  // D1 = 1e-13 is flushed at order 3, so x(1) is 0, not 1e-13.
  DoubleArray a = diag({1, 1, 1});
  DoubleArray b = DoubleArray::vector({1e-13, 1, 1});
  DoubleArray x = DoubleArray::zeros(3);
  m.mSist(x, a, b);
  EXPECT_EQ(x.values(), (Values{0, 0, 1, 1}));
  // D = 0, D1 = 1 * 2 - 2 * 2 = -2: x(1) = -2 / 0 is stored, then error 11;
  // the matrix and the right-hand side are as they were.
  const DoubleArray singular = DoubleArray::matrix({{1, 2}, {1, 2}});
  a = singular;
  b = DoubleArray::vector({1, 2});
  x = DoubleArray::zeros(2);
  EXPECT_RUNTIME_ERROR(m.mSist(x, a, b), 11);
  EXPECT_EQ(x.values(), (Values{0, -std::numeric_limits<double>::infinity(), 0}));
  EXPECT_EQ(a, singular);
  EXPECT_EQ(b, DoubleArray::vector({1, 2}));
}

TEST(DiagTest, PivotsRemainOnTheDiagonal) {
  struct Row {
    const char* what;
    Rows a;
    Rows reduced;
  };
  const Row rows[] = {
      // |3| > |1|: the columns are exchanged, then (-4 / 3) 1 + 2.
      {"exchange", {{1, 3}, {2, 4}}, {{3, 0}, {0, (-4.0 / 3) * 1 + 2}}},
      {"a pivot of exactly 1e-12 is skipped", {{1e-12, -1e-12}, {1, 3}}, {{1e-12, 0}, {0, 3}}},
      // An infinity beyond the rows hands the matrix to the checked loops,
      // which never compute with it and clear it.
      {"the checked loops skip it too",
       {{1e-12, -1e-12, 0}, {1, 3, std::numeric_limits<double>::infinity()}},
       {{1e-12, 0, 0}, {0, 3, 0}}},
      {"tie: no exchange", {{1, -1}, {1, 1}}, {{1, 0}, {0, 2}}},
      {"2 x 3: column 2 comes in, column 3 is cleared",
       {{1, 5, 0}, {2, 1, 1}},
       {{5, 0, 0}, {0, (-1.0 / 5) * 1 + 2, 0}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    DoubleArray a = DoubleArray::matrix(row.a);
    m.mDiag(a);
    EXPECT_EQ(a.rows(), row.reduced);
  }
}

}  // namespace
}  // namespace nodrel
