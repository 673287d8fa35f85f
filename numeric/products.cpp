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
// Products up to this many multiplications are cheaper in plain loops than
// any call.
constexpr std::uint64_t kScalarProductUpTo = 5 * 5 * 5;

}  // namespace

Outcome multiply(ConstBlock a, ConstBlock b, Block c) {
  const std::size_t rows = c.rows;
  const std::size_t cols = c.cols;
  const std::size_t inner = a.cols;
  // Counted in 64 bits: on a 32-bit target the product of the orders can
  // exceed a size_t.
  const std::uint64_t multiplications = std::uint64_t{rows} * cols * inner;
  if (multiplications <= kScalarProductUpTo) {
    // Tiny products: plain loops, the finite check (as in all_finite) taken
    // along the way.
    double probe = 0.0;
    for (std::size_t j = 0; j < cols; ++j) {
      for (std::size_t i = 0; i < rows; ++i) {
        double sum = c(i, j);
        for (std::size_t h = 0; h < inner; ++h) sum = a(i, h) * b(h, j) + sum;
        c(i, j) = sum;
        probe += sum * 0.0;
      }
    }
    return probe == 0.0 ? Outcome::kDone : Outcome::kFault;
  }
  if (multiplications <= kBlockedProductFrom) {
    // Column j of the product is a times column j of b, contiguous in b.
    const Kernels& kern = kernels();
    for (std::size_t j = 0; j < cols; ++j) {
      kern.gemv(rows, inner, a.data, a.ld, b.column(j), c.column(j));
    }
  } else {
    product(kernels(), rows, cols, inner, a.data, a.ld, b.data, b.ld, c.data, c.ld);
  }
  return all_finite(c) ? Outcome::kDone : Outcome::kFault;
}

Outcome multiply_vector(ConstBlock a, const double* x, double* y) {
  kernels().gemv(a.rows, a.cols, a.data, a.ld, x, y);
  return all_finite(ConstBlock{y, 0, a.rows, 1}) ? Outcome::kDone : Outcome::kFault;
}

}  // namespace nodrel::numeric
