// Reduction of a matrix, in place, to a diagonal matrix.
#include <cstdint>

#include "fastpath/driver.hpp"
#include "linalg/elimination.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "numeric/tolerance.hpp"

namespace nodrel {

void Matr::mDiag(DoubleArray& mtrA) {
  err_code_ = 0;
  const std::int32_t n = mtrA.ubound(1);
  const std::int32_t m = mtrA.ubound(2);
  // The elimination needs columns up to n. A matrix with fewer is refused
  // before anything is written, rather than left half reduced.
  if (m < n) raise(ErrorNumber::kSubscriptOutOfRange);

  detail::fast::diagonal(mtrA, n, m, [&] {
    // The forward elimination of the determinant, on the caller's matrix. The
    // pivot search covers all m columns, so a column beyond n can be
    // exchanged in; the update stops at column n.
    for (std::int32_t k = 1; k < n; ++k) {
      const detail::Pivot pivot = detail::find_pivot(mtrA, k, m);
      // A zero pivot skips the step: the row below is not eliminated.
      if (pivot.magnitude <= numeric::kZeroTolerance) continue;
      if (pivot.column != k) {
        for (std::int32_t j = 1; j <= n; ++j) SwapValues(mtrA(j, k), mtrA(j, pivot.column));
      }
      detail::eliminate_below(mtrA, k, n);
    }

    // What is left on the diagonal are the pivots; everything else is cleared.
    for (std::int32_t i = 1; i <= n; ++i) {
      for (std::int32_t j = 1; j <= m; ++j) {
        if (i != j) mtrA(i, j) = 0.0;
      }
    }
  });
}

}  // namespace nodrel
