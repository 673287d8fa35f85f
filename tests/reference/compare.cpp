#include "reference/compare.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "fastpath/driver.hpp"
#include "nodrel/error.hpp"
#include "numeric/parallel.hpp"

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

namespace {

// Each name is one call; a name that is none of them calls nothing.
double apply(nodrel::Matr& m, const std::string& call, Args& a) {
  DoubleArray& d = a[0];
  if (call == "mDet") return m.mDet(d);
  if (call == "mMatrIsSing") return m.mMatrIsSing(d);
  if (call == "mInv") m.mInv(d);
  if (call == "mDivd(A,B,A)") m.mDivd(d, a[1], d);
  if (call == "mSist") m.mSist(d, a[1], a[2]);
  if (call == "mSist(b,A,b)") m.mSist(d, a[1], d);
  if (call == "mDiag") m.mDiag(d);
  if (call == "mMult") m.mMult(d, a[1], a[2]);
  if (call == "mMult(A,A,B)") m.mMult(d, d, a[1]);
  if (call == "mMult(A,B,A)") m.mMult(d, a[1], d);
  if (call == "mMultVett") m.mMultVett(d, a[1], a[2]);
  if (call == "mMultVett(v,M,v)") m.mMultVett(d, a[1], d);
  if (call == "mSum") m.mSum(d, a[1], a[2]);
  if (call == "mDiff") m.mDiff(d, a[1], a[2]);
  if (call == "mProdScal") m.mProdScal(d, a[1](1));
  if (call == "mTrasp(A,A)") m.mTrasp(d, d);
  return 0.0;
}

std::vector<double> numbers(std::string text) {
  std::vector<double> values;
  char* end = nullptr;
  for (const char* p = text.c_str();; p = end) {
    const double x = std::strtod(p, &end);
    if (end == p) return values;
    values.push_back(x);
  }
}

}  // namespace

Outcome run(const std::string& call, Args arrays, bool checked, std::int32_t primed,
            unsigned threads) {
  nodrel::Matr m;
  DoubleArray scratch = DoubleArray::zeros(2, 2);
  if (primed == 1) m.mSum(scratch, DoubleArray::zeros(1, 2), DoubleArray::zeros(2, 1));
  if (primed == 3) leave_code_3(m);
  if (primed == 4) m.mInv(scratch);
  detail::fast::force_checked_loops(checked);
  numeric::force_thread_count(threads);
  Outcome o;
  try {
    o.result = apply(m, call, arrays);
  } catch (const Error& e) {
    o.error = e.code();
  }
  detail::fast::force_checked_loops(false);
  numeric::force_thread_count(0);
  o.err_code = m.ErrCode();
  o.arrays = std::move(arrays);
  return o;
}

std::string describe(const Outcome& o, const Args& before) {
  std::string s = std::to_string(o.error) + "/" + std::to_string(o.err_code) + " ";
  s += number(o.result);
  for (std::size_t k = 0; k < o.arrays.size(); ++k) {
    const std::string text = show(o.arrays[k]).substr(std::string("DoubleArray ").size());
    s += " | " + (k < before.size() && show(before[k]) == show(o.arrays[k]) ? "=" : text);
  }
  return s;
}

DoubleArray M(const char* rows) {
  std::vector<std::vector<double>> m;
  const std::string text = rows;
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t to = std::min(text.find(';', from), text.size());
    m.push_back(numbers(text.substr(from, to - from)));
    from = to + 1;
  }
  return m.empty() ? DoubleArray() : DoubleArray::matrix(m);
}

DoubleArray V(const char* values) { return DoubleArray::vector(numbers(values)); }

void expect_worked(const std::vector<Worked>& rows) {
  for (const Worked& row : rows) {
    SCOPED_TRACE(std::string(row.call) + " -> " + row.outcome);
    for (const bool checked : {false, true}) {
      EXPECT_EQ(describe(run(row.call, row.args, checked), row.args), row.outcome) << checked;
    }
  }
}

}  // namespace nodrel::reference
