// The inverse by cofactors, and the division of one matrix by another.
#include <cstdint>

#include "fastpath/driver.hpp"
#include "runtime/fp_check.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

void Matr::mInv(DoubleArray& mtrDest) {
  // The order is held as a 16-bit integer: a larger bound overflows it.
  const std::int32_t upper = mtrDest.ubound(1);
  if (upper > INT16_MAX || upper < INT16_MIN) raise(ErrorNumber::kOverflow);
  const std::int32_t n = upper;

  detail::fast::inverse(mtrDest, n, err_code_, [&] {
    // Both buffers are made before anything else: the empty matrix fails here
    // with error 9, its minor buffer needing the upper bound -1.
    DoubleArray result = DoubleArray::zeros(n, n);
    DoubleArray minor = DoubleArray::zeros(n - 1, n - 1);

    // A non-square matrix has determinant 0 and is refused like a singular
    // one, untouched. D is tested with the component's comparison, so a NaN
    // determinant is refused too.
    const double d = mDet(mtrDest);
    if (!detail::differ(d, 0.0)) {
      err_code_ = 4;
      return;
    }

    // The argument is only read until every cofactor is known; it is written
    // once, at the end, so each minor comes from the unchanged input.
    for (std::int32_t i = 1; i <= n; ++i) {
      for (std::int32_t j = 1; j <= n; ++j) {
        // The minor of (i, j): the matrix without row i and column j. Every
        // element 1..n - 1 is overwritten, so the buffer needs no clearing.
        std::int32_t r = 0;
        for (std::int32_t k = 1; k <= n; ++k) {
          if (k == i) continue;
          ++r;
          std::int32_t c = 0;
          for (std::int32_t l = 1; l <= n; ++l) {
            if (l == j) continue;
            ++c;
            minor(r, c) = mtrDest(k, l);
          }
        }
        // Of order 1 the only minor is empty, whose determinant is 1 (the
        // empty product); mDet would give 0 for it, and the inverse would be
        // 0 instead of 1 / D.
        const double m = n == 1 ? 1.0 : mDet(minor);
        const double sign = (i + j) % 2 == 0 ? 1.0 : -1.0;
        // The cofactor of (i, j) goes to (j, i): the inverse is the transposed
        // matrix of cofactors divided by the determinant.
        detail::FpFlags f;
        const double cofactor = f.mul(sign, m);
        result(j, i) = f.div(cofactor, d);
        detail::check(f);
      }
    }
    mDupl(mtrDest, result);
  });
}

void Matr::mDivd(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2) {
  // The divisor is inverted in a private copy and applied from the left:
  // mtrDest = inverse(mtrSrc2) x mtrSrc1. The product reads a dividend that
  // is also the destination from a snapshot of its own.
  DoubleArray inverse;
  mDupl(inverse, mtrSrc2);
  mInv(inverse);
  if (err_code_ != 0) return;  // singular divisor: code 4, nothing written
  mMult(mtrDest, inverse, mtrSrc1);
}

}  // namespace nodrel
