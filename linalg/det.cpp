// The determinant and the singularity test.
//
// Orders 1 and 2 are computed by their formulas and returned exactly as
// computed; order 3 by expansion along the first row; order 4 and above,
// and the empty matrix, by Gaussian elimination with column exchanges on a
// private copy. From order 3 on, a magnitude below the zero tolerance is
// returned as 0.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "algebra/dense.hpp"
#include "linalg/elimination.hpp"
#include "linalg/fast_elimination.hpp"
#include "matr/fp_check.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

namespace {

// The determinant of the caller's square matrix of order n >= 1 without
// the per-element check, on a private copy (on the stack for small orders).
// False when an element or a result is not finite, or the matrix lacks an
// element: the checked loops then run, and fail where they fail.
bool fast_determinant(const DoubleArray& a, std::int32_t n, double& det) {
  detail::MatrixView view;
  if (!detail::view_matrix(a, n, n, view)) return false;
  // Orders whose copy the checked loops could not even make keep their
  // error (out of memory) there.
  const auto order = static_cast<std::size_t>(n);
  if ((order + 1) * (order + 1) > kMaxArrayElements) return false;
  constexpr std::size_t kLocal = 16 * 16;
  double local[kLocal];
  std::vector<double> heap;
  double* copy = local;
  if (order * order > kLocal) {
    heap.resize(order * order);
    copy = heap.data();
  }
  for (std::size_t j = 0; j < order; ++j) {
    const double* col = view.data + j * view.ld;
    std::copy(col, col + order, copy + j * order);
  }
  return detail::determinant_in_place(copy, order, n, det);
}

}  // namespace

double Matr::mDet(const DoubleArray& mtrA) {
  err_code_ = 0;
  const std::int32_t n = mtrA.ubound(1);
  if (!mMatrIsQuadr(mtrA)) return 0.0;
  double fast = 0.0;
  if (n >= 1 && detail::with_scratch([&] { return fast_determinant(mtrA, n, fast); })) return fast;
  if (n == 1) return mtrA(1, 1);
  if (n == 2) {
    detail::FpFlags f;
    const double leading = f.mul(mtrA(1, 1), mtrA(2, 2));
    const double anti = f.mul(mtrA(1, 2), mtrA(2, 1));
    const double det = f.sub(leading, anti);
    detail::check(f);
    return det;
  }
  if (n == 3) return DetOrder3(mtrA);

  // The empty matrix comes here too: no step runs, and the element (0, 0)
  // of the fresh copy, 0.0, is multiplied in, so its determinant is 0.
  DoubleArray b;
  mDupl(b, mtrA);
  double det = 1.0;
  for (std::int32_t k = 1; k < n; ++k) {
    const detail::Pivot pivot = detail::find_pivot(b, k, n);
    if (pivot.magnitude <= detail::kZeroTolerance) {
      // A zero pivot makes the determinant 0. The later steps still run:
      // they only multiply det, but their own arithmetic is still checked.
      det = 0.0;
      continue;
    }
    if (pivot.column != k) {
      // A column exchange flips the sign of the determinant.
      det = -det;
      for (std::int32_t j = 1; j <= n; ++j) SwapValues(b(j, k), b(j, pivot.column));
    }
    detail::FpFlags f;
    det = f.mul(det, b(k, k));
    detail::check(f);
    detail::eliminate_below(b, k, n);
  }
  // The last diagonal element is multiplied in without a pivot test; only
  // the finished product meets the tolerance (strictly below it is zero).
  detail::FpFlags f;
  det = f.mul(det, b(n, n));
  detail::check(f);
  return std::fabs(det) < detail::kZeroTolerance ? 0.0 : det;
}

double Matr::DetOrder3(const DoubleArray& a) {
  // Expansion along the first row; each 2 x 2 minor is rounded to a double
  // before the last line, which is evaluated left to right.
  detail::FpFlags f1;
  const double t1 = f1.sub(f1.mul(a(2, 2), a(3, 3)), f1.mul(a(2, 3), a(3, 2)));
  detail::check(f1);
  detail::FpFlags f2;
  const double t2 = f2.sub(f2.mul(a(2, 1), a(3, 3)), f2.mul(a(2, 3), a(3, 1)));
  detail::check(f2);
  detail::FpFlags f3;
  const double t3 = f3.sub(f3.mul(a(2, 1), a(3, 2)), f3.mul(a(2, 2), a(3, 1)));
  detail::check(f3);
  detail::FpFlags f;
  const double first = f.mul(a(1, 1), t1);
  const double second = f.mul(a(1, 2), t2);
  const double third = f.mul(a(1, 3), t3);
  const double d = f.add(f.sub(first, second), third);
  detail::check(f);
  return std::fabs(d) < detail::kZeroTolerance ? 0.0 : d;
}

bool Matr::mMatrIsSing(const DoubleArray& mtrA) {
  err_code_ = 0;
  if (!mMatrIsQuadr(mtrA)) {
    err_code_ = 3;
    return false;
  }
  // A zero of either sign: exact at orders 1 and 2, flushed by the
  // tolerance from order 3 on.
  return !detail::differ(mDet(mtrA), 0.0);
}

}  // namespace nodrel
