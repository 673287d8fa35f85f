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
// The formulas of the small orders are here too, written once for both
// kinds of arithmetic: the plain one of this layer, and the checked one of
// the methods (an `arith` with add, sub and mul, each rounded on its own).
//
// Faults: with finite elements an overflow or an invalid operation leaves an
// infinity or a NaN in the element it is stored to, and every later update
// of that element, every exchange and every multiplier taken from it keeps
// it non-finite; an overflow of the running product leaves it infinite. So
// a block whose elements and product are all finite at the end went through
// no faulty operation. Callers check this and otherwise run the checked
// loops, which raise the error at its place.
#ifndef NODREL_NUMERIC_ELIMINATION_HPP
#define NODREL_NUMERIC_ELIMINATION_HPP

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "numeric/block.hpp"
#include "numeric/kernels.hpp"
#include "numeric/tolerance.hpp"

namespace nodrel::numeric {

// Plain IEEE arithmetic, each operation rounded to a double on its own.
struct PlainArithmetic {
  double add(double a, double b) const { return a + b; }
  double sub(double a, double b) const { return a - b; }
  double mul(double a, double b) const { return a * b; }
  void checkpoint() const {}
};

// The determinant of order 2, a11 * a22 - a12 * a21, both products rounded
// before the difference, returned as computed.
template <typename Arith>
double determinant2(Arith& arith, double a11, double a12, double a21, double a22) {
  const double leading = arith.mul(a11, a22);
  const double anti = arith.mul(a12, a21);
  return arith.sub(leading, anti);
}

// The determinant of order 3 by expansion along the first row, a(i, j)
// counted from 1: each 2 x 2 minor is rounded to a double before the last
// line, which is evaluated left to right; a magnitude below the zero
// tolerance is returned as 0. arith.checkpoint() follows each minor: the
// checked arithmetic raises its error there, before the next minor reads
// elements that may be missing.
template <typename Arith, typename At>
double determinant3(Arith& arith, const At& a) {
  const double t1 = arith.sub(arith.mul(a(2, 2), a(3, 3)), arith.mul(a(2, 3), a(3, 2)));
  arith.checkpoint();
  const double t2 = arith.sub(arith.mul(a(2, 1), a(3, 3)), arith.mul(a(2, 3), a(3, 1)));
  arith.checkpoint();
  const double t3 = arith.sub(arith.mul(a(2, 1), a(3, 2)), arith.mul(a(2, 2), a(3, 1)));
  arith.checkpoint();
  const double first = arith.mul(a(1, 1), t1);
  const double second = arith.mul(a(1, 2), t2);
  const double third = arith.mul(a(1, 3), t3);
  const double d = arith.add(arith.sub(first, second), third);
  return std::fabs(d) < kZeroTolerance ? 0.0 : d;
}

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

// The engines. Each reads its input and works in scratch memory of its own
// (std::bad_alloc when refused); its output holds the result only when it
// returns kDone (reduce_diagonal writes its block only then).

// The determinant of the square block a (order >= 1) by the rules of the
// checked mDet for its order: the formulas at orders 1 to 3, the
// elimination above. kSingular when it is zero (det holds that zero).
Outcome determinant(ConstBlock a, double& det);

// The diagonal reduction of the block a (rows <= cols) in place: the
// elimination over all its columns, then the pivots left on the diagonal
// and zeros everywhere else.
Outcome reduce_diagonal(Block a);

// The inverse of the square block a (order n >= 1) by cofactors:
// out(j, i) = ((-1)^(i+j) * minor(i, j)) / D, the minors and D computed as
// the checked mInv computes them (the empty minor of order 1 counts 1).
// out is n x n; kSingular: D is zero.
Outcome inverse(ConstBlock a, Block out);

// Cramer's rule for the square block a (order n >= 1) and the right-hand
// side b: x[k] = D_k / D, D_k the determinant of a with column k replaced
// by b, every determinant as the checked mDet computes it. kSingular: D is
// zero (the checked loops then raise the division's error).
Outcome cramer(ConstBlock a, const double* b, double* x);

}  // namespace nodrel::numeric

#endif  // NODREL_NUMERIC_ELIMINATION_HPP
