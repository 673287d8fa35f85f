// The abscissas at which a line or a quadratic reaches a level.
//
// For a + b·x + c·x² = y the discriminant is formed as b² − ((a − y)·4)·c,
// in that order, and the roots as (−b ± √D) / (c + c): 2c as c + c and −b by
// a change of sign are exact, so only the square root, the sum and the
// quotient round. The root with +√D always goes to x1, whatever the sign of c.
//   (−3, 2, 1), y = 0     -> x1 = 1, x2 = −3
//   (3, −2, −1), y = 0    -> x1 = −3, x2 = 1
//   (1, −2, 1), y = −1    -> no root; with MaxF the vertex x1 = 1
#include <cstdint>

#include "runtime/fp_check.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

void Matr::mGetXsOfQuadr(double& x1, double& x2, double y, const DoubleArray& Coeff,
                         VariantRef MaxF) {
  x1 = 0.0;
  x2 = 0.0;
  const std::int32_t n = Coeff.ubound(1);
  if (n == 1) {
    x1 = y;
    return;
  }
  if (n == 2) {
    // The straight line a + b·x: the quotient is stored before it is
    // checked, so a vertical fault leaves the non-finite value in x1.
    const double a = Coeff(1);
    const double b = Coeff(2);
    detail::FpFlags f;
    x1 = f.div(f.sub(y, a), b);
    detail::check(f);
    return;
  }
  if (n != 3 && n != 4) return;

  const double a = Coeff(1);
  const double b = Coeff(2);
  const double c = n == 3 ? Coeff(3) : Coeff(4);  // with four elements the third is unread
  detail::FpFlags fd;
  double t = fd.sub(a, y);
  t = fd.mul(t, 4.0);
  t = fd.mul(t, c);
  const double d = fd.sub(fd.pow(b, 2), t);
  detail::check(fd);  // a fault in D comes before any output is written

  if (d >= 0.0 && c != 0.0) {
    detail::FpFlags f1;
    const double s1 = f1.sqrt(d);
    x1 = f1.div(f1.add(-b, s1), f1.add(c, c));
    detail::check(f1);  // the first root is stored before its check
    detail::FpFlags f2;
    const double s2 = f2.sqrt(d);
    const double root2 = f2.div(f2.sub(-b, s2), f2.add(c, c));
    detail::check(f2);  // the second is checked before it is stored
    x2 = root2;
    return;
  }
  // No two roots. The flag is read only on this path; Null counts as false.
  const bool max_f = !MaxF->is_missing() && to_boolean_null_false(*MaxF, locale_);
  if (max_f) {
    detail::FpFlags f;
    const double vertex = f.div(-b, f.add(c, c));
    detail::check(f);
    x1 = vertex;
  }
}

}  // namespace nodrel
