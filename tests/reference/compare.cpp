#include "reference/compare.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace nodrel::reference {

namespace {

using Limits = std::numeric_limits<double>;

const double kSignallingNan = std::bit_cast<double>(std::uint64_t{0x7FF0000000000001ULL});

// Values at, just below and just above the tolerance, and a few ordinary
// ones: the elements of a vector (a right-hand side, a scale factor) drawn
// from the tolerance family.
double tolerance_value(Inputs& in) {
  const double below = std::nextafter(1e-12, 0.0), above = std::nextafter(1e-12, 1.0);
  const double palette[] = {1e-12, below, above, -1e-12, -below, 1e-13, 5e-12,
                            1e-11, 1e-6,  1e-4,  1.0,    -1.0,   2.0,   0.0};
  return palette[in.pick(static_cast<int>(std::size(palette)))];
}

double special_value(Inputs& in) {
  const double inf = Limits::infinity(), max = Limits::max(), nan = Limits::quiet_NaN();
  const double palette[] = {
      inf, -inf, nan, kSignallingNan, max, -max, 1e300, -1e300, Limits::denorm_min(), 0.0, -0.0};
  return palette[in.pick(static_cast<int>(std::size(palette)))];
}

}  // namespace

std::int32_t Inputs::order(std::int32_t max) {
  if (chance(0.08)) return max + 2 + 4 * pick(2);
  return pick(max + 1);
}

std::int32_t Inputs::lower() {
  const int roll = pick(100);
  if (roll < 3) return 2;
  return roll < 50 ? 0 : 1;
}

double Inputs::value(Family family) {
  switch (family) {
    case Family::kIntegers: return pick(7) - 3;
    case Family::kReals: return uniform(-10.0, 10.0);
    case Family::kTolerance: return tolerance_value(*this);
    case Family::kScaled: return uniform(-10.0, 10.0) * std::pow(10.0, -3 - pick(4));
    case Family::kSpecial: return chance(0.1) ? special_value(*this) : uniform(-10.0, 10.0);
    case Family::kExtreme:
      return chance(0.33) ? (chance(0.5) ? 1.0 : -1.0) * Limits::max() * uniform(0.5, 1.0)
                          : uniform(-10.0, 10.0);
    case Family::kHuge: return uniform(-10.0, 10.0) * std::pow(10.0, 148 + pick(9));
  }
  return 0.0;
}

DoubleArray Inputs::matrix(std::int32_t r, std::int32_t c, Family family) {
  // Upper bounds r and c; with a lower bound of 1 there is no row (column)
  // 0, with 2 the array lacks index 1 too. Index 0 holds a value that no
  // method may read.
  const std::int32_t l1 = lower();
  const std::int32_t l2 = lower();
  DoubleArray a(std::vector<ArrayBound>{{l1, static_cast<std::uint32_t>(std::max(0, r + 1 - l1))},
                                        {l2, static_cast<std::uint32_t>(std::max(0, c + 1 - l2))}});
  if (family == Family::kTolerance) {
    fill_tolerance(a, r, c);
  } else {
    for (std::int32_t i = std::max(l1, 1); i <= r; ++i) {
      for (std::int32_t j = std::max(l2, 1); j <= c; ++j) {
        a(i, j) = value(family == Family::kSpecial ? Family::kReals : family);
      }
    }
  }
  for (std::int32_t i = l1; i <= r; ++i) {
    for (std::int32_t j = l2; j <= c; ++j) {
      if (i == 0 || j == 0) a(i, j) = 99.0;
    }
  }
  if (family == Family::kSpecial && !a.storage().empty()) {
    for (int planted = 1 + pick(2); planted > 0; --planted) {
      a.storage()[static_cast<std::size_t>(pick(static_cast<int>(a.storage().size())))] =
          special_value(*this);
    }
  }
  return a;
}

void Inputs::fill_tolerance(DoubleArray& a, std::int32_t r, std::int32_t c) {
  // Upper triangular, each row led by a diagonal element of magnitude 1 or
  // 2 that strictly dominates the rest of its row, so the elimination makes
  // no exchange and keeps the diagonal as its pivots; the determinant is a
  // power of 2 times the tiny pivots, so it lands on either side of the
  // final test too. One or two rows are tiny instead: their largest
  // magnitude (at, just below or just above the tolerance) is somewhere
  // from the diagonal on, and the column below their diagonal is filled, so
  // that whether the step is skipped shows in the rows below.
  std::vector<bool> tiny(static_cast<std::size_t>(std::max(r, 0) + 1), false);
  for (int t = 1 + pick(2); t > 0 && r >= 1; --t)
    tiny[static_cast<std::size_t>(pick(r)) + 1] = true;
  const double tiny_values[] = {
      1e-12, std::nextafter(1e-12, 0.0), std::nextafter(1e-12, 1.0), 1e-13, 5e-12, 0.0};
  const auto from = [&](std::int32_t i, std::int32_t j) {
    return a.bounds()[0].lower <= i && a.bounds()[1].lower <= j;
  };
  for (std::int32_t i = 1; i <= r; ++i) {
    const bool tiny_row = tiny[static_cast<std::size_t>(i)];
    const double size = tiny_row ? tiny_values[pick(6)] : (chance(0.75) ? 1.0 : 2.0);
    for (std::int32_t j = 1; j <= c; ++j) {
      if (!from(i, j)) continue;
      double v = 0.0;
      if (j < i) {
        v = tiny[static_cast<std::size_t>(j)] ? pick(7) - 3 : 0.0;
      } else if (tiny_row) {
        v = size * (pick(3) - 1);
      } else if (j == i) {
        v = chance(0.5) ? size : -size;
      } else if (size == 2.0) {
        v = pick(3) - 1;
      }
      a(i, j) = v;
    }
    if (tiny_row && i <= c) {
      const std::int32_t j = i + pick(c - i + 1);
      if (from(i, j)) a(i, j) = chance(0.5) ? size : -size;
    }
  }
}

DoubleArray Inputs::vector(std::int32_t n, Family family) {
  const std::int32_t l = lower();
  std::vector<double> values(static_cast<std::size_t>(std::max(0, n + 1 - l)));
  for (std::size_t k = 0; k < values.size(); ++k) {
    values[k] = (k == 0 && l == 0) ? 99.0 : value(family);
  }
  if (family == Family::kSpecial && !values.empty()) {
    values[static_cast<std::size_t>(pick(static_cast<int>(values.size())))] = special_value(*this);
  }
  return DoubleArray::vector(values, l);
}

DoubleArray Inputs::odd_shape() {
  switch (pick(4)) {
    case 0: return DoubleArray();
    case 1: return vector(pick(4));
    case 2: return DoubleArray(std::vector<ArrayBound>{{0, 2}, {0, 2}, {0, 2}});
    default: return matrix(pick(4), pick(4));
  }
}

void prime(nodrel::Matr& production, Matr& reference, std::int32_t code) {
  DoubleArray scratch = DoubleArray::zeros(2, 2);
  switch (code) {
    case 1: production.mSum(scratch, DoubleArray::zeros(1, 2), DoubleArray::zeros(2, 1)); break;
    case 3: production.mMatrIsUnit(DoubleArray::zeros(1, 2)); break;
    case 4: production.mInv(scratch); break;
    default: break;
  }
  reference.err_code = code;
}

std::string describe(const std::vector<DoubleArray>& arrays) {
  std::string s;
  for (const DoubleArray& a : arrays) s += "\n  " + show(a);
  return s;
}

std::string describe(const Outcome& o) {
  return "error " + std::to_string(o.error) + ", ErrCode " + std::to_string(o.err_code) +
         ", result " + number(o.result) + describe(o.arrays);
}

std::string outcome_difference(const Outcome& production, const Outcome& reference) {
  const std::string p = describe(production), r = describe(reference);
  if (p == r) return "";
  const std::size_t at = std::mismatch(p.begin(), p.end(), r.begin(), r.end()).first - p.begin();
  const std::size_t from = at < 80 ? 0 : at - 80;
  return "\n  production ..." + p.substr(from, 160) + "\n  reference  ..." + r.substr(from, 160);
}

}  // namespace nodrel::reference
