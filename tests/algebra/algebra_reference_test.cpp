// The products held against their checked loops over random inputs, bit for
// bit, at small orders and at the orders of their fast paths (column by
// column, blocked with tiles and cache blocks cut at every edge), with faults
// planted at random places so that a fast path must hand over to the checked
// loops, which then fail at the element where the fault arises. Worked
// examples pin the loops themselves, and the element-wise operations, which
// have no fast path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "reference/compare.hpp"

namespace nodrel::reference {
namespace {

// A matrix of random reals with, now and then, one element that makes the
// sums overflow, or an infinity or a NaN, planted somewhere among 1..r,
// 1..c (index 0 is never read, so nothing is planted there).
DoubleArray planted(Inputs& in, std::int32_t r, std::int32_t c) {
  const int roll = in.pick(10);
  DoubleArray a = in.matrix(r, c, roll < 2 ? in.family() : Family::kReals);
  if (roll >= 7 && r >= 1 && c >= 1 && a.bounds()[0].lower <= 1 && a.bounds()[1].lower <= 1) {
    const double faults[] = {1e308, -1e308, INFINITY, NAN};
    a(in.between(1, r), in.between(1, c)) = faults[in.pick(4)];
  }
  return a;
}

TEST(AlgebraReferenceTest, Products) {
  Inputs in(0x71u);
  // (rows, inner, columns) bands: small orders from 0, the column-by-column
  // path, the blocked one, and shapes that cross a cache block in one
  // dimension only.
  const std::int32_t bands[][7] = {{0, 10, 0, 10, 0, 10, 600},   {1, 24, 1, 24, 1, 24, 150},
                                   {20, 70, 20, 70, 20, 70, 40}, {230, 260, 2, 5, 1, 8, 10},
                                   {1, 9, 250, 300, 1, 9, 10},   {1, 4, 1, 4, 1530, 1560, 10}};
  for (const auto& b : bands) {
    SCOPED_TRACE("rows from " + std::to_string(b[0]) + ", inner from " + std::to_string(b[2]));
    const auto make = [&](Inputs& in) {
      const std::int32_t r = in.between(b[0], b[1]), k = in.between(b[2], b[3]);
      const std::int32_t c = in.between(b[4], b[5]);
      const std::int32_t k1 = k + (in.chance(0.1) ? in.pick(3) - 1 : 0);
      return Args{in.odd_shape(), planted(in, r, k1), planted(in, k, c)};
    };
    expect_seen(compare_method("mMult", b[6], in, make), {0, 6, b[0] == 0 ? 9 : 0});
  }
  const auto vett = [](Inputs& in) {
    const std::int32_t top = in.chance(0.5) ? 12 : 90;
    const std::int32_t r = in.between(0, top), c = in.between(0, top);
    DoubleArray v = in.chance(0.05)
                        ? in.odd_shape()
                        : in.vector(in.chance(0.1) ? c + in.pick(3) - 1 : c, Family::kReals);
    if (in.chance(0.2) && !v.storage().empty())
      v.storage()[static_cast<std::size_t>(in.pick(static_cast<int>(v.storage().size())))] = 1e308;
    return Args{in.odd_shape(), planted(in, r, c), v};
  };
  expect_seen(compare_method("mMultVett", 800, in, vett), {0, 6, 9});
}

// Outcomes read "error/ErrCode result | each array after the call"; ErrCode
// was 3 before.
TEST(AlgebraTest, WorkedExamples) {
  expect_worked({
      // mSum reads the second source's bounds first: a mismatch is ErrCode 1.
      {"mSum", {M("7"), M("1 2"), M("1;2")}, "0/1 0 | = | = | ="},
      // Each element is stored before it is checked: the overflow stays.
      {"mSum",
       {M("0 0;0 0"), M("1 1e308;1 1"), M("1 1e308;1 1")},
       "6/0 0 | 1..2,1..2 [2,inf;0,0] | = | ="},
      {"mDiff", {M("0"), M("inf"), M("inf")}, "6/0 0 | 1..1,1..1 [nan] | = | ="},
      {"mProdScal", {M("inf 1"), V("0")}, "6/0 0 | 1..1,1..2 [nan,1] | ="},
      {"mTrasp(A,A)", {M("1 2 3")}, "0/3 0 | 0..3,0..1 [0,0;0,1;0,2;0,3]"},
      {"mMult(A,A,B)", {M("1 2;3 4"), M("0 1;1 0")}, "0/0 0 | 0..2,0..2 [0,0,0;0,2,1;0,4,3] | ="},
      {"mMult(A,B,A)", {M("1 2;3 4"), M("0 1;1 0")}, "0/0 0 | 0..2,0..2 [0,0,0;0,3,4;0,1,2] | ="},
      // 1.0000000009313226 = 1 + 2^-30 times 0.9999999990686774 = 1 - 2^-30 is
      // 1 - 2^-60, rounded to 1 before the -1 is added: the sum is 0 (a fused
      // multiply-add would give -2^-60).
      {"mMult",
       {M("0"), M("-1 1.0000000009313226"), M("1;0.9999999990686774")},
       "0/0 0 | 0..1,0..1 [0,0;0,0] | = | ="},
      {"mMultVett",
       {V("0"), M("-1 1.0000000009313226"), V("1 0.9999999990686774")},
       "0/0 0 | 0..1 [0,0] | = | ="},
      {"mMult", {M("0"), M("1e200"), M("1e200")}, "6/0 0 | 0..1,0..1 [0,0;0,inf] | = | ="},
      {"mMultVett(v,M,v)", {V("1 2"), M("1 1;0 1")}, "0/0 0 | 0..2 [0,3,2] | ="},
  });
}

}  // namespace
}  // namespace nodrel::reference
