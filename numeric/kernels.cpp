// The choice between the kernel builds, made once per process.
#include "numeric/kernels.hpp"

#include <cstdlib>
#include <cstring>

#include "numeric/parallel.hpp"
#include "numeric/scratch.hpp"

namespace nodrel::numeric {

const Kernels& baseline_kernels();
#if defined(NODREL_HAVE_AVX2_KERNELS)
const Kernels& avx2_kernels();
#endif
#if defined(NODREL_HAVE_AVX512_KERNELS)
const Kernels& avx512_kernels();
#endif

namespace {

// Each build with the test of whether this processor runs it (nullptr when
// it does not); the compiled builds, narrowest first.
const Kernels* baseline_if_supported() { return &baseline_kernels(); }
#if defined(NODREL_HAVE_AVX2_KERNELS)
const Kernels* avx2_if_supported() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? &avx2_kernels() : nullptr;
}
#endif
#if defined(NODREL_HAVE_AVX512_KERNELS)
// __builtin_cpu_supports also asks the system whether it saves the 512-bit
// registers across context switches.
const Kernels* avx512_if_supported() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") ? &avx512_kernels() : nullptr;
}
#endif

struct Build {
  const char* name;
  const Kernels* (*if_supported)();
};
constexpr Build kBuilds[] = {
    {"baseline", baseline_if_supported},
#if defined(NODREL_HAVE_AVX2_KERNELS)
    {"avx2", avx2_if_supported},
#endif
#if defined(NODREL_HAVE_AVX512_KERNELS)
    {"avx512", avx512_if_supported},
#endif
};

}  // namespace

const Kernels& kernels() {
  static const Kernels* const chosen = [] {
    const char* const widest = std::getenv("NODREL_KERNELS");
    const Kernels* best = nullptr;
    for (const Build& build : kBuilds) {
      if (const Kernels* k = build.if_supported()) best = k;
      if (widest != nullptr && std::strcmp(widest, build.name) == 0) break;
    }
    return best;
  }();
  return *chosen;
}

const Kernels* kernels_named(const char* name) {
  for (const Build& build : kBuilds) {
    if (std::strcmp(name, build.name) == 0) return build.if_supported();
  }
  return nullptr;
}

void product(const Kernels& kern, std::size_t m, std::size_t n, std::size_t k, const double* a,
             std::size_t lda, const double* b, std::size_t ldb, double* c, std::size_t ldc) {
  if (m == 0 || n == 0 || k == 0) return;
  // The columns of c are shared out among the threads, each forming whole
  // columns with panels of its own: every element still receives its k
  // terms in increasing order, so the split changes no bit. The chunks are
  // cut at multiples of 24 columns, a whole number of register tiles in
  // every build (6 columns wide in the baseline and AVX2 builds, 8 in the
  // AVX-512 one), so only the last columns of c meet the edge kernel.
  constexpr std::size_t kColumnGrain = 24;
  parallel_for(n, kColumnGrain, std::uint64_t{m} * n * k, [&](std::size_t begin, std::size_t end) {
    // Compiled in the baseline build only: the buffer's code can never come
    // from a wider build.
    Scratch<double> workspace(kern.gemm_workspace(m, end - begin, k));
    kern.gemm(m, end - begin, k, a, lda, b + begin * ldb, ldb, c + begin * ldc, ldc,
              workspace.data());
  });
}

}  // namespace nodrel::numeric
