// Raw views of the caller's arrays for the fast paths.
//
// A fast path works on the column-major storage of an array directly,
// without the checked element access. It may do so only when every element
// that the loops address exists: the array has the expected number of
// dimensions, each lower bound is 0 or 1 (so index 1 exists) and each upper
// bound reaches what the loops need. Anything else (a lower bound of 2, a
// missing dimension, an array too small) goes to the checked loops, which
// fail at the element where the algorithm fails.
#ifndef NODREL_ALGEBRA_DENSE_HPP
#define NODREL_ALGEBRA_DENSE_HPP

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>

#include "matr/memory.hpp"
#include "nodrel/double_array.hpp"
#include "nodrel/error.hpp"

namespace nodrel::detail {

// Element (i, j), counted from 1, at data[(i - 1) + (j - 1) * ld].
struct MatrixView {
  const double* data = nullptr;
  std::size_t ld = 0;
  double at(std::int32_t i, std::int32_t j) const {
    return data[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * ld];
  }
};

// A view of elements 1..rows, 1..cols of a two-dimensional array, or false
// when one of them is missing. rows and cols are at least 1.
inline bool view_matrix(const DoubleArray& a, std::int32_t rows, std::int32_t cols,
                        MatrixView& view) {
  if (a.dims() != 2 || rows < 1 || cols < 1) return false;
  const ArrayBound& b1 = a.bounds()[0];
  const ArrayBound& b2 = a.bounds()[1];
  if (b1.lower < 0 || b1.lower > 1 || b2.lower < 0 || b2.lower > 1) return false;
  if (b1.upper() < rows || b2.upper() < cols) return false;
  view.ld = b1.count;
  view.data =
      a.storage().data() + (1 - b1.lower) + static_cast<std::size_t>(1 - b2.lower) * view.ld;
  return true;
}

// Elements 1..n of a one-dimensional array at data[0..n-1], or nullptr when
// one of them is missing. n is at least 1.
inline const double* view_vector(const DoubleArray& v, std::int32_t n) {
  if (v.dims() != 1 || n < 1) return nullptr;
  const ArrayBound& b = v.bounds()[0];
  if (b.lower < 0 || b.lower > 1 || b.upper() < n) return nullptr;
  return v.storage().data() + (1 - b.lower);
}

// True when every element of the block is finite.
inline bool all_finite(const double* a, std::size_t ld, std::size_t rows, std::size_t cols) {
  for (std::size_t j = 0; j < cols; ++j) {
    const double* col = a + j * ld;
    // A sum of products by zero is NaN exactly when some element is
    // infinite or NaN, so one comparison per column suffices.
    double probe = 0.0;
    for (std::size_t i = 0; i < rows; ++i) probe += col[i] * 0.0;
    if (probe != 0.0) return false;
  }
  return true;
}

}  // namespace nodrel::detail

#endif  // NODREL_ALGEBRA_DENSE_HPP
