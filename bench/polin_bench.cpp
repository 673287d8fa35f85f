// The polynomial fit's cost against the number of points: the design step
// and the products Aᵀ·A and Aᵀ·y are linear in N, the inverse depends only on
// the number of coefficients, so the whole fit should grow as O(N).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "nodrel/matr.hpp"

namespace {

nodrel::DoubleArray cubic_points(std::int32_t n) {
  nodrel::DoubleArray pts(
      std::vector<nodrel::ArrayBound>{{1, static_cast<std::uint32_t>(n)}, {1, 2}});
  for (std::int32_t i = 1; i <= n; ++i) {
    const double x = -1.0 + 2.0 * (i - 1) / (n - 1);
    pts(i, 1) = x;
    pts(i, 2) = 0.5 - 1.25 * x + 2.0 * x * x + 0.75 * x * x * x;
  }
  return pts;
}

void BM_PolinCubic(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const nodrel::DoubleArray pts = cubic_points(n);
  nodrel::Matr m;
  nodrel::DoubleArray coeff;
  for (auto _ : state) {
    m.mPolin(coeff, pts, 4);
    benchmark::DoNotOptimize(coeff.storage().data());
  }
  state.SetComplexityN(n);
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_PolinCubic)->RangeMultiplier(4)->Range(1 << 10, 1 << 18)->Complexity(benchmark::oN);

}  // namespace
