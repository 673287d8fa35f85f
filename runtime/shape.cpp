// Shape tests and exchanges.
#include <cstdint>

#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

bool Matr::mMatrIsVect(const DoubleArray& mtrA) {
  err_code_ = 0;
  // Asking for the upper bounds of dimensions 1 and 2 is how the shape is
  // probed: no array fails the first question, a Vector the second.
  return mtrA.dims() == 1;
}

bool Matr::mMatrIsQuadr(const DoubleArray& mtrDest) {
  err_code_ = 0;
  const std::int32_t r = mtrDest.ubound(1);
  const std::int32_t c = mtrDest.ubound(2);
  return r == c;
}

void Matr::mSwap(DoubleArray& mtrA, DoubleArray& mtrB) {
  err_code_ = 0;
  mtrA.ubound(2);
  // Both copies are taken before either argument changes, and fixedness is
  // tested up front: a bad or fixed mtrA must not leave mtrB overwritten
  // with its own contents lost.
  DoubleArray copy_of_b;
  mDupl(copy_of_b, mtrB);
  DoubleArray copy_of_a;
  mDupl(copy_of_a, mtrA);
  if (mtrA.fixed() || mtrB.fixed()) raise(ErrorNumber::kArrayFixedOrLocked);
  mtrB = std::move(copy_of_a);
  mtrA = std::move(copy_of_b);
}

void Matr::mSwapRC(DoubleArray& mtrA, std::string_view rc, std::int32_t RC1, std::int32_t RC2) {
  err_code_ = 0;
  const std::int32_t r = mtrA.ubound(1);
  const std::int32_t c = mtrA.ubound(2);
  const bool rows = rc.size() == 1 && (rc[0] == 'R' || rc[0] == 'r');
  const bool cols = rc.size() == 1 && (rc[0] == 'C' || rc[0] == 'c');
  // Each selector is guarded on its own dimension, so that an index beyond
  // it returns at once instead of failing halfway through the exchange. On a
  // square matrix this is the guard RC1 > r or RC2 > c. Indices of 0 or
  // below pass; a negative one fails at the first pair, before any exchange.
  if (rows) {
    if (RC1 > r || RC2 > r) return;
    for (std::int32_t j = 1; j <= c; ++j) {
      double& a = mtrA(RC1, j);
      double& b = mtrA(RC2, j);
      SwapValues(a, b);
    }
  } else if (cols) {
    if (RC1 > c || RC2 > c) return;
    for (std::int32_t i = 1; i <= r; ++i) {
      double& a = mtrA(i, RC1);
      double& b = mtrA(i, RC2);
      SwapValues(a, b);
    }
  }
}

}  // namespace nodrel
