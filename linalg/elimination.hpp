// The forward elimination shared by the determinant and the diagonal
// reduction: pivot search along a row, the zero tolerance, and the update of
// the rows below a pivot.
#ifndef NODREL_LINALG_ELIMINATION_HPP
#define NODREL_LINALG_ELIMINATION_HPP

#include <cmath>
#include <cstdint>

#include "runtime/fp_check.hpp"
#include "nodrel/double_array.hpp"
#include "numeric/tolerance.hpp"

namespace nodrel::detail {

struct Pivot {
  std::int32_t column;
  double magnitude;
};

// The pivot of step k: the column among k..last whose element in row k has
// the largest magnitude. Only a strictly greater magnitude moves it, so on a
// tie the leftmost column wins and no exchange (nor sign flip) happens. A
// NaN at (k, k) is never beaten and never counts as zero.
inline Pivot find_pivot(const DoubleArray& a, std::int32_t k, std::int32_t last) {
  Pivot pivot{k, std::fabs(a(k, k))};
  for (std::int32_t c = k + 1; c <= last; ++c) {
    const double magnitude = std::fabs(a(k, c));
    if (magnitude > pivot.magnitude) pivot = Pivot{c, magnitude};
  }
  return pivot;
}

// Clears column k below the pivot (k, k) in the sense of Gaussian
// elimination, over rows and columns k + 1..n:
//   a(i, j) = (-a(i, k) / a(k, k)) * a(k, j) + a(i, j)
// negate, divide, multiply, add, each rounded on its own, the multiplier
// recomputed for every j. Column k itself keeps its values. Every result is
// stored before it is checked, so an overflow leaves its infinity in place.
// The pivot has passed the tolerance test, so no division by zero arises.
inline void eliminate_below(DoubleArray& a, std::int32_t k, std::int32_t n) {
  for (std::int32_t i = k + 1; i <= n; ++i) {
    for (std::int32_t j = k + 1; j <= n; ++j) {
      FpFlags f;
      const double multiplier = f.div(-a(i, k), a(k, k));
      const double product = f.mul(multiplier, a(k, j));
      const double updated = f.add(product, a(i, j));
      a(i, j) = updated;
      check(f);
    }
  }
}

}  // namespace nodrel::detail

#endif  // NODREL_LINALG_ELIMINATION_HPP
