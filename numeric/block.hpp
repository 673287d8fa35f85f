// A strided block of doubles, and the one test that all of its elements are
// finite.
//
// The numeric layer works on column-major blocks: element (i, j), counted
// from 0, at data[i + j * ld]. It knows nothing of where a block lives; the
// layer above hands it views of the caller's arrays and of its scratch.
#ifndef NODREL_NUMERIC_BLOCK_HPP
#define NODREL_NUMERIC_BLOCK_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

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

// True when every element of the block is finite. An element is not finite
// exactly when its exponent bits are all ones; adding one at the lowest
// exponent bit then carries into the sign bit. Integer operations only, so
// the loop needs no order and the compiler runs it in vectors, and a
// single test at the end.
inline bool all_finite(ConstBlock b) {
  constexpr std::uint64_t kExponent = 0x7FF0000000000000u;
  constexpr std::uint64_t kCarry = std::uint64_t{1} << 52;
  std::uint64_t seen = 0;
  for (std::size_t j = 0; j < b.cols; ++j) {
    const double* col = b.column(j);
    for (std::size_t i = 0; i < b.rows; ++i) {
      std::uint64_t bits;
      std::memcpy(&bits, col + i, sizeof bits);
      seen |= (bits & kExponent) + kCarry;
    }
  }
  return (seen >> 63) == 0;
}

// How an engine of this layer ended: its results are written (kDone); the
// matrix is singular, its determinant zero as the checked loops compute it
// (kSingular); or an element or a result is not finite, so an operation may
// have raised a floating-point flag (kFault): the layer above then runs its
// checked loops, which raise the error at its place.
enum class Outcome { kDone, kSingular, kFault };

}  // namespace nodrel::numeric

#endif  // NODREL_NUMERIC_BLOCK_HPP
