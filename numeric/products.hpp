// The products of blocks, as the checked loops of mMult and mMultVett form
// them: each element of the result is the sum over the inner index in
// increasing order, starting from the value it holds (the 0.0 of a fresh
// destination), each product rounded to a double before it is added.
//
// A source element that is not finite, or a product or partial sum that
// overflows or is invalid, leaves its result element non-finite: so results
// that are all finite mean that no operation raised a flag, and otherwise
// the engine answers kFault and the layer above runs its checked loops.
#ifndef NODREL_NUMERIC_PRODUCTS_HPP
#define NODREL_NUMERIC_PRODUCTS_HPP

#include <cstdint>

#include "numeric/block.hpp"
#include "numeric/kernels.hpp"

namespace nodrel::numeric {

// Products at or below this many multiplications are formed column by
// column with kernels().product_columns; larger ones go through the blocked
// product, whose packing pays off only then.
inline constexpr std::uint64_t kBlockedProductFrom = 24 * 24 * 24;

// The blocked product of multiply, for any size.
Outcome multiply_blocked(const ConstBlock& a, const ConstBlock& b, const Block& c);

// c += a * b over k = a.cols = b.rows terms; c is a.rows x b.cols and shares
// no element with a or b. Inline: at the small orders the call itself is a
// good part of the cost.
inline Outcome multiply(const ConstBlock& a, const ConstBlock& b, const Block& c) {
  // Counted in 64 bits: on a 32-bit target the product of the orders can
  // exceed a size_t.
  if (std::uint64_t{c.rows} * c.cols * a.cols > kBlockedProductFrom) {
    return multiply_blocked(a, b, c);
  }
  return kernels().product_columns(c.rows, c.cols, a.cols, a.data, a.ld, b.data, b.ld, c.data,
                                   c.ld)
             ? Outcome::kDone
             : Outcome::kFault;
}

// y[i] += a(i, j) * x[j] for j in increasing order; y has a.rows elements.
Outcome multiply_vector(ConstBlock a, const double* x, double* y);

}  // namespace nodrel::numeric

#endif  // NODREL_NUMERIC_PRODUCTS_HPP
