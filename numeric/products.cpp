#include "numeric/products.hpp"

#include <cstddef>
#include <cstdint>

#include "numeric/kernels.hpp"

namespace nodrel::numeric {

Outcome multiply_blocked(const ConstBlock& a, const ConstBlock& b, const Block& c) {
  product(kernels(), c.rows, c.cols, a.cols, a.data, a.ld, b.data, b.ld, c.data, c.ld);
  return all_finite(c) ? Outcome::kDone : Outcome::kFault;
}

Outcome multiply_vector(ConstBlock a, const double* x, double* y) {
  kernels().gemv(a.rows, a.cols, a.data, a.ld, x, y);
  return all_finite(ConstBlock{y, 0, a.rows, 1}) ? Outcome::kDone : Outcome::kFault;
}

}  // namespace nodrel::numeric
