// Reduction of a matrix, in place, to a diagonal matrix.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "algebra/dense.hpp"
#include "linalg/elimination.hpp"
#include "linalg/fast_elimination.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

void Matr::mDiag(DoubleArray& mtrA) {
  err_code_ = 0;
  const std::int32_t n = mtrA.ubound(1);
  const std::int32_t m = mtrA.ubound(2);
  // The elimination needs columns up to n. A matrix with fewer is refused
  // before anything is written, rather than left half reduced.
  if (m < n) raise(ErrorNumber::kSubscriptOutOfRange);

  // The fast path: the same elimination on a private copy, without the
  // per-element check; when every element came out finite, the result (the
  // pivots on the diagonal, zeros elsewhere) is written over the caller's
  // matrix. Otherwise the matrix is still untouched and the checked loops
  // below reduce it in place, up to the faulty element.
  detail::MatrixView view;
  if (n >= 1 && detail::view_matrix(mtrA, n, m, view) && detail::with_scratch([&] {
        const auto rows = static_cast<std::size_t>(n);
        const auto cols = static_cast<std::size_t>(m);
        std::vector<double> work(rows * cols);
        for (std::size_t j = 0; j < cols; ++j) {
          std::copy(view.data + j * view.ld, view.data + j * view.ld + rows,
                    work.data() + j * rows);
        }
        if (!detail::block_finite(work.data(), rows, rows, cols)) return false;
        detail::PivotProduct unused;
        detail::eliminate(work.data(), rows, n, m, unused);
        if (!detail::block_finite(work.data(), rows, rows, cols)) return false;
        double* out = const_cast<double*>(view.data);
        for (std::size_t j = 0; j < cols; ++j) {
          for (std::size_t i = 0; i < rows; ++i) {
            out[i + j * view.ld] = i == j ? work[i + j * rows] : 0.0;
          }
        }
        return true;
      })) {
    return;
  }

  // The forward elimination of the determinant, on the caller's matrix. The
  // pivot search covers all m columns, so a column beyond n can be
  // exchanged in; the update stops at column n.
  for (std::int32_t k = 1; k < n; ++k) {
    const detail::Pivot pivot = detail::find_pivot(mtrA, k, m);
    // A zero pivot skips the step: the row below is not eliminated.
    if (pivot.magnitude <= detail::kZeroTolerance) continue;
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
}

}  // namespace nodrel
