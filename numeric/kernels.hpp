// The arithmetic kernels behind the fast paths of the products and of the
// elimination, on raw column-major blocks of doubles.
//
// Every kernel performs exactly the operations of the straightforward loops
// it replaces, on the same operands and, for each element, in the same
// order: a product is rounded to a double before it is added, a partial sum
// is rounded before the next term comes, and nothing is contracted into a
// fused multiply-add (the build passes -ffp-contract=off). What changes is
// only which elements are worked on side by side: vector lanes and register
// tiles hold different elements, each of them with its own chain of
// operations in the original order, so every result is bit for bit the one
// of the straightforward loops.
//
// No kernel checks the floating-point flags. Callers rely on a property of
// the operations used: with finite operands, an operation that overflows or
// is invalid yields an infinity or a NaN, and every later sum or product
// that takes it in stays non-finite. So a caller that finds every result
// finite knows that no step raised a flag; otherwise it runs the checked
// loops again from the start, which fail at the right element.
//
// Up to three builds of the kernels exist: the baseline one, for any
// processor the compiler targets, and on x86-64 (outside Windows) one for
// processors with AVX2 and one for AVX-512F, the widest the processor runs
// being chosen once at run time. All give identical bits; only their speed
// differs.
#ifndef NODREL_NUMERIC_KERNELS_HPP
#define NODREL_NUMERIC_KERNELS_HPP

#include <cstddef>
#include <cstdint>

namespace nodrel::numeric {

// The running determinant of an elimination: the pivots met so far
// multiplied in order without the signs of the column exchanges, the number
// of exchanges, and whether a step met a zero pivot (see
// numeric/elimination.hpp for why this gives the determinant exactly).
struct PivotProduct {
  double product = 1.0;
  std::int32_t exchanges = 0;
  bool zero = false;
};

struct Kernels {
  // The doubles of workspace that gemm needs for these orders (its packed
  // panels; the panel sizes depend on the build's vector width).
  std::size_t (*gemm_workspace)(std::size_t m, std::size_t n, std::size_t k);
  // c(i, j) = a(i, p) * b(p, j) + c(i, j) for p = 0..k-1 in increasing
  // order, for every i < m, j < n; a(i, p) = a[i + p * lda],
  // b(p, j) = b[p + j * ldb], c(i, j) = c[i + j * ldc]. Call it through
  // product() below, which provides the workspace.
  void (*gemm)(std::size_t m, std::size_t n, std::size_t k, const double* a, std::size_t lda,
               const double* b, std::size_t ldb, double* c, std::size_t ldc, double* workspace);
  // y[i] = a(i, j) * x[j] + y[i] for j = 0..n-1 in increasing order, for
  // every i < m; a(i, j) = a[i + j * lda].
  void (*gemv)(std::size_t m, std::size_t n, const double* a, std::size_t lda, const double* x,
               double* y);
  // c(i, j) = mult[i] * u[j * ldu] + c(i, j) for every i < m, j < n: one
  // step of the elimination on a block, with the multipliers of its rows.
  void (*rank1)(std::size_t m, std::size_t n, const double* mult, const double* u, std::size_t ldu,
                double* c, std::size_t ldc);
  // x[i] = (-x[i]) / pivot for every i < m: the multipliers of a step.
  void (*multipliers)(std::size_t m, double* x, double pivot);
  // One step of the forward elimination on the block v (rows x cols,
  // element (i, j) at v[i + j * ld]) whose pivot row is row 0: the pivot is
  // the first of the columns 0..search-1 with the largest magnitude in row
  // 0; a pivot of magnitude at most the zero tolerance ends the step
  // (det.zero); otherwise columns 0 and p are exchanged over the rows of the
  // block and rows 1..rows-1 receive, over columns 1..cols-1,
  // v(i, j) = (-v(i, 0) / v(0, 0)) * v(0, j) + v(i, j); the multiplier of
  // row i is left in v(i, 0). Returns p, or -1 when the step met a zero
  // pivot.
  std::int32_t (*step)(double* v, std::size_t ld, std::int32_t rows, std::int32_t cols,
                       std::int32_t search, PivotProduct& det);
  // The steps 0..n-2 of the elimination of a block of n rows: step k on the
  // block from (k, k), with n - k rows and columns and m - k columns
  // searched.
  void (*steps)(double* v, std::size_t ld, std::int32_t n, std::int32_t m, PivotProduct& det);
  // The inverse by cofactors of the n x n block a (element (i, j) at
  // a[i + j * lda]), 5 <= n <= 9, given its determinant d: out[j + i * ldo]
  // = ((-1)^(i + j) * minor(i, j)) / d, the sign exact, the quotient
  // rounded once. minor(i, j), the determinant of a without row i and
  // column j, is the double that steps(minor, n - 1, n - 1, n - 1, det) and
  // the last diagonal element multiplied in give: 0 after a zero pivot or
  // below the zero tolerance, else the product with its sign flipped once
  // per exchange. So a minor [5 6; 8 10] comes out 2.0000000000000036, not
  // 2: the pivot is 6 (an exchange), the multiplier -10 / 6 rounds to
  // -1.6666666666666667, 8 + (-8.333333333333334) to -0.3333333333333339,
  // times 6 to -2.0000000000000036, then the sign.
  // False when some operation went non-finite, a quotient included (the
  // values written are then meaningless); also false, writing nothing, for
  // another n.
  bool (*cofactors)(const double* a, std::size_t lda, std::int32_t n, double d, double* out,
                    std::size_t ldo);
  // The n + 1 determinants of Cramer's rule for the n x n block a and the
  // column b, 4 <= n <= 8: dets[k], k < n, of a with column k replaced by
  // b; dets[n] of a itself; each as cofactors gives its minors. False as
  // there.
  bool (*cramer)(const double* a, std::size_t lda, std::int32_t n, const double* b, double* dets);
  // The product of gemm for small blocks, c's columns one by one (each
  // column is gemv of a and a column of b), without workspace; returns
  // whether every element of c it wrote is finite. c shares no element
  // with a or b.
  bool (*product_columns)(std::size_t m, std::size_t n, std::size_t k, const double* a,
                          std::size_t lda, const double* b, std::size_t ldb, double* c,
                          std::size_t ldc);
  // The doubles of one vector: the lanes of cofactors and cramer.
  std::size_t lanes;
  // Name of the build ("baseline", "avx2", "avx512"), for the benchmarks'
  // records.
  const char* name;
  // The blocking of gemm: register tiles of tile_rows x tile_cols elements
  // of c, over block_depth terms at a time, block_rows rows of a and
  // block_cols columns of b per packed panel. The tests cut each of them at
  // its edges.
  std::size_t tile_rows, tile_cols, block_rows, block_depth, block_cols;
};

// The kernels for this processor, chosen on first use: the widest build the
// processor runs, or, when the environment variable NODREL_KERNELS names a
// build ("baseline", "avx2", "avx512"), the widest up to that one (an
// unknown name is ignored). The variable is read once per process. A
// further build is one more table in kernels.cpp; nothing above this layer
// names a build.
const Kernels& kernels();

// The table of the named build when this library holds it and the processor
// runs it, nullptr otherwise: the tests and benchmarks hold every build
// against the others through this.
const Kernels* kernels_named(const char* name);

// kern.gemm with its workspace taken from the scratch memory (std::bad_alloc
// when it is refused), its columns shared out among threads when the work is
// large enough (parallel.hpp).
void product(const Kernels& kern, std::size_t m, std::size_t n, std::size_t k, const double* a,
             std::size_t lda, const double* b, std::size_t ldb, double* c, std::size_t ldc);

}  // namespace nodrel::numeric

#endif  // NODREL_NUMERIC_KERNELS_HPP
