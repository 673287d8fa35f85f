#include "numeric/products.hpp"

#include <cstddef>
#include <cstdint>

#include "numeric/kernels.hpp"

namespace nodrel::numeric {

namespace {

// Products at or below this many multiplications are formed column by
// column with the matrix-vector kernel; larger ones go through the blocked
// product, whose packing pays off only then.
constexpr std::uint64_t kBlockedProductFrom = 24 * 24 * 24;

}  // namespace

Outcome multiply(ConstBlock a, ConstBlock b, Block c) {
  const std::size_t rows = c.rows;
  const std::size_t cols = c.cols;
  const std::size_t inner = a.cols;
  // Counted in 64 bits: on a 32-bit target the product of the orders can
  // exceed a size_t.
  const std::uint64_t multiplications = std::uint64_t{rows} * cols * inner;
  if (multiplications <= kBlockedProductFrom) {
    // Column j of the product is a times column j of b, contiguous in b.
    return kernels().product_columns(rows, cols, inner, a.data, a.ld, b.data, b.ld, c.data, c.ld)
               ? Outcome::kDone
               : Outcome::kFault;
  }
  product(kernels(), rows, cols, inner, a.data, a.ld, b.data, b.ld, c.data, c.ld);
  return all_finite(c) ? Outcome::kDone : Outcome::kFault;
}

Outcome multiply_vector(ConstBlock a, const double* x, double* y) {
  kernels().gemv(a.rows, a.cols, a.data, a.ld, x, y);
  return all_finite(ConstBlock{y, 0, a.rows, 1}) ? Outcome::kDone : Outcome::kFault;
}

}  // namespace nodrel::numeric
