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

// A block, or an elimination's determinant so far, as exact text.
std::string text(const Block& v) {
  std::string s;
  for (const double x : v) s += number(x) + " ";
  return s;
}
std::string text(const PivotProduct& d) {
  return number(d.product) + " " + std::to_string(d.exchanges) + (d.zero ? " zero" : "");
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
  det.product *= v[0];
  for (std::int32_t i = 1; i < rows; ++i) v[i] = (-v[i]) / v[0];
  for (std::size_t j = 1; j < static_cast<std::size_t>(cols); ++j) {
    for (std::int32_t i = 1; i < rows; ++i) v[i + j * ld] = v[i] * v[j * ld] + v[i + j * ld];
  }
  return static_cast<std::int32_t>(p);
}

class KernelsTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    k = kernels_named(GetParam());
    if (k == nullptr) GTEST_SKIP() << GetParam() << ": not in this build, or not run here";
  }
  const Kernels* k = nullptr;
};

// c + a·b, each product rounded before it is added, in the order of p;
// whether every result is finite.
bool product_loops(std::size_t m, std::size_t n, std::size_t depth, const double* a,
                   std::size_t lda, const double* b, std::size_t ldb, double* c, std::size_t ldc) {
  bool finite = true;
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t i = 0; i < m; ++i) {
      double& sum = c[i + j * ldc];
      for (std::size_t p = 0; p < depth; ++p) sum = a[i + p * lda] * b[p + j * ldb] + sum;
      finite = finite && std::isfinite(sum);
    }
  }
  return finite;
}

TEST_P(KernelsTest, EveryKernelMatchesItsLoops) {
  std::mt19937_64 engine(0x61u);
  // Each shape has one dimension just below, at or past one or two of the
  // build's cache blocks and the others cutting its register tile anywhere.
  const auto around = [&](std::size_t block) {
    return static_cast<std::size_t>(block * (1 + engine() % 2) - 1 + engine() % 3);
  };
  const auto within = [&](std::size_t tile) {
    return static_cast<std::size_t>(1 + engine() % (3 * tile));
  };
  std::vector<std::array<std::size_t, 3>> shapes = {{0, 4, 3}, {41, 23, 0}, {1, 1, 1}};
  for (std::size_t s = 0; s < 12; ++s) {
    shapes.push_back({s % 4 == 0 ? around(k->block_rows) : within(k->tile_rows),
                      s % 4 == 1 ? around(k->block_cols) : within(k->tile_cols),
                      s % 4 == 2 ? around(k->block_depth) : within(8)});
  }
  for (const auto& [m, n, depth] : shapes) {
    SCOPED_TRACE(std::string(k->name) + " " + std::to_string(m) + " x " + std::to_string(depth) +
                 " by " + std::to_string(depth) + " x " + std::to_string(n));
    const std::size_t ld = m + engine() % 3, ldb = depth + engine() % 3,
                      short_n = std::min(n, depth);
    const Block a = values(engine, ld * depth + 1), b = values(engine, ldb * n + 1),
                x = values(engine, n + 1);
    Block c = values(engine, ld * n + 1), want = c, columns = c, y = values(engine, m + 1),
          want_y = y;
    const bool finite = product_loops(m, n, depth, a.data(), ld, b.data(), ldb, want.data(), ld);
    product(*k, m, n, depth, a.data(), ld, b.data(), ldb, c.data(), ld);
    EXPECT_EQ(text(c), text(want)) << "gemm";
    EXPECT_EQ(k->product_columns(m, n, depth, a.data(), ld, b.data(), ldb, columns.data(), ld),
              finite);
    EXPECT_EQ(text(columns), text(want)) << "product_columns";
    product_loops(m, 1, short_n, a.data(), ld, x.data(), 0, want_y.data(), 0);
    k->gemv(m, short_n, a.data(), ld, x.data(), y.data());
    EXPECT_EQ(text(y), text(want_y)) << "gemv";
    const double pivot = values(engine, 1)[0];
    for (std::size_t i = 0; i < m; ++i) want_y[i] = (-want_y[i]) / pivot;
    k->multipliers(m, y.data(), pivot);
    EXPECT_EQ(text(y), text(want_y)) << "multipliers";
    want = c;
    product_loops(m, n, 1, y.data(), 0, x.data(), 1, want.data(), ld);
    k->rank1(m, n, y.data(), x.data(), 1, c.data(), ld);
    EXPECT_EQ(text(c), text(want)) << "rank1";
    if (m == 0) continue;

    // The steps of a square block of order up to 40 whose pivots are
    // searched in up to two further columns; of odd orders, small integers
    // (ties of magnitude in every search).
    const auto order = static_cast<std::int32_t>(std::min<std::size_t>(m, 40));
    const std::int32_t searched = order + static_cast<std::int32_t>(engine() % 3);
    const std::size_t lds = static_cast<std::size_t>(order) + engine() % 3;
    Block v = values(engine, lds * static_cast<std::size_t>(searched));
    for (double& x : v) x = order % 2 == 0 ? x : static_cast<double>(engine() % 5) - 2.0;
    want = v;
    PivotProduct det, want_det;
    k->steps(v.data(), lds, order, searched, det);
    for (std::int32_t s = 0; s + 1 < order; ++s) {
      step_loops(want.data() + s + static_cast<std::size_t>(s) * lds, lds, order - s, order - s,
                 searched - s, want_det);
    }
    EXPECT_EQ(text(v) + text(det), text(want) + text(want_det)) << "steps";
  }
}

// cofactors and cramer against steps on each member alone. The rows of an
// order x (order + 1) block [a | b] take the letters in turn: r reals up to
// 1000 (beside a row of the tolerance, a determinant well above it), t
// small integers (ties of magnitude, exact zero pivots), z zeros (a zero
// pivot in every member that keeps the row), e a row whose largest
// magnitude is the tolerance itself (a zero pivot) and f the next double
// above it (a pivot), h such a zero pivot that hides a NaN from the
// product, n an infinity or a NaN.
TEST_P(KernelsTest, LaneDeterminantsMatchTheScalarSteps) {
  std::mt19937_64 engine(0x1au);
  const std::pair<std::size_t, std::string> cases[] = {
      {4, "tezr"},     {5, "rrnrr"},     {6, "tetfzt"},   {7, "hrrrrrr"},
      {8, "efrtntze"}, {9, "fttezrtfr"}, {8, "rrrrrrrr"}, {6, "ffeeff"},
      {5, "ttttt"},    {4, "rrrh"},      {6, "errrrr"}};
  for (const auto& [m, kinds] : cases) {
    SCOPED_TRACE(std::string(k->name) + " order " + std::to_string(m) + " " + kinds);
    const std::size_t lda = m + 1;
    Block a = values(engine, lda * (m + 1));
    for (std::size_t i = 0; i < m; ++i) {
      const char kind = kinds[i];
      for (std::size_t j = 0; j <= m; ++j) {
        double& x = a[i + j * lda];
        x = kind == 't' ? static_cast<double>(engine() % 5) - 2.0 : std::fmod(x, 3.0) / 3.0;
        if (kind == 'z' || !std::isfinite(x)) x = 0.0;
        if (kind == 'r') x *= 1000.0;
        if (kind == 'e' || kind == 'f' || kind == 'h')
          x = j == i ? (kind == 'f' ? std::nextafter(kZeroTolerance, 1.0) : kZeroTolerance)
                     : x * kZeroTolerance;
      }
      if (kind == 'n') a[i + engine() % (m + 1) * lda] = engine() % 2 == 0 ? INFINITY : NAN;
      if (kind == 'h') a[i + (m - 1) * lda] = NAN;
    }
    // The determinant of member (an order x order block, or fewer rows and
    // columns) by steps, and whether its elimination stayed finite.
    bool want_finite = true;
    const auto determinant = [&](Block member, std::size_t order) {
      PivotProduct d;
      const auto n = static_cast<std::int32_t>(order);
      k->steps(member.data(), order, n, n, d);
      d.product *= member.back();
      want_finite =
          want_finite && std::isfinite(d.product) &&
          std::all_of(member.begin(), member.end(), [](double x) { return std::isfinite(x); });
      const double det = d.exchanges % 2 != 0 ? -d.product : d.product;
      return d.zero || std::fabs(det) < kZeroTolerance ? 0.0 : det;
    };
    if (m >= 5) {
      Block cofactor(m * m);
      for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < m; ++j) {
          Block minor;
          for (std::size_t c = 0; c < m; ++c) {
            for (std::size_t r = 0; r < m && c != j; ++r) {
              if (r != i) minor.push_back(a[r + c * lda]);
            }
          }
          cofactor[j + i * m] = ((i + j) % 2 == 0 ? 1.0 : -1.0) * determinant(minor, m - 1);
        }
      }
      // Over a determinant of 3, and of 1e-300, past which quotients overflow.
      for (const double d : {3.0, 1e-300}) {
        Block got(m * m), want(m * m);
        std::transform(cofactor.begin(), cofactor.end(), want.begin(),
                       [d](double c) { return c / d; });
        const bool want_ok = want_finite && std::all_of(want.begin(), want.end(),
                                                        [](double x) { return std::isfinite(x); });
        const bool finite =
            k->cofactors(a.data(), lda, static_cast<std::int32_t>(m), d, got.data(), m);
        EXPECT_EQ(finite, want_ok) << "cofactors over " << d;
        if (finite && want_ok) {
          EXPECT_EQ(text(got), text(want)) << "cofactors over " << d;
        }
      }
    }
    if (m <= 8) {
      want_finite = true;
      Block got(m + 1), want(m + 1);
      for (std::size_t replaced = 0; replaced <= m; ++replaced) {
        Block member;
        for (std::size_t c = 0; c < m; ++c) {
          const double* column = a.data() + (c == replaced ? m : c) * lda;
          member.insert(member.end(), column, column + m);
        }
        want[replaced] = determinant(member, m);
      }
      const bool finite =
          k->cramer(a.data(), lda, static_cast<std::int32_t>(m), a.data() + m * lda, got.data());
      EXPECT_EQ(finite, want_finite) << "cramer";
      if (finite && want_finite) {
        EXPECT_EQ(text(got), text(want)) << "cramer";
      }
    }
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
