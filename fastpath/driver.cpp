#include "fastpath/driver.hpp"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "runtime/memory.hpp"
#include "numeric/block.hpp"
#include "numeric/elimination.hpp"
#include "numeric/products.hpp"
#include "numeric/scratch.hpp"

namespace nodrel::detail::fast {

namespace {

using numeric::Outcome;

// A view of elements 1..rows, 1..cols of a two-dimensional array, or false
// when one of them is missing: the array needs two dimensions, lower bounds
// of 0 or 1 (so that index 1 exists) and upper bounds that reach rows and
// cols, which are at least 1.
bool view_matrix(const DoubleArray& a, std::int32_t rows, std::int32_t cols,
                 numeric::ConstBlock& view) {
  if (a.dims() != 2 || rows < 1 || cols < 1) return false;
  const ArrayBound& b1 = a.bounds()[0];
  const ArrayBound& b2 = a.bounds()[1];
  if (b1.lower < 0 || b1.lower > 1 || b2.lower < 0 || b2.lower > 1) return false;
  if (b1.upper() < rows || b2.upper() < cols) return false;
  view.ld = b1.count;
  view.data =
      a.storage().data() + (1 - b1.lower) + static_cast<std::size_t>(1 - b2.lower) * view.ld;
  view.rows = static_cast<std::size_t>(rows);
  view.cols = static_cast<std::size_t>(cols);
  return true;
}

// Elements 1..n of a one-dimensional array, or nullptr when one of them is
// missing. n is at least 1.
const double* view_vector(const DoubleArray& v, std::int32_t n) {
  if (v.dims() != 1 || n < 1) return nullptr;
  const ArrayBound& b = v.bounds()[0];
  if (b.lower < 0 || b.lower > 1 || b.upper() < n) return nullptr;
  return v.storage().data() + (1 - b.lower);
}

// An element of an array the method passed as writable: the view was made
// read-only only to share view_matrix and view_vector.
double* writable(const double* element) { return const_cast<double*>(element); }

// Elements 1..n, 1..n of the array that mDupl makes of an order-n result
// (bounds 0..n, 0..n).
numeric::Block result_block(DoubleArray& a, std::size_t n) {
  const std::size_t ld = n + 1;
  return numeric::Block{a.storage().data() + 1 + ld, ld, n, n};
}

// Set by force_checked_loops: no fast path runs.
std::atomic<bool> checked_only{false};

// Runs a fast path, which answers whether it finished the call. The fast
// paths write the caller's arrays only after their scratch is in hand, so a
// refusal (error 7) leaves the arguments as the failure rules allow.
template <typename Fast>
bool finished(Fast&& fast) {
  return !checked_only.load(std::memory_order_relaxed) && with_scratch(fast);
}

// The checked loops' copy of the order-n matrix would need (n + 1)^2
// elements: a matrix too large for it keeps its error (out of memory) there.
bool copy_fits(std::int32_t n) {
  if (n < 1) return false;
  const auto elements = static_cast<std::uint64_t>(n) + 1;
  return elements * elements <= kMaxArrayElements;
}

}  // namespace

void force_checked_loops(bool on) { checked_only.store(on, std::memory_order_relaxed); }

double determinant(const DoubleArray& a, std::int32_t n, Loops<double> checked) {
  numeric::ConstBlock view;
  double det = 0.0;
  if (copy_fits(n) && view_matrix(a, n, n, view) &&
      finished([&] { return numeric::determinant(view, det) != Outcome::kFault; })) {
    return det;
  }
  return checked();
}

void inverse(DoubleArray& a, std::int32_t n, std::int32_t& err_code, Loops<void> checked) {
  // The result is written as mDupl writes it, so an argument that refuses
  // re-dimensioning (a fixed array) goes to the checked loops, which fail
  // where mDupl fails.
  numeric::ConstBlock view;
  if (copy_fits(n) && a.dims() == 2 && a.ubound(2) == n && !a.fixed() &&
      view_matrix(a, n, n, view) && finished([&] {
        const auto order = static_cast<std::size_t>(n);
        numeric::Scratch<double, 8 * 8> buffer(order * order);
        const numeric::Block inverse{buffer.data(), order, order, order};
        switch (numeric::inverse(view, inverse)) {
          case Outcome::kSingular: err_code = 4; return true;
          case Outcome::kDone: {
            err_code = 0;
            a.redim(n, n);
            const numeric::Block out = result_block(a, order);
            for (std::size_t j = 0; j < order; ++j) {
              std::copy(inverse.column(j), inverse.column(j) + order, out.column(j));
            }
            return true;
          }
          case Outcome::kFault: break;
        }
        return false;
      })) {
    return;
  }
  checked();
}

void system(DoubleArray& x, const DoubleArray& a, const DoubleArray& b, std::int32_t n,
            Loops<void> checked) {
  // Arrays that share storage go to the checked loops, which exchange
  // columns in place.
  numeric::ConstBlock view;
  const double* rhs = view_vector(b, n);
  const double* solution = view_vector(x, n);
  if (rhs != nullptr && solution != nullptr && &x != &a && &b != &a && a.dims() == 2 &&
      a.ubound(2) == n && view_matrix(a, n, n, view) && finished([&] {
        const auto order = static_cast<std::size_t>(n);
        numeric::Scratch<double, 16> buffer(order);
        if (numeric::cramer(view, rhs, buffer.data()) != Outcome::kDone) return false;
        std::copy(buffer.data(), buffer.data() + order, writable(solution));
        return true;
      })) {
    return;
  }
  checked();
}

void diagonal(DoubleArray& a, std::int32_t n, std::int32_t m, Loops<void> checked) {
  numeric::ConstBlock view;
  if (view_matrix(a, n, m, view) && finished([&] {
        const numeric::Block block{writable(view.data), view.ld, view.rows, view.cols};
        return numeric::reduce_diagonal(block) == Outcome::kDone;
      })) {
    return;
  }
  checked();
}

void product(DoubleArray& dest, const DoubleArray& a, const DoubleArray& b, std::int32_t r,
             std::int32_t c, std::int32_t k, Loops<void> checked) {
  numeric::ConstBlock left;
  numeric::ConstBlock right;
  if (k >= 1 && view_matrix(a, r, k, left) && view_matrix(b, k, c, right) && finished([&] {
        const numeric::Block out{dest.storage().data() + 1 + (static_cast<std::size_t>(r) + 1),
                                 static_cast<std::size_t>(r) + 1, left.rows, right.cols};
        return numeric::multiply(left, right, out) == Outcome::kDone;
      })) {
    return;
  }
  checked();
}

void product_vector(DoubleArray& dest, const DoubleArray& a, const DoubleArray& x, std::int32_t r,
                    std::int32_t c, Loops<void> checked) {
  numeric::ConstBlock view;
  const double* v = view_vector(x, c);
  if (v != nullptr && view_matrix(a, r, c, view) && finished([&] {
        return numeric::multiply_vector(view, v, dest.storage().data() + 1) == Outcome::kDone;
      })) {
    return;
  }
  checked();
}

}  // namespace nodrel::detail::fast
