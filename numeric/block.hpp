// A strided block of doubles, and the one test that all of its elements are
// finite.
//
// The numeric layer works on column-major blocks: element (i, j), counted
// from 0, at data[i + j * ld]. It knows nothing of where a block lives; the
// layer above hands it views of the caller's arrays and of its scratch.
#ifndef NODREL_NUMERIC_BLOCK_HPP
#define NODREL_NUMERIC_BLOCK_HPP

#include <cstddef>

namespace nodrel::numeric {

template <typename T>
struct StridedBlock {
  T* data = nullptr;
  std::size_t ld = 0;
  std::size_t rows = 0;
  std::size_t cols = 0;

  T& operator()(std::size_t i, std::size_t j) const { return data[i + j * ld]; }
  T* column(std::size_t j) const { return data + j * ld; }
  // A read-only view of the same elements.
  operator StridedBlock<const T>() const { return {data, ld, rows, cols}; }
};

using Block = StridedBlock<double>;
using ConstBlock = StridedBlock<const double>;

// True when every element of the block is finite. x * 0.0 is a zero for a
// finite x and NaN for an infinity or a NaN, so a sum of such products is
// zero exactly when every element is finite; four running sums keep the
// loop short.
inline bool all_finite(ConstBlock b) {
  for (std::size_t j = 0; j < b.cols; ++j) {
    const double* col = b.column(j);
    double p0 = 0.0, p1 = 0.0, p2 = 0.0, p3 = 0.0;
    std::size_t i = 0;
    for (; i + 4 <= b.rows; i += 4) {
      p0 += col[i] * 0.0;
      p1 += col[i + 1] * 0.0;
      p2 += col[i + 2] * 0.0;
      p3 += col[i + 3] * 0.0;
    }
    for (; i < b.rows; ++i) p0 += col[i] * 0.0;
    if ((p0 + p1) + (p2 + p3) != 0.0) return false;
  }
  return true;
}

// How an engine of this layer ended: its results are written (kDone); the
// matrix is singular, its determinant zero as the checked loops compute it
// (kSingular); or an element or a result is not finite, so an operation may
// have raised a floating-point flag (kFault): the layer above then runs its
// checked loops, which raise the error at its place.
enum class Outcome { kDone, kSingular, kFault };

}  // namespace nodrel::numeric

#endif  // NODREL_NUMERIC_BLOCK_HPP
