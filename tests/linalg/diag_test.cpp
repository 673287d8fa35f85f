// The diagonal reduction.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "nodrel/nodrel.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

using Rows = std::vector<std::vector<double>>;

TEST(DiagTest, PivotsRemainOnTheDiagonal) {
  struct Row {
    const char* what;
    Rows a;
    Rows reduced;
  };
  const Row rows[] = {
      {"no exchange: (-4 / 2) 1 + 3", {{2, 1}, {4, 3}}, {{2, 0}, {0, 1}}},
      // |3| > |1|: the columns are exchanged, then (-4 / 3) 1 + 2.
      {"exchange", {{1, 3}, {2, 4}}, {{3, 0}, {0, (-4.0 / 3) * 1 + 2}}},
      {"zero pivot: the step does nothing", {{0, 0}, {1, 1}}, {{0, 0}, {0, 1}}},
      {"pivot row at most 1e-12 is skipped", {{1e-13, 1e-13}, {1, 1}}, {{1e-13, 0}, {0, 1}}},
      {"a pivot of exactly 1e-12 is skipped", {{1e-12, -1e-12}, {1, 3}}, {{1e-12, 0}, {0, 3}}},
      {"tie: no exchange", {{1, -1}, {1, 1}}, {{1, 0}, {0, 2}}},
      {"2 x 3: column 2 comes in, column 3 is cleared",
       {{1, 5, 0}, {2, 1, 1}},
       {{5, 0, 0}, {0, (-1.0 / 5) * 1 + 2, 0}}},
      {"1 x 1", {{-7}}, {{-7}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    m.mMatrIsUnit(DoubleArray::zeros(1, 2));  // ErrCode 3
    DoubleArray a = DoubleArray::matrix(row.a);
    m.mDiag(a);
    EXPECT_EQ(a.rows(), row.reduced);
    EXPECT_EQ(m.ErrCode(), 0);
  }
}

TEST(DiagTest, RowZeroAndColumnZeroKeepTheirValues) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{9, 8, 7}, {6, 2, 1}, {5, 4, 3}}, 0, 0);
  m.mDiag(a);
  EXPECT_EQ(a.rows(), (Rows{{9, 8, 7}, {6, 2, 0}, {5, 0, 1}}));
}

TEST(DiagTest, FewerColumnsThanRowsFailBeforeAnyWrite) {
  Matr m;
  for (const DoubleArray& before : {DoubleArray::matrix({{2, 1}, {4, 3}, {1, 1}}),
                                    DoubleArray::zeros(3, 2), DoubleArray::zeros(1, 0)}) {
    DoubleArray a = before;
    EXPECT_RUNTIME_ERROR(m.mDiag(a), 9);
    EXPECT_EQ(a, before);
  }
  DoubleArray v = DoubleArray::vector({1, 2});
  EXPECT_RUNTIME_ERROR(m.mDiag(v), 9);
}

TEST(DiagTest, OverflowLeavesThePartialReduction) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{1, 1}, {-1e308, 1e308}});
  EXPECT_RUNTIME_ERROR(m.mDiag(a), 6);
  // (1e308 / 1) 1 + 1e308 overflowed and is stored; nothing was cleared.
  EXPECT_EQ(a.rows(), (Rows{{1, 1}, {-1e308, std::numeric_limits<double>::infinity()}}));
}

}  // namespace
}  // namespace nodrel
