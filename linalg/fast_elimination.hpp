// The forward elimination of the determinant and the diagonal reduction on
// raw column-major blocks, without the per-element check, and the pieces
// that the inverse and Cramer's rule build from it.
//
// The elimination is the one of the checked loops: at step k the pivot is
// searched along row k over the columns k.., the first column of largest
// magnitude winning; a pivot of magnitude at most the zero tolerance skips
// the step; otherwise columns k and p are exchanged and every row i below
// the pivot row receives a(i, j) = (-a(i, k) / a(k, k)) * a(k, j) + a(i, j)
// for the columns j beyond k. The multiplier of row i is the same double
// for every j (the same division of the same operands), so it is computed
// once and kept, in the place of a(i, k), which no later step reads.
//
// The products of the pivots are kept without the signs of the exchanges:
// rounding to nearest is symmetric, so (-d) * p rounds to -(d * p), and the
// checked loops' determinant is the product below with its sign flipped once
// per exchange. After a skipped step the checked loops' determinant is 0 and
// stays a zero, which the final tolerance test returns as 0.0.
//
// Faults: with finite elements an overflow or an invalid operation leaves an
// infinity or a NaN in the element it is stored to, and every later update
// of that element, every exchange and every multiplier taken from it keeps
// it non-finite; an overflow of the running product leaves it infinite. So
// a block whose elements and product are all finite at the end went through
// no faulty operation. Callers check this and otherwise run the checked
// loops, which raise the error at its place.
#ifndef NODREL_LINALG_FAST_ELIMINATION_HPP
#define NODREL_LINALG_FAST_ELIMINATION_HPP

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "algebra/kernels.hpp"
#include "linalg/tolerance.hpp"

namespace nodrel::detail {

// The determinant of order 3 and above as the checked loops return it.
inline double determinant_of(const PivotProduct& det) {
  if (det.zero) return 0.0;
  const double d = det.exchanges % 2 != 0 ? -det.product : det.product;
  return std::fabs(d) < kZeroTolerance ? 0.0 : d;
}

// Steps 0..n-2 of the elimination of the block v (n rows, m >= n columns,
// element (i, j) at v[i + j * ld]): pivots searched over all m columns,
// updates over the columns below n. Blocked for the caches from a moderate
// order on. Leaves the pivots on the diagonal.
void eliminate(double* v, std::size_t ld, std::int32_t n, std::int32_t m, PivotProduct& det);

// The determinant of the square block of order n (overwritten), by the
// rules of the checked mDet for that order: the formulas at orders 1 to 3,
// the elimination above. False when an element or a result is not finite:
// the caller then runs the checked loops.
bool determinant_in_place(double* v, std::size_t ld, std::int32_t n, double& det);

// True when every element of the block is finite.
bool block_finite(const double* v, std::size_t ld, std::size_t rows, std::size_t cols);

// The inverse of the square block a (order n >= 1) by cofactors:
// out[j + i * n] = ((-1)^(i+j) * minor(i, j)) / D, the minors and D computed
// as the checked mInv computes them. kSingular: D is zero; kFault: an
// element or a result is not finite (the checked loops then run).
enum class InverseOutcome { kDone, kSingular, kFault };
InverseOutcome inverse_by_cofactors(const double* a, std::size_t lda, std::int32_t n, double* out);

// Cramer's rule for the square block a (order n >= 1) and the right-hand
// side b: x[k] = D_k / D, D_k the determinant of a with column k replaced
// by b, every determinant as the checked mDet computes it. False when an
// element or a result is not finite, or D is zero: the checked loops then
// raise the error where it arises.
bool cramer(const double* a, std::size_t lda, const double* b, std::int32_t n, double* x);

}  // namespace nodrel::detail

#endif  // NODREL_LINALG_FAST_ELIMINATION_HPP
