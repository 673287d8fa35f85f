// A double to a whole exponent, correctly rounded: how and why it is right.
//
// Write |x| = h0 · 2^e0 with h0 in [1, 2) and N = |n|. The fast path raises
// h0 to the N-th power in double-double arithmetic (a value hi + lo, two
// doubles, |lo| <= u·|hi| with u = 2^-53), keeping the binary exponent apart
// in a 64-bit integer, so that no intermediate value can overflow or
// underflow; every hi stays in [1, 2) by exact scalings by 2. For n < 0 it
// then takes the reciprocal in the same arithmetic. Last, it rounds the
// approximation to a double if, and only if, its error bound proves that the
// exact value rounds to the same double; otherwise the slow path compares
// the exact power with the one rounding boundary in question using integers.
//
// Error bound. Let eta = 2^-102 (= 16u²).
//  - A double-double product (mul below) of a = ah + al and b = bh + bl,
//    |al| <= u|ah|, |bl| <= u|bh|: ah·bh = p + e exactly (Dekker's product,
//    exact here because ah, bh lie in [1, 2)); ah·bl and al·bh are rounded
//    (error u² each, relative to |ah·bh|), added (2u²) and added to e (3u²);
//    al·bl (u²) is dropped; the final Fast2Sum is exact. In all
//    8u²(1 + u)² |ah·bh| <= 9u² |a·b|: the relative error is below eta.
//    (The low parts could in principle become subnormal, adding an absolute
//    error of 2^-1074 to a value near 1: covered by the gap from 9u² to 16u².)
//  - Binary powering forms x^N with N - 1 products in all (counting the
//    products each factor took), each a relative error below eta with
//    respect to its computed operands, so the result is x^N·(1 + d) with
//    |d| <= (1 + eta)^(N-1) - 1 <= (N - 1)·eta·(1 + 2^-70) for N <= 2^31.
//  - The reciprocal of y = hi + lo (recip below): q1 = 1/hi rounded; the
//    residual r = 1 - q1·y is formed with an error of at most 4u²(1 + u)²
//    (1 - p and the Dekker error e are exact, two roundings remain) and
//    |r| <= 2u(1 + u); q1 + q1·r misses 1/y = q1/(1 - r) by the dropped r²
//    term (4u²), the rounding of q1·r (2u²) and the residual's error (4u²):
//    below 11u² < eta relative to 1/y.
//  - So the approximation Y of the exact power Z satisfies
//    |Y - Z| <= eps·|Z| with eps = 2·(N + 1)·eta, and therefore
//    |Y - Z| <= 2·eps·|Y| (eps is at most 2^-69).
//
// Rounding test. Let q be the spacing of the doubles at Y's binade (2^-1074
// in the subnormal range) and T = Y / (q/2): the rounding boundaries, the
// midpoints between neighbouring doubles, are the odd integers in T's units;
// the double nearest to Y is k·q with k = (floor(T) + 1) div 2. The exact
// power rounds to the same k whenever T is farther than 2·eps·T from every
// odd integer. T is formed exactly as a_int + (frac + b) (a_int, frac the
// integer and fractional parts of hi/(q/2), b = lo/(q/2), all exact
// scalings), so only the sum frac + b and the distance to the odd integer
// are rounded, by less than 2^-50 together, which the test adds to the bound.
// The bound is at most 2^-13 in T's units, so T can be near only one odd
// integer. Binade boundaries take care of themselves: Y is renormalised so
// that hi + lo lies in [1, 2), and a k of 2^53 is the next binade's first
// double.
//
// Slow path. Near a midpoint M = o·2^f (o odd), the sign of Z - M decides:
// with |x| = m·2^e (m odd), Z = m^N·2^(eN) for n > 0, and Z = 2^(eN) / m^N
// for n < 0, where eN is e·n, so the question is the sign of
// m^N·2^(eN) - o·2^f, or of o·m^N·2^f - 2^(-eN). The slow path brackets
// m^N between L·2^s and U·2^s with integers of at most P bits (binary
// powering, products truncated down for L and up for U) and decides when
// the comparison with both ends agrees; when no bit was truncated (L = U) the
// power is exact and equality is a tie, rounded to the even k. Otherwise P
// doubles. This ends: a non-tie is at a positive distance from M, and at
// worst P reaches the bit length of m^N, when L = U. Exact ties need m^N of
// at most 54 bits, so they occur only for n from 2 to 34 (or for m = 1).
#include "numeric/power.hpp"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace nodrel::numeric {

namespace {

constexpr std::uint64_t kSignBit = 0x8000000000000000ULL;
constexpr std::uint64_t kExponentMask = 0x7FF0000000000000ULL;
constexpr std::uint64_t kFractionMask = 0x000FFFFFFFFFFFFFULL;
constexpr std::uint64_t kQuietBit = 0x0008000000000000ULL;

double from_bits(std::uint64_t bits) { return std::bit_cast<double>(bits); }
std::uint64_t to_bits(double x) { return std::bit_cast<std::uint64_t>(x); }

// 2^k for -1022 <= k <= 1023.
double two_to(int k) { return from_bits(static_cast<std::uint64_t>(k + 1023) << 52); }

// hi + lo, |lo| <= u·|hi|, and hi in [1, 2) except inside mul and recip.
struct DoubleDouble {
  double hi;
  double lo;
};

// Veltkamp's split: a = high + low exactly, each with at most 26 significant
// bits, so that products of the halves are exact.
void split(double a, double& high, double& low) {
  const double c = 134217729.0 * a;  // 2^27 + 1
  high = c - (c - a);
  low = a - high;
}

// Dekker's product: a·b = p + e exactly (no fused multiply-add, which is
// not available or not allowed on every target).
void two_product(double a, double b, double& p, double& e) {
  p = a * b;
  double ah, al, bh, bl;
  split(a, ah, al);
  split(b, bh, bl);
  e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

// Brings hi back to [1, 2): after a product it lies in [1 - u, 4), after a
// reciprocal in [1/2, 1]; both scalings are exact.
void renormalise(DoubleDouble& v, std::int64_t& exponent) {
  if (v.hi >= 2.0) {
    v.hi *= 0.5;
    v.lo *= 0.5;
    ++exponent;
  } else if (v.hi < 1.0) {
    v.hi *= 2.0;
    v.lo *= 2.0;
    --exponent;
  }
}

DoubleDouble mul(const DoubleDouble& a, const DoubleDouble& b) {
  double p, e;
  two_product(a.hi, b.hi, p, e);
  const double cross = a.hi * b.lo + a.lo * b.hi;
  const double s = e + cross;
  const double hi = p + s;  // Fast2Sum: |p| >= |s|
  return {hi, s - (hi - p)};
}

// 1 / (hi + lo) for hi in [1, 2).
DoubleDouble recip(const DoubleDouble& y) {
  const double q1 = 1.0 / y.hi;
  double p, e;
  two_product(q1, y.hi, p, e);
  const double r = ((1.0 - p) - e) - q1 * y.lo;  // 1 - q1·y
  const double q2 = q1 * r;
  const double hi = q1 + q2;
  return {hi, q2 - (hi - q1)};
}

// k·2^scale as a double, k <= 2^53: exact when representable, an infinity
// beyond the largest double. The caller guarantees scale >= -1074.
double make_double(std::uint64_t k, std::int64_t scale, bool negative) {
  const std::uint64_t sign = negative ? kSignBit : 0;
  if (k == 0) return from_bits(sign);
  const int width = std::bit_width(k);  // 1..54
  const std::int64_t top = scale + width - 1;
  if (top > 1023) return from_bits(sign | kExponentMask);
  if (top < -1022) return from_bits(sign | k << (scale + 1074));  // subnormal
  const std::uint64_t significand = width <= 53 ? k << (53 - width) : k >> 1;
  return from_bits(sign | static_cast<std::uint64_t>(top + 1023) << 52 |
                   (significand & kFractionMask));
}

// Unsigned integers of any size, little-endian in 32-bit limbs, for the
// slow path only.
using Big = std::vector<std::uint32_t>;

Big big(std::uint64_t v) {
  Big r;
  for (; v != 0; v >>= 32) r.push_back(static_cast<std::uint32_t>(v));
  return r;
}

std::int64_t bit_length(const Big& a) {
  if (a.empty()) return 0;
  return static_cast<std::int64_t>(32 * (a.size() - 1)) + std::bit_width(a.back());
}

void trim(Big& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

Big times(const Big& a, const Big& b) {
  Big r(a.size() + b.size(), 0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    std::uint64_t carry = 0;
    for (std::size_t j = 0; j < b.size(); ++j) {
      const std::uint64_t t = std::uint64_t{a[i]} * b[j] + r[i + j] + carry;
      r[i + j] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    r[i + b.size()] = static_cast<std::uint32_t>(carry);
  }
  trim(r);
  return r;
}

// a·2^count.
Big shifted_left(const Big& a, std::int64_t count) {
  const auto limbs = static_cast<std::size_t>(count / 32);
  const int bits = static_cast<int>(count % 32);
  Big r(limbs, 0);
  std::uint32_t carry = 0;
  for (std::uint32_t limb : a) {
    r.push_back(limb << bits | carry);
    carry = bits == 0 ? 0 : limb >> (32 - bits);
  }
  r.push_back(carry);
  trim(r);
  return r;
}

// a / 2^count rounded down (up when `up`), count > 0.
Big shifted_right(const Big& a, std::int64_t count, bool up) {
  const auto limbs = static_cast<std::size_t>(count / 32);
  const int bits = static_cast<int>(count % 32);
  bool lost = false;
  for (std::size_t i = 0; i < limbs && i < a.size(); ++i) lost = lost || a[i] != 0;
  Big r;
  for (std::size_t i = limbs; i < a.size(); ++i) {
    const std::uint64_t pair =
        std::uint64_t{a[i]} | (i + 1 < a.size() ? std::uint64_t{a[i + 1]} << 32 : 0);
    r.push_back(static_cast<std::uint32_t>(pair >> bits));
  }
  if (bits != 0 && limbs < a.size()) lost = lost || (a[limbs] & ((1U << bits) - 1)) != 0;
  trim(r);
  if (up && lost) {
    std::size_t i = 0;
    while (i < r.size() && ++r[i] == 0) ++i;
    if (i == r.size()) r.push_back(1);
  }
  return r;
}

int compare(const Big& a, const Big& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// The sign of a·2^sa - b·2^sb for positive a and b.
int compare_scaled(const Big& a, std::int64_t sa, const Big& b, std::int64_t sb) {
  const std::int64_t ta = bit_length(a) + sa, tb = bit_length(b) + sb;
  if (ta != tb) return ta < tb ? -1 : 1;
  // Same top bit: the shift below is at most the other's bit length.
  return sa >= sb ? compare(shifted_left(a, sa - sb), b) : compare(a, shifted_left(b, sb - sa));
}

// m^count lies in [low·2^scale, high·2^scale], low and high of at most
// `bits` bits; low == high when nothing was truncated.
struct Bracket {
  Big low, high;
  std::int64_t scale = 0;

  void multiply(const Bracket& other, std::int64_t bits) {
    low = times(low, other.low);
    high = times(high, other.high);
    scale += other.scale;
    const std::int64_t excess = bit_length(high) - bits;
    if (excess > 0) {
      low = shifted_right(low, excess, false);
      high = shifted_right(high, excess, true);
      scale += excess;
    }
  }
};

Bracket bracket_power(std::uint64_t m, std::uint32_t count, std::int64_t bits) {
  Bracket result{big(1), big(1)};
  Bracket base{big(m), big(m)};
  for (;;) {
    if ((count & 1) != 0) result.multiply(base, bits);
    count >>= 1;
    if (count == 0) return result;
    const Bracket square = base;
    base.multiply(square, bits);
  }
}

// The sign of Z - o·2^f, Z = |x|^n exactly, |x| = m·2^e with m odd.
int compare_with_midpoint(std::uint64_t m, std::int64_t e, std::int32_t n, std::uint64_t o,
                          std::int64_t f) {
  const std::uint32_t count =
      n < 0 ? 0U - static_cast<std::uint32_t>(n) : static_cast<std::uint32_t>(n);
  const std::int64_t en = e * n;
  const Big one = big(1), odd = big(o);
  for (std::int64_t bits = 128;; bits *= 2) {
    const Bracket power = bracket_power(m, count, bits);
    const bool exact = compare(power.low, power.high) == 0;
    if (n > 0) {
      // Z = m^N·2^(eN) against o·2^f.
      if (compare_scaled(power.high, power.scale + en, odd, f) < 0) return -1;
      const int low = compare_scaled(power.low, power.scale + en, odd, f);
      if (low > 0 || exact) return low;
    } else {
      // Z = 2^(eN) / m^N against o·2^f: Z < o·2^f when o·m^N·2^f > 2^(eN).
      if (compare_scaled(times(odd, power.low), power.scale + f, one, en) > 0) return -1;
      const int high = compare_scaled(times(odd, power.high), power.scale + f, one, en);
      if (high < 0 || exact) return -high;
    }
  }
}

}  // namespace

double power(double x, std::int32_t n) {
  if (n == 0) return 1.0;
  const std::uint64_t bits = to_bits(x);
  const std::uint64_t magnitude = bits & ~kSignBit;
  if (magnitude > kExponentMask) return from_bits(bits | kQuietBit);  // NaN
  if (n == 1) return x;
  // IEEE 754 rounds one product and one quotient correctly.
  if (n == 2) return x * x;
  if (n == -1) return 1.0 / x;

  const bool negative = (bits & kSignBit) != 0 && (n & 1) != 0;
  const std::uint64_t sign = negative ? kSignBit : 0;
  if (magnitude == kExponentMask) return from_bits(sign | (n > 0 ? kExponentMask : 0));
  if (magnitude == 0) return from_bits(sign | (n > 0 ? 0 : kExponentMask));

  // |x| = h0·2^e0, h0 in [1, 2); a subnormal is scaled up by 2^64 first.
  std::int64_t e0;
  double h0;
  if ((magnitude & kExponentMask) == 0) {
    const std::uint64_t scaled = to_bits(from_bits(magnitude) * 18446744073709551616.0);
    e0 = static_cast<std::int64_t>(scaled >> 52) - 1023 - 64;
    h0 = from_bits((scaled & kFractionMask) | 0x3FF0000000000000ULL);
  } else {
    e0 = static_cast<std::int64_t>(magnitude >> 52) - 1023;
    h0 = from_bits((magnitude & kFractionMask) | 0x3FF0000000000000ULL);
  }

  // Binary powering, from the lowest bit of N up.
  const std::uint32_t count =
      n < 0 ? 0U - static_cast<std::uint32_t>(n) : static_cast<std::uint32_t>(n);
  DoubleDouble base{h0, 0.0};
  std::int64_t base_exponent = e0;
  DoubleDouble y{1.0, 0.0};
  std::int64_t exponent = 0;
  bool first = true;
  for (std::uint32_t rest = count;;) {
    if ((rest & 1) != 0) {
      if (first) {
        y = base;
        first = false;
      } else {
        y = mul(y, base);
        renormalise(y, exponent);
      }
      exponent += base_exponent;
    }
    rest >>= 1;
    if (rest == 0) break;
    base = mul(base, base);
    base_exponent *= 2;
    renormalise(base, base_exponent);
  }
  if (n < 0) {
    y = recip(y);
    exponent = -exponent;
    renormalise(y, exponent);
  }
  // A hi of exactly 1 with a negative lo lies below 1: seen as 2 + 2·lo
  // one binade lower, the value is in [1, 2) in every case.
  if (y.hi == 1.0 && y.lo < 0.0) {
    y = {2.0, 2.0 * y.lo};
    --exponent;
  }

  // Far out of range the bound cannot matter: Z is within a factor
  // 1 ± 2^-60 of Y, which lies in [2^exponent, 2^(exponent + 1)).
  if (exponent > 1024) return from_bits(sign | kExponentMask);
  if (exponent < -1100) return from_bits(sign);

  // T = Y / (q/2) = a + (frac + b); q/2 = 2^(exponent - shift).
  const int shift = exponent >= -1022 ? 53 : static_cast<int>(exponent) + 1075;  // -25..53
  const double scale = two_to(shift);
  const double a = y.hi * scale;
  const auto a_int = static_cast<std::int64_t>(a);  // a >= 0: truncation is floor
  const double frac = a - static_cast<double>(a_int);
  const double f = frac + y.lo * scale;  // |f| < 3
  auto f_int = static_cast<std::int64_t>(f);
  if (static_cast<double>(f_int) > f) --f_int;
  const std::int64_t t_floor = a_int + f_int;
  const bool floor_odd = (t_floor & 1) != 0;
  const double distance = floor_odd ? f - static_cast<double>(f_int)
                                    : static_cast<double>(f_int) + 1.0 - f;
  const double bound = static_cast<double>(std::uint64_t{count} + 1) * 0x1p-100 * (a + 4.0);
  const std::int64_t half_scale = exponent - shift;  // q/2 = 2^half_scale

  std::uint64_t k = static_cast<std::uint64_t>(t_floor + 1) >> 1;
  if (!(distance > bound + 0x1p-50)) {
    const auto o = static_cast<std::uint64_t>(floor_odd ? t_floor : t_floor + 1);
    std::uint64_t m = (magnitude & kExponentMask) == 0 ? magnitude
                                                       : (magnitude & kFractionMask) | (1ULL << 52);
    std::int64_t e =
        (magnitude & kExponentMask) == 0 ? -1074 : static_cast<std::int64_t>(magnitude >> 52) - 1075;
    const int zeros = std::countr_zero(m);
    m >>= zeros;
    e += zeros;
    const int side = compare_with_midpoint(m, e, n, o, half_scale);
    k = side < 0 ? (o - 1) / 2 : side > 0 ? (o + 1) / 2 : ((o - 1) / 2 % 2 == 0 ? (o - 1) / 2 : (o + 1) / 2);
  }
  return make_double(k, half_scale + 1, negative);
}

}  // namespace nodrel::numeric
