// The power against exact arithmetic: MPFR's pow_si rounded to nearest in
// the double format (its exponent range narrowed to the double's, then
// subnormalised, so a subnormal result is rounded once, as IEEE 754 rounds
// it). Every family of bases and exponents draws its cases from a fixed seed.
// NODREL_POWER_CASES sets the number of cases of each family (default
// 100,000, a few seconds); a run by hand can ask for millions:
//   NODREL_POWER_CASES=10000000 build/default/tests/numeric/nodrel_power_exact_test
// Each family also says how many of its exact powers lay on a rounding
// boundary (ties) or so close to one that the fast path had to hand them to
// the exact comparison.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>

#include "numeric/power.hpp"

namespace nodrel::numeric {
namespace {

struct Case {
  double x;
  std::int32_t n;
};

class Exact {
 public:
  Exact() {
    mpfr_inits2(53, x_, r_, static_cast<mpfr_ptr>(nullptr));
    mpfr_inits2(320, wide_, t_, static_cast<mpfr_ptr>(nullptr));
  }
  ~Exact() { mpfr_clears(x_, r_, wide_, t_, static_cast<mpfr_ptr>(nullptr)); }
  Exact(const Exact&) = delete;
  Exact& operator=(const Exact&) = delete;

  // x^n rounded to nearest, ties to even, in the double format.
  double rounded(const Case& c) {
    mpfr_set_emin(-1073);
    mpfr_set_emax(1024);
    mpfr_set_d(x_, c.x, MPFR_RNDN);
    int t = mpfr_pow_si(r_, x_, c.n, MPFR_RNDN);
    t = mpfr_subnormalize(r_, t, MPFR_RNDN);
    const double d = mpfr_get_d(r_, MPFR_RNDN);
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
    return d;
  }

  // The distance of |x|^n from the nearest rounding boundary, in units of
  // half the spacing of the doubles at its binade (as the fast path sees
  // it), from a 320-bit power; infinity out of the double range.
  double distance_to_boundary(const Case& c) {
    mpfr_set_d(x_, std::fabs(c.x), MPFR_RNDN);
    mpfr_pow_si(wide_, x_, c.n, MPFR_RNDN);
    const long e = mpfr_get_exp(wide_) - 1;  // wide_ in [2^e, 2^(e+1))
    if (e > 1024 || e < -1100) return INFINITY;
    const long shift = e >= -1022 ? 53 : e + 1075;
    mpfr_mul_2si(wide_, wide_, shift - e - 1, MPFR_RNDN);  // T/2
    mpfr_floor(t_, wide_);
    mpfr_sub(wide_, wide_, t_, MPFR_RNDN);
    mpfr_mul_2si(wide_, wide_, 1, MPFR_RNDN);
    mpfr_sub_ui(wide_, wide_, 1, MPFR_RNDN);  // T - (2·floor(T/2) + 1)
    return std::fabs(mpfr_get_d(wide_, MPFR_RNDN));
  }

 private:
  mpfr_t x_, r_, wide_, t_;
};

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

std::int64_t cases_per_family() {
  const char* text = std::getenv("NODREL_POWER_CASES");
  return text != nullptr ? std::strtoll(text, nullptr, 10) : 100000;
}

using Draw = std::function<Case(std::mt19937_64&)>;

double uniform(std::mt19937_64& g, double lo, double hi) {
  return std::uniform_real_distribution<double>(lo, hi)(g);
}
std::int64_t integer(std::mt19937_64& g, std::int64_t lo, std::int64_t hi) {
  return std::uniform_int_distribution<std::int64_t>(lo, hi)(g);
}
double with_random_sign(std::mt19937_64& g, double x) { return (g() & 1) != 0 ? -x : x; }

// A base whose n-th power is near 2^t: 2^(t/n) moved by a few units in the
// last place (the base's own rounding spreads the power by n units).
double base_for(std::mt19937_64& g, double t, std::int32_t n) {
  double x = std::exp2(t / n);
  for (std::int64_t k = integer(g, -3, 3); k != 0; k += k > 0 ? -1 : 1) {
    x = std::nextafter(x, k > 0 ? INFINITY : 0.0);
  }
  return with_random_sign(g, x);
}

// An odd m with m^n of exactly `width` bits, or 0 when there is none.
std::uint64_t odd_root(std::mt19937_64& g, int width, std::int32_t n) {
  const auto lo = static_cast<std::uint64_t>(std::ceil(std::exp2((width - 1.0) / n)));
  const auto hi = static_cast<std::uint64_t>(std::floor(std::exp2(width / static_cast<double>(n))));
  for (int tries = 0; tries < 8 && lo <= hi; ++tries) {
    const std::uint64_t m = static_cast<std::uint64_t>(integer(g, static_cast<std::int64_t>(lo),
                                                               static_cast<std::int64_t>(hi))) |
                            1;
    unsigned __int128 p = 1;
    for (std::int32_t i = 0; i < n; ++i) p *= m;
    if (p >= (static_cast<unsigned __int128>(1) << (width - 1)) &&
        p < (static_cast<unsigned __int128>(1) << width)) {
      return m;
    }
  }
  return 0;
}

TEST(PowerExactTest, MillionsOfPowersAgainstMpfr) {
  struct Family {
    const char* what;
    Draw draw;
  };
  const Family families[] = {
      {"any base, |n| <= 40, results across the whole range",
       [](std::mt19937_64& g) {
         auto n = static_cast<std::int32_t>(integer(g, 1, 40));
         if ((g() & 1) != 0) n = -n;
         return Case{base_for(g, uniform(g, -1110.0, 1060.0), n), n};
       }},
      {"bases near 1, |n| up to 2^31",
       [](std::mt19937_64& g) {
         auto n = static_cast<std::int32_t>(std::exp2(uniform(g, 5.0, 31.0)));
         if ((g() & 1) != 0) n = -n;
         return Case{base_for(g, uniform(g, -1110.0, 1060.0), n), n};
       }},
      {"results next to 2^1024 - 2^970, 2^-1022, 2^-1074 and 2^-1075",
       [](std::mt19937_64& g) {
         const double thresholds[] = {1024.0, -1022.0, -1074.0, -1075.0};
         auto n = static_cast<std::int32_t>(integer(g, 3, 200));
         if ((g() & 1) != 0) n = -n;
         return Case{base_for(g, thresholds[g() % 4], n), n};
       }},
      {"exact powers and exact ties (m^n of 2 to 54 bits, normal and subnormal)",
       [](std::mt19937_64& g) {
         for (;;) {
           const auto n = static_cast<std::int32_t>(integer(g, 2, 34));
           const int width = (g() & 1) != 0 ? 54 : static_cast<int>(integer(g, 2, 53));
           const std::uint64_t m = odd_root(g, width, n);
           if (m == 0) continue;
           // The power's lowest bit at 2^(e·n): anywhere in the normal range,
           // or down to where it is half the smallest subnormal.
           const std::int64_t lowest =
               (g() & 1) != 0 ? integer(g, -1075 - width, 1020 - width) : integer(g, -1080, -1074);
           const std::int64_t e = lowest / n;
           if (e < -1074 || e > 960) continue;  // m·2^e must be a double
           return Case{with_random_sign(g, std::ldexp(static_cast<double>(m), static_cast<int>(e))),
                       n};
         }
       }},
      {"subnormal bases, n from -4 to 4",
       [](std::mt19937_64& g) {
         const double x = std::bit_cast<double>(static_cast<std::uint64_t>(
             integer(g, 1, static_cast<std::int64_t>(0x000FFFFFFFFFFFFFULL))));
         auto n = static_cast<std::int32_t>(integer(g, 1, 4));
         if ((g() % 4) != 0) n = -n;
         return Case{with_random_sign(g, x), n};
       }},
      {"any finite double, any exponent",
       [](std::mt19937_64& g) {
         double x;
         do {
           x = std::bit_cast<double>(g());
         } while (!std::isfinite(x));
         return Case{x, static_cast<std::int32_t>(static_cast<std::uint32_t>(g()))};
       }},
  };
  const std::int64_t count = cases_per_family();
  Exact exact;
  std::int64_t total = 0;
  for (const Family& family : families) {
    SCOPED_TRACE(family.what);
    std::mt19937_64 g(20261206);
    std::int64_t ties = 0, near = 0, failures = 0;
    for (std::int64_t i = 0; i < count && failures < 10; ++i) {
      const Case c = family.draw(g);
      const double expected = exact.rounded(c);
      const double got = power(c.x, c.n);
      if (bits(got) != bits(expected)) {
        ++failures;
        ADD_FAILURE() << std::hexfloat << c.x << "^" << c.n << ": " << got << ", exact " << expected;
      }
      const double d = exact.distance_to_boundary(c);
      // The fast path's bound, as numeric/power.cpp forms it.
      const double bound =
          (std::fabs(static_cast<double>(c.n)) + 1.0) * 0x1p-100 * (0x1p54 + 4.0) + 0x1p-50;
      ties += d == 0.0 ? 1 : 0;
      near += d != 0.0 && d <= bound ? 1 : 0;
    }
    total += count;
    std::printf("%lld cases: %s; %lld exact ties, %lld more within the fast path's bound\n",
                static_cast<long long>(count), family.what, static_cast<long long>(ties),
                static_cast<long long>(near));
  }
  std::printf("%lld cases in all\n", static_cast<long long>(total));
}

}  // namespace
}  // namespace nodrel::numeric
