// The vector kernels held bit for bit against the straightforward loops
// they replace, in both builds (the baseline one and the one this processor
// runs), over random blocks whose shapes cut every register tile and cache
// block at its edges, non-finite elements included.
#include "algebra/kernels.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "reference/compare.hpp"

namespace nodrel::detail {
namespace {

using reference::same_value;

class Blocks {
 public:
  explicit Blocks(std::uint64_t seed) : engine_(seed) {}
  std::size_t size(std::size_t lo, std::size_t hi) {
    return std::uniform_int_distribution<std::size_t>(lo, hi)(engine_);
  }
  // Reals, with now and then an infinity, a NaN or a value whose products
  // overflow.
  std::vector<double> values(std::size_t n) {
    std::vector<double> v(n);
    std::uniform_real_distribution<double> real(-10.0, 10.0);
    std::uniform_int_distribution<int> roll(0, 999);
    for (double& x : v) {
      const int r = roll(engine_);
      x = r == 0   ? std::numeric_limits<double>::infinity()
          : r == 1 ? std::numeric_limits<double>::quiet_NaN()
          : r == 2 ? 1e300
          : r < 50 ? 0.0
                   : real(engine_);
    }
    return v;
  }

 private:
  std::mt19937_64 engine_;
};

// The builds to check: the baseline, and the chosen one when it differs.
std::vector<const Kernels*> builds() {
  std::vector<const Kernels*> b{&baseline_kernels()};
  if (&kernels() != &baseline_kernels()) b.push_back(&kernels());
  return b;
}

std::string first_difference(const std::vector<double>& got, const std::vector<double>& want) {
  for (std::size_t k = 0; k < got.size(); ++k) {
    if (!same_value(got[k], want[k])) {
      return "position " + std::to_string(k) + ": " + std::to_string(got[k]) + " instead of " +
             std::to_string(want[k]);
    }
  }
  return "";
}

TEST(KernelsTest, ProductOfBlocksSumsEachElementInIncreasingOrder) {
  Blocks in(0x61u);
  // Shapes around the tile (up to 8 x 6) and the cache blocks (240 rows,
  // 256 terms, 1536 columns), each dimension now small, now past a block.
  const std::size_t shapes[][3] = {{1, 1, 1},    {7, 5, 3},     {8, 6, 256},  {9, 7, 257},
                                   {17, 13, 9},  {241, 3, 2},   {3, 1537, 2}, {2, 2, 600},
                                   {65, 31, 40}, {121, 19, 300}};
  for (const Kernels* k : builds()) {
    for (const auto& shape : shapes) {
      const std::size_t m = shape[0], n = shape[1], depth = shape[2];
      SCOPED_TRACE(std::string(k->name) + " build, " + std::to_string(m) + " x " +
                   std::to_string(depth) + " by " + std::to_string(depth) + " x " +
                   std::to_string(n));
      const std::size_t lda = m + in.size(0, 3), ldb = depth + in.size(0, 3),
                        ldc = m + in.size(0, 3);
      const std::vector<double> a = in.values(lda * depth);
      const std::vector<double> b = in.values(ldb * n);
      std::vector<double> c = in.values(ldc * n);
      std::vector<double> want = c;
      for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
          for (std::size_t p = 0; p < depth; ++p) {
            const double product = a[i + p * lda] * b[p + j * ldb];
            want[i + j * ldc] = product + want[i + j * ldc];
          }
        }
      }
      k->gemm(m, n, depth, a.data(), lda, b.data(), ldb, c.data(), ldc);
      EXPECT_EQ(first_difference(c, want), "");
    }
  }
}

TEST(KernelsTest, MatrixVectorAndEliminationStepsMatchTheLoops) {
  Blocks in(0x67u);
  for (const Kernels* k : builds()) {
    for (int trial = 0; trial < 60; ++trial) {
      const std::size_t m = in.size(0, 41), n = in.size(0, 23), ld = m + in.size(0, 2);
      SCOPED_TRACE(std::string(k->name) + " build, " + std::to_string(m) + " x " +
                   std::to_string(n));
      const std::vector<double> a = in.values(ld * n + 1);
      const std::vector<double> x = in.values(n + 1);
      std::vector<double> y = in.values(m + 1);

      std::vector<double> want = y;
      for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < n; ++j) want[i] = a[i + j * ld] * x[j] + want[i];
      }
      k->gemv(m, n, a.data(), ld, x.data(), y.data());
      EXPECT_EQ(first_difference(y, want), "") << "gemv";

      std::vector<double> mult = in.values(m + 1);
      std::vector<double> want_mult = mult;
      const double pivot = in.values(1)[0];
      for (std::size_t i = 0; i < m; ++i) want_mult[i] = (-want_mult[i]) / pivot;
      k->multipliers(m, mult.data(), pivot);
      EXPECT_EQ(first_difference(mult, want_mult), "") << "multipliers";

      std::vector<double> c = in.values(ld * n + 1);
      std::vector<double> want_c = c;
      for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < m; ++i) {
          want_c[i + j * ld] = mult[i] * x[j] + want_c[i + j * ld];
        }
      }
      k->rank1(m, n, mult.data(), x.data(), 1, c.data(), ld);
      EXPECT_EQ(first_difference(c, want_c), "") << "rank1";
    }
  }
}

}  // namespace
}  // namespace nodrel::detail
