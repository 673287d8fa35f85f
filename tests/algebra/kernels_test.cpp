// The vector kernels held bit for bit against the straightforward loops
// they replace, in both builds (the baseline one and the one this processor
// runs: the randomized comparison of the methods only ever meets the
// latter), over random blocks whose shapes cut every register tile and cache
// block at its edges, non-finite elements included.
#include "numeric/kernels.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/values.hpp"

namespace nodrel::numeric {
namespace {

using Block = std::vector<double>;

// Reals, with now and then a zero, an infinity, a NaN or a value whose
// products overflow.
Block values(std::mt19937_64& engine, std::size_t n) {
  Block v(n);
  for (double& x : v) {
    const int r = static_cast<int>(engine() % 1000);
    x = r == 0 ? INFINITY : r == 1 ? NAN : r == 2 ? 1e300 : r < 50 ? 0.0 : r / 50.0 - 10.0;
  }
  return v;
}

bool same_block(const Block& got, const Block& want) {
  for (std::size_t k = 0; k < got.size(); ++k) {
    if (number(got[k]) != number(want[k])) return false;
  }
  return true;
}

TEST(KernelsTest, EveryKernelOfBothBuildsMatchesItsLoops) {
  std::mt19937_64 engine(0x61u);
  // (m, n, depth) around the tile (up to 8 x 6) and the cache blocks (240
  // rows, 256 terms, 1536 columns), each dimension now small, now past a
  // block.
  const std::size_t shapes[][3] = {{1, 1, 1},   {7, 5, 3},   {8, 6, 256},   {9, 7, 257},
                                   {17, 13, 9}, {241, 3, 2}, {3, 1537, 2},  {2, 2, 600},
                                   {0, 4, 3},   {41, 23, 0}, {121, 19, 300}};
  for (const Kernels* k : {&baseline_kernels(), &kernels()}) {
    for (const auto& [m, n, depth] : shapes) {
      SCOPED_TRACE(std::string(k->name) + " " + std::to_string(m) + " x " + std::to_string(depth) +
                   " by " + std::to_string(depth) + " x " + std::to_string(n));
      const std::size_t ld = m + engine() % 3, ldb = depth + engine() % 3;
      const Block a = values(engine, ld * depth + 1), b = values(engine, ldb * n + 1);
      const Block x = values(engine, n + 1);
      Block c = values(engine, ld * n + 1), want = c;
      for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
          for (std::size_t p = 0; p < depth; ++p) {
            const double product = a[i + p * ld] * b[p + j * ldb];
            want[i + j * ld] = product + want[i + j * ld];
          }
        }
      }
      product(*k, m, n, depth, a.data(), ld, b.data(), ldb, c.data(), ld);
      EXPECT_TRUE(same_block(c, want)) << "gemm";

      Block y = values(engine, m + 1), want_y = y;
      for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < std::min(n, depth); ++j) {
          want_y[i] = a[i + j * ld] * x[j] + want_y[i];
        }
      }
      k->gemv(m, std::min(n, depth), a.data(), ld, x.data(), y.data());
      EXPECT_TRUE(same_block(y, want_y)) << "gemv";

      const double pivot = values(engine, 1)[0];
      Block mult = y, want_mult = y;
      for (std::size_t i = 0; i < m; ++i) want_mult[i] = (-want_mult[i]) / pivot;
      k->multipliers(m, mult.data(), pivot);
      EXPECT_TRUE(same_block(mult, want_mult)) << "multipliers";

      want = c;
      for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < m; ++i) want[i + j * ld] = mult[i] * x[j] + want[i + j * ld];
      }
      k->rank1(m, n, mult.data(), x.data(), 1, c.data(), ld);
      EXPECT_TRUE(same_block(c, want)) << "rank1";
    }
  }
}

}  // namespace
}  // namespace nodrel::numeric
