// The kernels for any processor: two doubles per vector where the compiler
// has vector extensions (SSE2 on x86-64, the baseline of the target), plain
// doubles otherwise.
#if defined(__GNUC__)
#define NODREL_KERNEL_WIDTH 2
#else
#define NODREL_KERNEL_WIDTH 1
#endif
#define NODREL_KERNEL_TABLE baseline_kernels
#define NODREL_KERNEL_NAME "baseline"
#include "numeric/kernels_impl.inc"
