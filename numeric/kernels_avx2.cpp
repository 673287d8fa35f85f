// The kernels for processors with AVX2: four doubles per vector. This file
// alone is compiled with -mavx2; it is called only after the processor has
// been seen to support AVX2 (kernels.cpp). The build uses no FMA
// instructions: a fused multiply-add rounds once where the arithmetic
// rounds twice.
#define NODREL_KERNEL_WIDTH 4
#define NODREL_KERNEL_TABLE avx2_kernels
#define NODREL_KERNEL_NAME "avx2"
#include "numeric/kernels_impl.inc"
