// The floating-point check: every arithmetic result that a method stores is
// examined for the IEEE 754 exceptions its operations raised.
//
// Invalid operation or overflow fails the call with run-time error 6,
// division by zero with run-time error 11; the faulty value (an infinity or a
// NaN) is stored before the check runs, so it stays where the result went.
// Underflow and inexact results are not faults. A quiet NaN or an infinity
// that the caller passed in and that raises no flag (NaN + 1, inf * 2) passes
// unnoticed; a signalling NaN operand raises invalid.
//
// The flags are derived from the operands and the result instead of being
// read from the floating-point environment: the derivation is exact for the
// five operations used here, costs no call into <cfenv>, and cannot be
// reordered away by the compiler. tests/runtime/fp_check_test.cpp proves it
// against the hardware's own flags.
//
//   FpFlags f;
//   double s = f.mul(1e300, 1e300);   // s = inf, f has overflow
//   check(f)                          -> run-time error 6
//   FpFlags g;
//   g.div(1.0, 0.0);  check(g)        -> run-time error 11
//   FpFlags h;
//   h.add(NAN, 1.0);  check(h)        -> no error (a quiet NaN passed in)
#ifndef NODREL_RUNTIME_FP_CHECK_HPP
#define NODREL_RUNTIME_FP_CHECK_HPP

#include <bit>
#include <cmath>
#include <cstdint>

#include "runtime/memory.hpp"
#include "numeric/power.hpp"

namespace nodrel::detail {

// True for a signalling NaN: a NaN whose quiet bit (the top bit of the
// significand) is clear.
inline bool is_signalling_nan(double x) noexcept {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  constexpr std::uint64_t kExponent = 0x7FF0000000000000ULL;
  constexpr std::uint64_t kQuiet = 0x0008000000000000ULL;
  constexpr std::uint64_t kSignificand = 0x000FFFFFFFFFFFFFULL;
  return (bits & kExponent) == kExponent && (bits & kSignificand) != 0 && (bits & kQuiet) == 0;
}

// The exceptions raised by a sequence of operations, and the operations
// themselves, each rounded to a double on its own (no contraction).
class FpFlags {
 public:
  static constexpr unsigned kInvalid = 1;
  static constexpr unsigned kDivByZero = 2;
  static constexpr unsigned kOverflow = 4;

  double add(double a, double b) noexcept {
    const double r = a + b;
    sum_flags(a, b, r);
    return r;
  }
  double sub(double a, double b) noexcept {
    const double r = a - b;
    sum_flags(a, b, r);
    return r;
  }
  double mul(double a, double b) noexcept {
    const double r = a * b;
    if (is_signalling_nan(a) || is_signalling_nan(b) || (std::isinf(a) && b == 0.0) ||
        (a == 0.0 && std::isinf(b))) {
      bits_ |= kInvalid;
    } else if (std::isinf(r) && std::isfinite(a) && std::isfinite(b)) {
      bits_ |= kOverflow;
    }
    return r;
  }
  double div(double a, double b) noexcept {
    const double r = a / b;
    if (is_signalling_nan(a) || is_signalling_nan(b) || (a == 0.0 && b == 0.0) ||
        (std::isinf(a) && std::isinf(b))) {
      bits_ |= kInvalid;
    } else if (b == 0.0 && std::isfinite(a)) {
      bits_ |= kDivByZero;  // a is non-zero here: 0 / 0 is invalid above
    } else if (std::isinf(r) && std::isfinite(a) && std::isfinite(b)) {
      bits_ |= kOverflow;
    }
    return r;
  }
  // x to a whole power, correctly rounded on every platform
  // (numeric/power.hpp); x^0 is 1 for every x. Its scratch for the rare
  // exact comparison is refused as an array is, with error 7.
  double pow(double x, std::int32_t n) {
    const double r = with_scratch([&] { return numeric::power(x, n); });
    if (is_signalling_nan(x)) {
      bits_ |= kInvalid;
    } else if (std::isinf(r) && x == 0.0) {
      bits_ |= kDivByZero;  // 0 to a negative power
    } else if (std::isinf(r) && std::isfinite(x)) {
      bits_ |= kOverflow;
    }
    return r;
  }
  double sqrt(double x) noexcept {
    const double r = std::sqrt(x);
    if (is_signalling_nan(x) || x < 0.0) bits_ |= kInvalid;
    return r;
  }

  unsigned bits() const noexcept { return bits_; }
  // Raises the error of the flags so far, as check() below does: for
  // formulas shared with the numeric layer, which mark where the checks go.
  void checkpoint() const;

 private:
  void sum_flags(double a, double b, double r) noexcept {
    if (is_signalling_nan(a) || is_signalling_nan(b) ||
        (std::isnan(r) && !std::isnan(a) && !std::isnan(b))) {
      bits_ |= kInvalid;  // inf - inf
    } else if (std::isinf(r) && std::isfinite(a) && std::isfinite(b)) {
      bits_ |= kOverflow;
    }
  }

  unsigned bits_ = 0;
};

// Raises the run-time error for the flags: 6 for invalid or overflow, 11 for
// division by zero (invalid wins when one statement raised both). Returns
// normally when none of them is set.
void raise_fp_fault(unsigned bits);
inline void check(const FpFlags& flags) {
  if (flags.bits() != 0) raise_fp_fault(flags.bits());
}
inline void FpFlags::checkpoint() const { check(*this); }

// The component's comparison of doubles: two values differ only when one is
// less than or greater than the other, so -0.0 equals 0.0 and a NaN equals
// every value.
inline bool differ(double a, double b) noexcept { return a < b || a > b; }

}  // namespace nodrel::detail

#endif  // NODREL_RUNTIME_FP_CHECK_HPP
