// The vector kernels held bit for bit against the straightforward loops
// they replace, in every build (baseline, AVX2, AVX-512: the randomized
// comparison of the methods only ever meets the one this processor runs),
// over random blocks whose shapes cut every register tile and cache block
// of the build at its edges, non-finite elements included.
#include "numeric/kernels.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "numeric/tolerance.hpp"
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

bool same_det(const PivotProduct& got, const PivotProduct& want) {
  return number(got.product) == number(want.product) && got.exchanges == want.exchanges &&
         got.zero == want.zero;
}

// One step of the elimination as Kernels::step describes it.
std::int32_t step_loops(double* v, std::size_t ld, std::int32_t rows, std::int32_t cols,
                        std::int32_t search, PivotProduct& det) {
  std::size_t p = 0;
  for (std::size_t c = 1; c < static_cast<std::size_t>(search); ++c) {
    if (std::fabs(v[c * ld]) > std::fabs(v[p * ld])) p = c;
  }
  if (std::fabs(v[p * ld]) <= kZeroTolerance) {
    det.zero = true;
    return -1;
  }
  if (p != 0) {
    ++det.exchanges;
    for (std::int32_t i = 0; i < rows; ++i) std::swap(v[i], v[i + p * ld]);
  }
  const double pivot = v[0];
  det.product *= pivot;
  for (std::int32_t i = 1; i < rows; ++i) v[i] = (-v[i]) / pivot;
  for (std::size_t j = 1; j < static_cast<std::size_t>(cols); ++j) {
    for (std::int32_t i = 1; i < rows; ++i) v[i + j * ld] = v[i] * v[j * ld] + v[i + j * ld];
  }
  return static_cast<std::int32_t>(p);
}

class KernelsTest : public testing::TestWithParam<const char*> {};

TEST_P(KernelsTest, EveryKernelMatchesItsLoops) {
  const Kernels* const k = kernels_named(GetParam());
  if (k == nullptr) {
    GTEST_SKIP() << GetParam() << " kernels: not in this build, or not run by this processor";
  }
  std::mt19937_64 engine(0x61u);
  // Each shape has one dimension just below, at or past one or two of the
  // build's cache blocks and the others cutting its register tile anywhere.
  const auto around = [&](std::size_t block) -> std::size_t {
    return block * (1 + engine() % 2) - 1 + engine() % 3;
  };
  const auto within = [&](std::size_t tile) -> std::size_t { return 1 + engine() % (3 * tile); };
  std::vector<std::array<std::size_t, 3>> shapes = {{0, 4, 3}, {41, 23, 0}, {1, 1, 1}};
  for (std::size_t s = 0; s < 12; ++s) {
    shapes.push_back({s % 4 == 0 ? around(k->block_rows) : within(k->tile_rows),
                      s % 4 == 1 ? around(k->block_cols) : within(k->tile_cols),
                      s % 4 == 2 ? around(k->block_depth) : within(8)});
  }
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

    if (m == 0 || n == 0) continue;
    // One step on the m x n block of c, the pivot searched in some of its
    // columns; then the steps of a square block of order up to 40 whose
    // pivots are searched in up to two further columns.
    const auto rows = static_cast<std::int32_t>(m), cols = static_cast<std::int32_t>(n);
    const auto search = static_cast<std::int32_t>(1 + engine() % n);
    PivotProduct det{values(engine, 1)[0]}, want_det = det;
    want = c;
    EXPECT_EQ(k->step(c.data(), ld, rows, cols, search, det),
              step_loops(want.data(), ld, rows, cols, search, want_det));
    EXPECT_TRUE(same_block(c, want) && same_det(det, want_det)) << "step";

    const auto order = static_cast<std::int32_t>(std::min<std::size_t>(m, 40));
    const std::int32_t searched = order + static_cast<std::int32_t>(engine() % 3);
    const std::size_t lds = static_cast<std::size_t>(order) + engine() % 3;
    Block v = values(engine, lds * static_cast<std::size_t>(searched));
    want = v;
    det = want_det = PivotProduct{};
    k->steps(v.data(), lds, order, searched, det);
    for (std::int32_t s = 0; s + 1 < order; ++s) {
      step_loops(want.data() + s + static_cast<std::size_t>(s) * lds, lds, order - s, order - s,
                 searched - s, want_det);
    }
    EXPECT_TRUE(same_block(v, want) && same_det(det, want_det)) << "steps";
  }
}

INSTANTIATE_TEST_SUITE_P(Builds, KernelsTest, testing::Values("baseline", "avx2", "avx512"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

// kernels() takes the widest build the processor runs, up to the one that
// NODREL_KERNELS names (ctest runs this also with the variable set).
TEST(KernelsChoiceTest, TheWidestBuildUpToTheNamedOne) {
  const char* const widest = std::getenv("NODREL_KERNELS");
  std::string want;
  for (const char* name : {"baseline", "avx2", "avx512"}) {
    if (kernels_named(name) != nullptr) want = name;
    if (widest != nullptr && std::string(name) == widest) break;
  }
  EXPECT_EQ(kernels().name, want);
}

}  // namespace
}  // namespace nodrel::numeric
