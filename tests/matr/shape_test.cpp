#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "nodrel/matr.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

using Rows = std::vector<std::vector<double>>;

DoubleArray with_bounds(std::vector<ArrayBound> bounds) { return DoubleArray(std::move(bounds)); }

TEST(ShapeTest, IsVectNeverFails) {
  Matr m;
  struct Row {
    const char* what;
    DoubleArray a;
    bool vector;
  };
  const Row rows[] = {
      {"0..5", with_bounds({{0, 6}}), true},
      {"0..5, 0..1", with_bounds({{0, 6}, {0, 2}}), false},
      {"0..5, 0..0 (one column)", with_bounds({{0, 6}, {0, 1}}), false},
      {"never dimensioned", DoubleArray(), false},
      {"three dimensions", with_bounds({{0, 2}, {0, 2}, {0, 2}}), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(m.mMatrIsVect(row.a), row.vector);
    EXPECT_EQ(m.ErrCode(), 0);
  }
}

TEST(ShapeTest, IsQuadrLooksAtUpperBoundsOnly) {
  Matr m;
  EXPECT_TRUE(m.mMatrIsQuadr(with_bounds({{0, 4}, {0, 4}})));
  EXPECT_FALSE(m.mMatrIsQuadr(with_bounds({{0, 4}, {0, 3}})));
  EXPECT_TRUE(m.mMatrIsQuadr(with_bounds({{1, 3}, {0, 4}})));  // 1..3, 0..3
  EXPECT_RUNTIME_ERROR(m.mMatrIsQuadr(with_bounds({{0, 4}})), 9);
  EXPECT_RUNTIME_ERROR(m.mMatrIsQuadr(DoubleArray()), 9);
}

TEST(SwapTest, ExchangesContentsAndShapes) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{1, 2}, {3, 4}});
  DoubleArray b = DoubleArray::matrix({{5}, {6}, {7}});
  m.mSwap(a, b);
  EXPECT_EQ(a.rows(), (Rows{{0, 0}, {0, 5}, {0, 6}, {0, 7}}));
  EXPECT_EQ(b.rows(), (Rows{{0, 0, 0}, {0, 1, 2}, {0, 3, 4}}));
}

TEST(SwapTest, FailuresChangeNeitherArray) {
  Matr m;
  const DoubleArray good = DoubleArray::matrix({{1, 2}, {3, 4}});
  struct Row {
    const char* what;
    DoubleArray a, b;
    bool fix_a, fix_b;
    int error;
  };
  const Row rows[] = {
      {"first is a vector", DoubleArray::vector({1}), good, false, false, 9},
      {"second is a vector", good, DoubleArray::vector({1}), false, false, 9},
      {"first never dimensioned", DoubleArray(), good, false, false, 9},
      // A first matrix without element (1, 1) must not cost the second its data.
      {"first has lower bounds 2", DoubleArray::matrix({{1}}, 2, 2), good, false, false, 9},
      {"second has lower bounds 2", good, DoubleArray::matrix({{1}}, 2, 2), false, false, 9},
      {"first is fixed", good, DoubleArray::matrix({{9}}), true, false, 10},
      {"second is fixed", good, DoubleArray::matrix({{9}}), false, true, 10},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    DoubleArray a = row.a;
    DoubleArray b = row.b;
    a.set_fixed(row.fix_a);
    b.set_fixed(row.fix_b);
    EXPECT_RUNTIME_ERROR(m.mSwap(a, b), row.error);
    EXPECT_EQ(a, row.a);
    EXPECT_EQ(b, row.b);
  }
}

DoubleArray three_by_three() { return DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}); }

TEST(SwapRcTest, SquareMatrices) {
  Matr m;
  struct Row {
    const char* what;
    const char* rc;
    std::int32_t rc1, rc2;
    Rows expected;  // elements 1..3, 1..3
  };
  const Row rows[] = {
      {"rows 1 and 3, lower case", "r", 1, 3, {{7, 8, 9}, {4, 5, 6}, {1, 2, 3}}},
      {"columns 1 and 2", "C", 1, 2, {{2, 1, 3}, {5, 4, 6}, {8, 7, 9}}},
      {"columns 2 and 2", "C", 2, 2, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
      {"unknown selector", "X", 1, 2, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
      {"empty selector", "", 1, 2, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
      {"selector with blanks", " R", 1, 2, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
      {"longer word", "RC", 1, 2, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
      {"index beyond the order", "R", 1, 4, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
      {"first index beyond the order", "C", 4, 1, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    DoubleArray a = three_by_three();
    m.mSwapRC(a, row.rc, row.rc1, row.rc2);
    EXPECT_EQ(a, DoubleArray::matrix(row.expected));
    EXPECT_EQ(m.ErrCode(), 0);
  }
}

TEST(SwapRcTest, RowZeroIsExchangedOverColumnsOneOn) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{10, 11, 12}, {20, 21, 22}, {30, 31, 32}}, 0, 0);
  m.mSwapRC(a, "R", 0, 2);
  EXPECT_EQ(a.rows(), (Rows{{10, 31, 32}, {20, 21, 22}, {30, 11, 12}}));
}

TEST(SwapRcTest, IndicesOutsideTheArrayFailBeforeAnyExchange) {
  Matr m;
  struct Row {
    const char* what;
    DoubleArray a;
    const char* rc;
    std::int32_t rc1, rc2;
  };
  const Row rows[] = {
      {"negative row", three_by_three(), "R", -1, 2},
      {"negative column", three_by_three(), "C", 1, -2},
      {"row 0 of a matrix with lower bounds 1", three_by_three(), "R", 0, 1},
      {"no column 1", DoubleArray::matrix({{1, 2}, {3, 4}}, 1, 2), "R", 1, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    DoubleArray a = row.a;
    EXPECT_RUNTIME_ERROR(m.mSwapRC(a, row.rc, row.rc1, row.rc2), 9);
    EXPECT_EQ(a, row.a);
  }
  DoubleArray v = DoubleArray::vector({1, 2});
  EXPECT_RUNTIME_ERROR(m.mSwapRC(v, "R", 1, 2), 9);
}

TEST(SwapRcTest, NonSquareMatricesGuardEachSelectorOnItsOwnDimension) {
  Matr m;
  // 3 x 2: rows 1 and 3 exist, so the exchange happens; column 3 does not.
  const DoubleArray tall = DoubleArray::matrix({{1, 2}, {3, 4}, {5, 6}});
  DoubleArray a = tall;
  m.mSwapRC(a, "R", 1, 3);
  EXPECT_EQ(a, DoubleArray::matrix({{5, 6}, {3, 4}, {1, 2}}));
  a = tall;
  m.mSwapRC(a, "C", 1, 3);
  EXPECT_EQ(a, tall);
  // 2 x 3: row 3 does not exist, so the request returns without failing;
  // columns 1 and 3 do.
  const DoubleArray wide = DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}});
  a = wide;
  m.mSwapRC(a, "R", 1, 3);
  EXPECT_EQ(a, wide);
  m.mSwapRC(a, "C", 1, 3);
  EXPECT_EQ(a, DoubleArray::matrix({{3, 2, 1}, {6, 5, 4}}));
}

TEST(SwapRcTest, ExchangeKeepsTheBitsOfEveryValue) {
  Matr m;
  const double snan = std::numeric_limits<double>::signaling_NaN();
  DoubleArray a = DoubleArray::matrix({{snan, -0.0}, {1, 2}});
  m.mSwapRC(a, "R", 1, 2);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(a(2, 1)), std::bit_cast<std::uint64_t>(snan));
  EXPECT_EQ(std::bit_cast<std::uint64_t>(a(2, 2)), std::bit_cast<std::uint64_t>(-0.0));
}

}  // namespace
}  // namespace nodrel
