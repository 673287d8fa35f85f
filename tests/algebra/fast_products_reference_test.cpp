// The fast paths of the products held against the reference transcription
// at the orders where they take over: the column-by-column product, the
// blocked product with its tiles and cache blocks cut at every edge, and the
// matrix-vector product. Faults are planted at random places so that the
// fast path must hand over to the checked loops, which then fail at the
// element where the reference fails, with the same partial destination.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "reference/compare.hpp"

namespace nodrel::reference {
namespace {

using Args = std::vector<DoubleArray>;

std::int32_t between(Inputs& in, std::int32_t lo, std::int32_t hi) {
  return lo + in.pick(hi - lo + 1);
}

// A matrix of random reals with, now and then, one element that makes the
// sums overflow, or an infinity or a NaN, planted somewhere among 1..r,
// 1..c (index 0 is never read, so nothing is planted there).
DoubleArray planted(Inputs& in, std::int32_t r, std::int32_t c) {
  const int roll = in.pick(10);
  DoubleArray a = in.matrix(r, c, roll < 2 ? in.family() : Family::kReals);
  if (roll >= 7 && r >= 1 && c >= 1) {
    const std::int32_t i = between(in, 1, r);
    const std::int32_t j = between(in, 1, c);
    const double faults[] = {1e308, -1e308, std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    if (a.bounds()[0].lower <= 1 && a.bounds()[1].lower <= 1) a(i, j) = faults[in.pick(4)];
  }
  return a;
}

TEST(FastProductsReferenceTest, ProductsAtOrdersOfTheVectorAndBlockedPaths) {
  Inputs in(0x71u);
  // (rows, inner, columns) bands: the column-by-column path, the blocked
  // one, and shapes that cross a cache block in one dimension only.
  const std::int32_t bands[][6] = {{1, 24, 1, 24, 1, 24},
                                   {20, 70, 20, 70, 20, 70},
                                   {230, 260, 2, 5, 1, 8},
                                   {1, 9, 250, 300, 1, 9},
                                   {1, 4, 1, 4, 1530, 1560}};
  const int trials[] = {150, 40, 10, 10, 10};
  for (int band = 0; band < 5; ++band) {
    const auto& b = bands[band];
    SCOPED_TRACE("band " + std::to_string(band));
    const Tally mult = compare_method(
        "mMult", trials[band], in,
        [&](Inputs& in) {
          const std::int32_t r = between(in, b[0], b[1]);
          const std::int32_t k = between(in, b[2], b[3]);
          const std::int32_t c = between(in, b[4], b[5]);
          const std::int32_t k1 = k + (in.chance(0.1) ? in.pick(3) - 1 : 0);
          return Args{in.odd_shape(), planted(in, r, k1), planted(in, k, c)};
        },
        [](auto& m, Args& a) {
          m.mMult(a[0], a[1], a[2]);
          return 0;
        });
    expect_errors(mult, {0, 6});
  }
}

TEST(FastProductsReferenceTest, MatrixVectorProductAtLargerOrders) {
  Inputs in(0x73u);
  const Tally vett = compare_method(
      "mMultVett", 200, in,
      [](Inputs& in) {
        const std::int32_t r = between(in, 1, 90);
        const std::int32_t c = between(in, 1, 90);
        DoubleArray v = in.vector(in.chance(0.1) ? c + in.pick(3) - 1 : c, Family::kReals);
        if (in.chance(0.2))
          v.storage()[static_cast<std::size_t>(in.pick(static_cast<int>(v.storage().size())))] =
              1e308;
        return Args{in.odd_shape(), planted(in, r, c), v};
      },
      [](auto& m, Args& a) {
        m.mMultVett(a[0], a[1], a[2]);
        return 0;
      });
  expect_errors(vett, {0, 6, 9});
}

}  // namespace
}  // namespace nodrel::reference
