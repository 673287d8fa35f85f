// The choice between the kernel builds, made once per process.
#include "numeric/kernels.hpp"

#include "numeric/parallel.hpp"
#include "numeric/scratch.hpp"

namespace nodrel::numeric {

#if defined(NODREL_HAVE_AVX2_KERNELS)
const Kernels& avx2_kernels();
#endif

const Kernels& kernels() {
  static const Kernels* const chosen = [] {
#if defined(NODREL_HAVE_AVX2_KERNELS)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return &avx2_kernels();
#endif
    return &baseline_kernels();
  }();
  return *chosen;
}

void product(const Kernels& kern, std::size_t m, std::size_t n, std::size_t k, const double* a,
             std::size_t lda, const double* b, std::size_t ldb, double* c, std::size_t ldc) {
  if (m == 0 || n == 0 || k == 0) return;
  // The columns of c are shared out among the threads, each forming whole
  // columns with panels of its own: every element still receives its k
  // terms in increasing order, so the split changes no bit. The chunks are
  // cut at multiples of the register tile's width (6 columns), so only the
  // last columns of c meet the edge kernel.
  constexpr std::size_t kColumnGrain = 6;
  parallel_for(n, kColumnGrain, std::uint64_t{m} * n * k, [&](std::size_t begin, std::size_t end) {
    // Compiled in the baseline build only: the buffer's code can never come
    // from the AVX2 build.
    Scratch<double> workspace(kern.gemm_workspace(m, end - begin, k));
    kern.gemm(m, end - begin, k, a, lda, b + begin * ldb, ldb, c + begin * ldc, ldc,
              workspace.data());
  });
}

}  // namespace nodrel::numeric
