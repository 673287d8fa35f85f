// Evaluation of a polynomial from its coefficients, constant first.
//
// The terms are formed with the power function and added from the constant
// upward, each partial sum rounded to a double; this is not Horner's rule,
// which would round differently:
//   coefficients (-1, 2) at x = 4      -> -1 + 2·4 = 7
//   coefficients (0, 0, 0, 1) at x = -2 -> -8
#include <cstdint>

#include "runtime/fp_check.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

double Matr::mGetYPolin(double x, const DoubleArray& Coeff) {
  const std::int32_t n = Coeff.ubound(1);
  double s = 0.0;
  for (std::int32_t i = 1; i <= n; ++i) {
    detail::FpFlags f;
    double t = f.pow(x, i - 1);
    detail::check(f);
    t = f.mul(t, Coeff(i));
    detail::check(f);
    s = f.add(t, s);
    detail::check(f);
  }
  return s;
}

}  // namespace nodrel
