// The correctly rounded power against MPFR's exact arithmetic.
//
// Input: 13 bytes. The first picks how the other twelve become a base x and
// a whole exponent n: as they stand (any double, any int32), or steered to
// where rounding is hard: n small (|n| <= 64) or x within a few units of 1,
// whose powers stay in range for large n. MPFR's pow_si, its exponent range
// narrowed to the double's and the result subnormalised, gives x^n rounded
// once to nearest, ties to even, as IEEE 754 rounds it; power(x, n) must give
// the same bits. A NaN base gives a NaN (its payload is the power's own).
#include <mpfr.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.hpp"
#include "numeric/power.hpp"

namespace {

double exact_power(double x, std::int32_t n) {
  mpfr_t base, result;
  mpfr_inits2(53, base, result, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_emin(-1073);
  mpfr_set_emax(1024);
  mpfr_set_d(base, x, MPFR_RNDN);
  const int inexact = mpfr_pow_si(result, base, n, MPFR_RNDN);
  mpfr_subnormalize(result, inexact, MPFR_RNDN);
  const double d = mpfr_get_d(result, MPFR_RNDN);
  mpfr_clears(base, result, static_cast<mpfr_ptr>(nullptr));
  return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 13) return 0;
  std::uint64_t bits = 0;
  std::int32_t n = 0;
  std::memcpy(&bits, data + 1, sizeof bits);
  std::memcpy(&n, data + 9, sizeof n);
  double x = std::bit_cast<double>(bits);
  switch (data[0] % 4) {
    case 1: n = n % 65; break;
    case 2:  // a base a few units from 1, whose powers stay in range far out
      x = 1.0 + std::ldexp(static_cast<double>(static_cast<std::int64_t>(bits) % 64), -52);
      break;
    case 3:  // a base in [1, 2) raised to a moderate power
      x = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFu) | 0x3FF0000000000000u);
      n = n % 700;
      break;
    default: break;
  }
  const double got = nodrel::numeric::power(x, n);
  const double want = exact_power(x, n);
  if (std::isnan(want) ? !std::isnan(got)
                       : std::bit_cast<std::uint64_t>(got) != std::bit_cast<std::uint64_t>(want)) {
    nodrel::fuzz::finding("power(%a, %d) = %a, exactly rounded %a", x, n, got, want);
  }
  return 0;
}
