// The determinant and the singularity test.
//
// Orders 1 and 2 are computed by their formulas and returned exactly as
// computed; order 3 by expansion along the first row; order 4 and above,
// and the empty matrix, by Gaussian elimination with column exchanges on a
// private copy. From order 3 on, a magnitude below the zero tolerance is
// returned as 0.
#include <cmath>
#include <cstdint>

#include "fastpath/driver.hpp"
#include "linalg/elimination.hpp"
#include "runtime/fp_check.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "numeric/elimination.hpp"

namespace nodrel {

double Matr::mDet(const DoubleArray& mtrA) {
  err_code_ = 0;
  const std::int32_t n = mtrA.ubound(1);
  if (!mMatrIsQuadr(mtrA)) return 0.0;
  return detail::fast::determinant(mtrA, n, [&] {
    if (n == 1) return mtrA(1, 1);
    if (n == 2) {
      detail::FpFlags f;
      const double det = numeric::determinant2(f, mtrA(1, 1), mtrA(1, 2), mtrA(2, 1), mtrA(2, 2));
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
      if (pivot.magnitude <= numeric::kZeroTolerance) {
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
    return std::fabs(det) < numeric::kZeroTolerance ? 0.0 : det;
  });
}

double Matr::DetOrder3(const DoubleArray& a) {
  // Expansion along the first row, each minor checked as it is formed.
  detail::FpFlags f;
  const double d = numeric::determinant3(f, a);
  detail::check(f);
  return d;
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
