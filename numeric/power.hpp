// A double raised to a whole exponent, correctly rounded.
//
// power(x, n) is the exact value of x multiplied by itself n times (for a
// negative n, the reciprocal of x to the power -n), rounded once to the
// nearest double, a tie to the one whose last significand bit is 0. It is the
// power function of the polynomial methods: the columns of a fit's design
// matrix (x^0 to x^(Rank-1)), the terms of an evaluation (x^0 to x^(n-1)) and
// the b^2 of a quadratic's discriminant. The result does not depend on the
// platform, its C runtime or the optimiser: it is computed here with additions
// and multiplications of doubles alone, each rounded on its own.
//
// Results out of range follow IEEE 754: beyond the largest double (an exact
// value of at least 2^1024 - 2^970, the midpoint between the largest double
// and 2^1024, which ties to 2^1024) an infinity; below the smallest
// subnormal a zero; in between the subnormal nearest to the exact value. The
// sign is the sign of x when n is odd, positive otherwise, for zeros and
// infinities too. Nothing is raised or reported: a caller that checks
// results derives the exception from operands and result (an infinity from a
// finite x is an overflow; from a zero x, with n < 0, a division by zero).
//
// Every integer exponent is allowed. The exponent 0 gives 1 for every x:
// zero, infinity and NaN included, as the C pow does for an exponent 0.
//
// Worked examples:
//   power(3.0, 2)          ->  9
//   power(-2.0, 3)         -> -8
//   power(2.0, -3)         ->  0.125
//   power(0.0, 0)          ->  1          (also infinity and NaN to the power 0)
//   power(NaN, 5)          ->  NaN        (quiet, with the payload of x)
//   power(-0.0, 3)         -> -0.0
//   power(-0.0, -3)        -> -infinity   (a caller reports division by zero)
//   power(0.0, -2)         ->  infinity
//   power(-infinity, 3)    -> -infinity
//   power(infinity, -1)    ->  0
//   power(1e200, 2)        ->  infinity   (a caller reports overflow)
//   power(1e-200, 2)       ->  0
//   power(3.0, 34)         ->  16677181699666568
//        3^34 = 16677181699666569 has 54 significant bits: it lies halfway
//        between 16677181699666568 and 16677181699666570, and ties to the
//        first, whose significand is even.
//   power(2.0, -1075)      ->  0
//        halfway between 0 and the smallest subnormal 2^-1074: to even, 0.
//   power(3.0 * 2^-360, 3) ->  27 * 2^-1080 rounded to the subnormal grid of
//        2^-1074: 27/64 of the smallest subnormal, which is 0; while
//        power(5.0 * 2^-358, 3) = 125 * 2^-1074 is exact.
//   power(1.0000000000000002, 2147483647)
//                          ->  1.0000004768372717 (x = 1 + 2^-52; the exact
//        value (1 + 2^-52)^(2^31 - 1) is about e^(2^-21))
//
// The cost: one multiplication for n = 2 and one division for n = -1, which
// IEEE 754 already rounds correctly; otherwise about 2·log2|n| products in
// double-double arithmetic and a rounding test, a few dozen operations. A
// result closer to a rounding boundary than the error bound of that
// arithmetic (exact ties, and about one case in 2^40 otherwise) is settled
// by exact integer arithmetic, which takes memory from the free store and
// may throw std::bad_alloc.
#ifndef NODREL_NUMERIC_POWER_HPP
#define NODREL_NUMERIC_POWER_HPP

#include <cstdint>

namespace nodrel::numeric {

double power(double x, std::int32_t n);

}  // namespace nodrel::numeric

#endif  // NODREL_NUMERIC_POWER_HPP
