// The linear system by Cramer's rule.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "nodrel/nodrel.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

using Values = std::vector<double>;

TEST(SistTest, SolvesAndRestoresItsArguments) {
  struct Row {
    const char* what;
    DoubleArray a;
    Values b;
    Values x;
  };
  const Row rows[] = {
      {"order 1", DoubleArray::matrix({{2}}), {6}, {3}},
      {"order 2: D = 5, D1 = 4, D2 = 7", DoubleArray::matrix({{2, 1}, {1, 3}}), {3, 5}, {0.8, 1.4}},
      // D1 = 1e-13 is flushed at order 3, so x(1) is 0, not 1e-13.
      {"order 3, a flushed Dk",
       DoubleArray::matrix({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}),
       {1e-13, 1, 1},
       {0, 1, 1}},
      {"order 4",
       DoubleArray::matrix({{2, 0, 0, 0}, {0, 0, 1, 0}, {0, 4, 0, 0}, {0, 0, 0, 1}}),
       {2, 3, 8, 5},
       {1, 2, 3, 5}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    DoubleArray a = row.a;
    DoubleArray b = DoubleArray::vector(row.b);
    DoubleArray x = DoubleArray::vector(Values(row.x.size()));
    m.mSist(x, a, b);
    EXPECT_EQ(x.values(), row.x);
    EXPECT_EQ(a, row.a);
    EXPECT_EQ(b, DoubleArray::vector(row.b));
    EXPECT_EQ(m.ErrCode(), 0);
  }
}

TEST(SistTest, WritesOnlyElementsOneToN) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{2, 1}, {1, 3}});
  DoubleArray b = DoubleArray::vector({3, 5});
  DoubleArray x = DoubleArray::vector({-1, 0, 0, -2, -3}, 0);  // indices 0..n + 2
  m.mSist(x, a, b);
  EXPECT_EQ(x.values(), (Values{-1, 0.8, 1.4, -2, -3}));
  // An empty system: D is 0, but nothing is divided.
  DoubleArray empty = DoubleArray::zeros(0, 0);
  m.mSist(x, empty, b);
  EXPECT_EQ(x.values(), (Values{-1, 0.8, 1.4, -2, -3}));
}

TEST(SistTest, FailuresRestoreTheMatrixAndTheRightHandSide) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Row {
    const char* what;
    DoubleArray a;
    DoubleArray b;
    std::int32_t x_upper;
    int error;
    Values x;  // vetX afterwards, from index 0
  };
  const Row rows[] = {
      // D = 0, D1 = 1 * 2 - 2 * 2 = -2: x(1) = -2 / 0 is stored, error 11.
      {"singular, D1 not 0",
       DoubleArray::matrix({{1, 2}, {1, 2}}),
       DoubleArray::vector({1, 2}),
       2,
       11,
       {0, -kInf, 0}},
      {"non-square",
       DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}}),
       DoubleArray::vector({1, 2}),
       2,
       6,
       {0, std::numeric_limits<double>::quiet_NaN(), 0}},
      {"vetX too short",
       DoubleArray::matrix({{2, 1}, {1, 3}}),
       DoubleArray::vector({3, 5}),
       1,
       9,
       {0, 0.8}},
      {"vetB too short",
       DoubleArray::matrix({{2, 1}, {1, 3}}),
       DoubleArray::vector({3}),
       2,
       9,
       {0, 0, 0}},
      // x(1) = 1e100 / 1e200; D2 = 1e200 * 1e200 overflows while column 2
      // is exchanged.
      {"overflow in Dk",
       DoubleArray::matrix({{1e200, 0}, {0, 1}}),
       DoubleArray::vector({1e100, 1e200}),
       2,
       6,
       {0, 1e100 / 1e200, 0}},
      {"overflow in the quotient",
       DoubleArray::matrix({{1e-300, 0}, {0, 1}}),
       DoubleArray::vector({1e100, 1}),
       2,
       6,
       {0, kInf, 0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Matr m;
    DoubleArray a = row.a;
    DoubleArray b = row.b;
    DoubleArray x = DoubleArray::zeros(row.x_upper);
    EXPECT_RUNTIME_ERROR(m.mSist(x, a, b), row.error);
    EXPECT_EQ(a, row.a);
    EXPECT_EQ(b, row.b);
    const Values got = x.values();
    ASSERT_EQ(got.size(), row.x.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
      EXPECT_TRUE(got[k] == row.x[k] || (std::isnan(got[k]) && std::isnan(row.x[k]))) << k;
    }
  }
}

TEST(SistTest, SolutionIntoTheRightHandSide) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{2, 1}, {1, 3}});
  DoubleArray b = DoubleArray::vector({3, 5});
  m.mSist(b, a, b);
  EXPECT_EQ(b.values(), (Values{0.8, 1.4}));
  EXPECT_EQ(a, DoubleArray::matrix({{2, 1}, {1, 3}}));
}

}  // namespace
}  // namespace nodrel
