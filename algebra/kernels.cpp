// The choice between the kernel builds, made once per process.
#include "algebra/kernels.hpp"

namespace nodrel::detail {

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

}  // namespace nodrel::detail
