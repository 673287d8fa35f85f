// What the randomized comparison in algebra_reference_test.cpp cannot see:
// whether the build keeps every product rounded before it is added. The
// reference is compiled with the same flags, so a contracted multiply-add
// would move both alike; this worked case holds the arithmetic itself.
#include <gtest/gtest.h>

#include <cmath>

#include "nodrel/nodrel.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

TEST(AlgebraTest, EachProductIsRoundedBeforeItIsAdded) {
  // (1 + 2^-30) (1 - 2^-30) = 1 - 2^-60 rounds to 1; added to the -1 before
  // it, the sum is exactly 0 (a fused multiply-add would give -2^-60).
  const double p = 1.0 + std::ldexp(1.0, -30), q = 1.0 - std::ldexp(1.0, -30);
  Matr m;
  DoubleArray dest;
  m.mMult(dest, DoubleArray::matrix({{-1, p}}), DoubleArray::matrix({{1}, {q}}));
  EXPECT_EQ(show(dest), "DoubleArray 0..1,0..1 [0,0;0,0]");
  m.mMultVett(dest, DoubleArray::matrix({{-1, p}}), DoubleArray::vector({1, q}));
  EXPECT_EQ(show(dest), "DoubleArray 0..1 [0,0]");
}

}  // namespace
}  // namespace nodrel
