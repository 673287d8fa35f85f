#include "linalg/fast_elimination.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "algebra/kernels.hpp"

namespace nodrel::detail {

namespace {

// The elimination is blocked from this order on, in panels of kPanel steps.
constexpr std::int32_t kBlockedFrom = 64;
constexpr std::int32_t kPanel = 32;

// Orders up to this are worked on in buffers on the stack.
constexpr std::int32_t kStackOrder = 16;

// The pivot of a step: the first column among 0..cols-1 (of the row at
// `row`, columns ld apart) whose magnitude is the largest. Only a strictly
// greater magnitude moves it.
inline std::int32_t find_pivot(const double* row, std::size_t ld, std::int32_t cols, double& best) {
  std::int32_t p = 0;
  best = std::fabs(row[0]);
  for (std::int32_t c = 1; c < cols; ++c) {
    const double magnitude = std::fabs(row[static_cast<std::size_t>(c) * ld]);
    if (magnitude > best) {
      best = magnitude;
      p = c;
    }
  }
  return p;
}

inline void swap_columns(double* v, std::size_t ld, std::int32_t a, std::int32_t b,
                         std::int32_t first_row, std::int32_t rows) {
  double* ca = v + static_cast<std::size_t>(a) * ld;
  double* cb = v + static_cast<std::size_t>(b) * ld;
  std::swap_ranges(ca + first_row, ca + rows, cb + first_row);
}

// The step on the block whose pivot row is row 0: `search` columns take part
// in the pivot search, `cols` of them (the first ones) in the update. Rows
// above the block are finished and never read again, so the exchange stops
// at row 0 of the block; the determinant does not depend on them and the
// diagonal reduction clears them.
void step(double* v, std::size_t ld, std::int32_t rows, std::int32_t cols, std::int32_t search,
          PivotProduct& det, const Kernels& kern) {
  double best = 0.0;
  const std::int32_t p = find_pivot(v, ld, search, best);
  if (best <= kZeroTolerance) {
    det.zero = true;
    return;
  }
  if (p != 0) {
    ++det.exchanges;
    swap_columns(v, ld, 0, p, 0, rows);
  }
  const double pivot = v[0];
  det.product *= pivot;
  const auto below = static_cast<std::size_t>(rows - 1);
  kern.multipliers(below, v + 1, pivot);
  kern.rank1(below, static_cast<std::size_t>(cols - 1), v + 1, v + ld, ld, v + 1 + ld, ld);
}

void eliminate_unblocked(double* v, std::size_t ld, std::int32_t n, std::int32_t m,
                         PivotProduct& det, const Kernels& kern) {
  for (std::int32_t k = 0; k < n - 1; ++k) {
    step(v + k + static_cast<std::size_t>(k) * ld, ld, n - k, n - k, m - k, det, kern);
  }
}

// The elimination in panels of steps k0..k1-1 (the pivot rows of the panel)
// over the rows below, k1..n-1, with the updates of those rows delayed:
//
//  - The pivot search of step k needs row k as it stands after steps
//    0..k-1, so the rows of the panel are updated at once, step by step,
//    over all columns.
//  - The multiplier of a row i below the panel needs a(i, k) after steps
//    0..k-1. Steps before k0 are in already; column k receives the panel's
//    earlier steps just before its multipliers are formed, in step order
//    ("catching up").
//  - The rest of the rows below, columns k1..n-1, receives the panel's steps
//    in one product of the multipliers by the panel rows, each element
//    taking the steps in increasing order.
//
// Each element thus receives the same updates, with the same multipliers
// and the same pivot-row values, in the same order as in the step-by-step
// loops. An exchange of columns made meanwhile moves delayed updates along
// with their elements: the rows that supply them (the panel rows) are
// exchanged too, so an update lands on the same value whichever comes first.
//
// One exchange is different: a column beyond n (the diagonal reduction of a
// matrix with more columns than rows) is never updated, so whatever is
// exchanged into it must already hold all the steps before k. Column k
// catches up before such an exchange, and what arrives in column k from
// beyond n is complete as it stands.
void eliminate_blocked(double* v, std::size_t ld, std::int32_t n, std::int32_t m, PivotProduct& det,
                       const Kernels& kern) {
  const auto at = [v, ld](std::int32_t i, std::int32_t j) {
    return v + i + static_cast<std::size_t>(j) * ld;
  };
  const std::int32_t steps = n - 1;
  std::vector<std::int32_t> active;
  active.reserve(kPanel);
  std::vector<double> gathered;
  for (std::int32_t k0 = 0; k0 < steps; k0 += kPanel) {
    const std::int32_t k1 = std::min(k0 + kPanel, steps);
    const auto below = static_cast<std::size_t>(n - k1);
    active.clear();
    const auto catch_up = [&](std::int32_t k) {
      for (const std::int32_t done : active)
        kern.rank1(below, 1, at(k1, done), at(done, k), ld, at(k1, k), ld);
    };
    for (std::int32_t k = k0; k < k1; ++k) {
      double best = 0.0;
      const std::int32_t p = k + find_pivot(at(k, k), ld, m - k, best);
      if (best <= kZeroTolerance) {
        det.zero = true;
        continue;
      }
      bool behind = true;
      if (p != k) {
        ++det.exchanges;
        if (p >= n) {
          catch_up(k);
          behind = false;
        }
        swap_columns(v, ld, k, p, k0, n);
      }
      const double pivot = *at(k, k);
      det.product *= pivot;
      const auto in_panel = static_cast<std::size_t>(k1 - 1 - k);
      kern.multipliers(in_panel, at(k + 1, k), pivot);
      kern.rank1(in_panel, static_cast<std::size_t>(n - 1 - k), at(k + 1, k), at(k, k + 1), ld,
                 at(k + 1, k + 1), ld);
      if (behind) catch_up(k);
      kern.multipliers(below, at(k1, k), pivot);
      active.push_back(k);
    }
    if (active.empty()) continue;
    const auto cols = static_cast<std::size_t>(n - k1);
    const std::size_t terms = active.size();
    if (terms == static_cast<std::size_t>(k1 - k0)) {
      kern.gemm(below, cols, terms, at(k1, k0), ld, at(k0, k1), ld, at(k1, k1), ld);
    } else {
      // Some steps of the panel were skipped: their rows supply no update.
      // The others are gathered into contiguous blocks, in step order.
      gathered.assign((below + cols) * terms, 0.0);
      double* mult = gathered.data();
      double* rows = mult + below * terms;
      for (std::size_t t = 0; t < terms; ++t) {
        std::copy(at(k1, active[t]), at(k1, active[t]) + below, mult + t * below);
        for (std::size_t j = 0; j < cols; ++j)
          rows[t + j * terms] = *at(active[t], k1 + static_cast<std::int32_t>(j));
      }
      kern.gemm(below, cols, terms, mult, below, rows, terms, at(k1, k1), ld);
    }
  }
}

// The two formulas of the small orders, operation for operation as the
// checked mDet and DetOrder3 evaluate them.
inline double det2(double a11, double a12, double a21, double a22) {
  const double leading = a11 * a22;
  const double anti = a12 * a21;
  return leading - anti;
}

inline double det3(const double* v, std::size_t ld) {
  const auto a = [v, ld](int i, int j) {
    return v[(i - 1) + static_cast<std::size_t>(j - 1) * ld];
  };
  const double t1 = a(2, 2) * a(3, 3) - a(2, 3) * a(3, 2);
  const double t2 = a(2, 1) * a(3, 3) - a(2, 3) * a(3, 1);
  const double t3 = a(2, 1) * a(3, 2) - a(2, 2) * a(3, 1);
  const double first = a(1, 1) * t1;
  const double second = a(1, 2) * t2;
  const double third = a(1, 3) * t3;
  const double d = (first - second) + third;
  return std::fabs(d) < kZeroTolerance ? 0.0 : d;
}

// A buffer of doubles on the stack up to kStackOrder squared, on the heap
// beyond.
class Buffer {
 public:
  explicit Buffer(std::size_t size) {
    if (size > sizeof(local_) / sizeof(local_[0])) {
      heap_.resize(size);
      data_ = heap_.data();
    }
  }
  double* data() { return data_; }

 private:
  double local_[kStackOrder * kStackOrder];
  std::vector<double> heap_;
  double* data_ = local_;
};

}  // namespace

bool block_finite(const double* v, std::size_t ld, std::size_t rows, std::size_t cols) {
  for (std::size_t j = 0; j < cols; ++j) {
    // x * 0.0 is a zero for a finite x and NaN otherwise; four running sums
    // of those keep the loop short.
    const double* col = v + j * ld;
    double p0 = 0.0, p1 = 0.0, p2 = 0.0, p3 = 0.0;
    std::size_t i = 0;
    for (; i + 4 <= rows; i += 4) {
      p0 += col[i] * 0.0;
      p1 += col[i + 1] * 0.0;
      p2 += col[i + 2] * 0.0;
      p3 += col[i + 3] * 0.0;
    }
    for (; i < rows; ++i) p0 += col[i] * 0.0;
    if ((p0 + p1) + (p2 + p3) != 0.0) return false;
  }
  return true;
}

void eliminate(double* v, std::size_t ld, std::int32_t n, std::int32_t m, PivotProduct& det) {
  const Kernels& kern = kernels();
  if (n >= kBlockedFrom) {
    eliminate_blocked(v, ld, n, m, det, kern);
  } else {
    eliminate_unblocked(v, ld, n, m, det, kern);
  }
}

void eliminate_step(double* v, std::size_t ld, std::int32_t rows, std::int32_t cols,
                    PivotProduct& det) {
  step(v, ld, rows, cols, cols, det, kernels());
}

bool determinant_in_place(double* v, std::size_t ld, std::int32_t n, double& det) {
  const auto order = static_cast<std::size_t>(n);
  if (!block_finite(v, ld, order, order)) return false;
  switch (n) {
    case 1: det = v[0]; return true;
    case 2: det = det2(v[0], v[ld], v[1], v[1 + ld]); return std::isfinite(det);
    case 3: det = det3(v, ld); return std::isfinite(det);
    default: break;
  }
  PivotProduct pivots;
  eliminate(v, ld, n, n, pivots);
  // The last diagonal element is multiplied in without a pivot test.
  pivots.product *= v[(order - 1) + (order - 1) * ld];
  if (!std::isfinite(pivots.product) || !block_finite(v, ld, order, order)) return false;
  det = pivots.determinant();
  return true;
}

// The inverse. D is the determinant of a (its elimination is mDet's own).
// The minors of order n - 1 that drop the same column j share work: the
// minor without row i and column j goes through the steps of the matrix
// without column j, with the pivot rows 0..i-1, exactly as far as those
// steps go (steps 0..i-1), since every one of them reads only the pivot
// rows and the row it updates. So one running elimination of a without
// column j (all n rows) serves every minor of that column: before step i it
// is forked, its row i left out, and the fork finishes the minor's own
// remaining steps. The fork sees the same values, the same columns in the
// same positions (so the same pivot choices, ties and zero pivots
// included) and the same running product as the minor computed on its own.
InverseOutcome inverse_by_cofactors(const double* a, std::size_t lda, std::int32_t n, double* out) {
  const auto order = static_cast<std::size_t>(n);
  const auto minor_order = order - 1;
  const auto cofactor = [&](std::int32_t i, std::int32_t j, double minor, double d) {
    const double sign = (i + j) % 2 == 0 ? 1.0 : -1.0;
    const double value = (sign * minor) / d;
    out[static_cast<std::size_t>(j) + static_cast<std::size_t>(i) * order] = value;
    return std::isfinite(value);
  };

  Buffer work(order * order);
  for (std::size_t j = 0; j < order; ++j)
    std::copy(a + j * lda, a + j * lda + order, work.data() + j * order);
  double d = 0.0;
  if (!determinant_in_place(work.data(), order, n, d)) return InverseOutcome::kFault;
  if (!(d < 0.0 || d > 0.0)) return InverseOutcome::kSingular;

  if (n <= 4) {
    // Order 1: the empty minor counts 1. Up to order 4 the minors go by the
    // formulas, each built as the checked loops build it.
    if (n == 1) return cofactor(0, 0, 1.0, d) ? InverseOutcome::kDone : InverseOutcome::kFault;
    double minor[9];
    for (std::int32_t i = 0; i < n; ++i) {
      for (std::int32_t j = 0; j < n; ++j) {
        std::size_t r = 0;
        for (std::int32_t k = 0; k < n; ++k) {
          if (k == i) continue;
          std::size_t c = 0;
          for (std::int32_t l = 0; l < n; ++l) {
            if (l == j) continue;
            minor[r + c * minor_order] =
                a[static_cast<std::size_t>(k) + static_cast<std::size_t>(l) * lda];
            ++c;
          }
          ++r;
        }
        double m = 0.0;
        if (!determinant_in_place(minor, minor_order, n - 1, m) || !cofactor(i, j, m, d)) {
          return InverseOutcome::kFault;
        }
      }
    }
    return InverseOutcome::kDone;
  }

  // chain: a without column j, n rows by n - 1 columns; fork: one minor.
  Buffer chain(order * minor_order);
  Buffer fork(minor_order * minor_order);
  for (std::int32_t j = 0; j < n; ++j) {
    for (std::int32_t l = 0, c = 0; l < n; ++l) {
      if (l == j) continue;
      std::copy(a + static_cast<std::size_t>(l) * lda,
                a + static_cast<std::size_t>(l) * lda + order,
                chain.data() + static_cast<std::size_t>(c) * order);
      ++c;
    }
    PivotProduct shared;
    for (std::int32_t s = 0; s <= n - 2; ++s) {
      // After s steps: the block of rows s..n-1 and columns s..n-2.
      double* block = chain.data() + s + static_cast<std::size_t>(s) * order;
      const std::int32_t cols = n - 1 - s;
      if (cols == 1) {
        // The last two minors: one row each, multiplied in without a test.
        PivotProduct keep_last = shared;
        keep_last.product *= block[1];
        PivotProduct keep_first = shared;
        keep_first.product *= block[0];
        if (!std::isfinite(keep_last.product) || !std::isfinite(keep_first.product) ||
            !cofactor(s, j, keep_last.determinant(), d) ||
            !cofactor(s + 1, j, keep_first.determinant(), d)) {
          return InverseOutcome::kFault;
        }
        break;
      }
      // The minor without row s: rows s+1..n-1 of the block.
      const auto size = static_cast<std::size_t>(cols);
      for (std::size_t c = 0; c < size; ++c) {
        std::copy(block + 1 + c * order, block + 1 + c * order + size, fork.data() + c * size);
      }
      PivotProduct own = shared;
      eliminate(fork.data(), size, cols, cols, own);
      own.product *= fork.data()[(size - 1) + (size - 1) * size];
      if (!std::isfinite(own.product) || !block_finite(fork.data(), size, size, size) ||
          !cofactor(s, j, own.determinant(), d)) {
        return InverseOutcome::kFault;
      }
      eliminate_step(block, order, n - s, cols, shared);
    }
    if (!std::isfinite(shared.product) || !block_finite(chain.data(), order, order, minor_order)) {
      return InverseOutcome::kFault;
    }
  }
  return InverseOutcome::kDone;
}

bool cramer(const double* a, std::size_t lda, const double* b, std::int32_t n, double* x) {
  const auto order = static_cast<std::size_t>(n);
  Buffer work(order * order);
  const auto load = [&](std::int32_t replaced) {
    for (std::size_t j = 0; j < order; ++j) {
      const double* col = static_cast<std::int32_t>(j) == replaced ? b : a + j * lda;
      std::copy(col, col + order, work.data() + j * order);
    }
  };
  load(-1);
  double d = 0.0;
  if (!determinant_in_place(work.data(), order, n, d) || !(d < 0.0 || d > 0.0)) return false;
  for (std::int32_t k = 0; k < n; ++k) {
    load(k);
    double dk = 0.0;
    if (!determinant_in_place(work.data(), order, n, dk)) return false;
    x[k] = dk / d;
    if (!std::isfinite(x[k])) return false;
  }
  return true;
}

}  // namespace nodrel::detail
