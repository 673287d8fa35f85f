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

#include "numeric/block.hpp"

namespace nodrel::numeric {

// c += a * b over k = a.cols = b.rows terms; c is a.rows x b.cols.
Outcome multiply(ConstBlock a, ConstBlock b, Block c);

// y[i] += a(i, j) * x[j] for j in increasing order; y has a.rows elements.
Outcome multiply_vector(ConstBlock a, const double* x, double* y);

}  // namespace nodrel::numeric

#endif  // NODREL_NUMERIC_PRODUCTS_HPP
