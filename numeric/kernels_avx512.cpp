// The kernels for processors with AVX-512F: eight doubles per vector, and
// 32 vector registers, which hold a register tile of 3 x 8 vectors (24 rows
// by 8 columns) with its operands: 27 registers live, against 15 for the
// 2 x 6 tile of the narrower builds, and each broadcast of b serves three
// products instead of two (on the development machine the order-1000
// product ran about twice as fast as with AVX2, and ahead of 2 x 6 and
// 4 x 6 tiles of this width). This file alone is compiled with
// -mavx512f; it is called only after the processor has been seen to support
// it (kernels.cpp). The instruction set has fused multiply-adds, but the
// build contracts nothing (-ffp-contract=off) and the kernels call none:
// every product is rounded before it is added, as in the other builds.
#define NODREL_KERNEL_WIDTH 8
#define NODREL_KERNEL_TILE_VECTORS 3
#define NODREL_KERNEL_TILE_COLUMNS 8
#define NODREL_KERNEL_BLOCK_ROWS 240
#define NODREL_KERNEL_TABLE avx512_kernels
#define NODREL_KERNEL_NAME "avx512"
#include "numeric/kernels_impl.inc"
