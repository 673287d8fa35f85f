// The square linear system A x = b by Cramer's rule.
#include <cstdint>

#include "fastpath/driver.hpp"
#include "runtime/fp_check.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

void Matr::mSist(DoubleArray& vetX, DoubleArray& mtrA, DoubleArray& vetB) {
  if (&vetX == &vetB) {
    // One array for the solution and the right-hand side: read b from a
    // copy, so that writing x(k) cannot corrupt the exchanges. The array
    // ends up holding the solution, as a distinct vetX would.
    DoubleArray rhs = vetB;
    mSist(vetX, mtrA, rhs);
    return;
  }
  err_code_ = 0;
  const std::int32_t n = mtrA.ubound(1);

  detail::fast::system(vetX, mtrA, vetB, n, [&] {
    const double d = mDet(mtrA);
    // Column k of A is replaced by b in place, by exchanging the two, and the
    // exchange is undone after its determinant. When a run-time error ends
    // the call with the exchange standing (a zero D, an overflow, a missing
    // index), it is undone before the error travels on: the caller's matrix
    // and right-hand side never come back mixed. What x received stays.
    for (std::int32_t k = 1; k <= n; ++k) {
      std::int32_t exchanged = 0;
      try {
        for (std::int32_t i = 1; i <= n; ++i) {
          SwapValues(mtrA(i, k), vetB(i));
          exchanged = i;
        }
        const double dk = mDet(mtrA);
        // A zero D (singular, flushed, or not square) fails here: division by
        // zero, or an invalid operation when Dk is 0 too. The faulty quotient
        // is stored first.
        detail::FpFlags f;
        const double quotient = f.div(dk, d);
        vetX(k) = quotient;
        detail::check(f);
      } catch (...) {
        for (std::int32_t i = 1; i <= exchanged; ++i) SwapValues(vetB(i), mtrA(i, k));
        throw;
      }
      for (std::int32_t i = 1; i <= n; ++i) SwapValues(vetB(i), mtrA(i, k));
    }
  });
}

}  // namespace nodrel
