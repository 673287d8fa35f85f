// Products of matrices and of a matrix by a vector, the trace and the
// modulus.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "algebra/dense.hpp"
#include "algebra/kernels.hpp"
#include "matr/fp_check.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

namespace {

// Products at or below this many multiplications are formed column by
// column with the matrix-vector kernel; larger ones go through the blocked
// product, whose packing pays off only then.
constexpr std::int64_t kBlockedProductFrom = 24 * 24 * 24;
// Products up to this many multiplications are cheaper in plain loops than
// any call.
constexpr std::int64_t kScalarProductUpTo = 5 * 5 * 5;

// The product into the freshly zeroed destination without the per-element
// check: each element is the sum over h in increasing order, starting from
// the 0.0 the destination holds, as in the checked loops. True when every
// element came out finite, which (the sources' elements being whatever they
// are) means that no operation raised a flag: a non-finite source element
// or a non-finite product or partial sum leaves its element non-finite.
// False sends the caller back to the checked loops.
bool fast_product(DoubleArray& dest, const DoubleArray& src1, const DoubleArray& src2,
                  std::int32_t r, std::int32_t c, std::int32_t k) {
  detail::MatrixView a;
  detail::MatrixView b;
  if (r < 1 || c < 1 || k < 1 || !detail::view_matrix(src1, r, k, a) ||
      !detail::view_matrix(src2, k, c, b)) {
    return false;
  }
  const auto rows = static_cast<std::size_t>(r);
  const auto cols = static_cast<std::size_t>(c);
  const auto inner = static_cast<std::size_t>(k);
  // The destination has bounds 0..r, 0..c: element (1, 1) follows row 0.
  const std::size_t ldc = rows + 1;
  double* out = dest.storage().data() + 1 + ldc;
  const std::int64_t multiplications = static_cast<std::int64_t>(r) * c * k;
  if (multiplications <= kScalarProductUpTo) {
    // Tiny products: plain loops, no call into the kernels.
    double finite = 0.0;
    for (std::size_t j = 0; j < cols; ++j) {
      for (std::size_t i = 0; i < rows; ++i) {
        double sum = 0.0;
        for (std::size_t h = 0; h < inner; ++h)
          sum = a.data[i + h * a.ld] * b.data[h + j * b.ld] + sum;
        out[i + j * ldc] = sum;
        finite += sum * 0.0;
      }
    }
    return finite == 0.0;
  }
  const detail::Kernels& kern = detail::kernels();
  if (multiplications <= kBlockedProductFrom) {
    // Column j of the product is src1 times column j of src2, which is
    // contiguous in storage.
    for (std::size_t j = 0; j < cols; ++j) {
      kern.gemv(rows, inner, a.data, a.ld, b.data + j * b.ld, out + j * ldc);
    }
  } else {
    kern.gemm(rows, cols, inner, a.data, a.ld, b.data, b.ld, out, ldc);
  }
  return detail::all_finite(out, ldc, rows, cols);
}

}  // namespace

void Matr::mMult(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2) {
  // The destination is cleared before the sources are read: a source that is
  // the destination itself is read from a snapshot taken first.
  if (&mtrDest == &mtrSrc1 || &mtrDest == &mtrSrc2) {
    const DoubleArray snapshot = mtrDest;
    mMult(mtrDest, &mtrSrc1 == &mtrDest ? snapshot : mtrSrc1,
          &mtrSrc2 == &mtrDest ? snapshot : mtrSrc2);
    return;
  }
  err_code_ = 0;
  // The inner order k is the row count of the second source; the column
  // count of the first is never read, so a first source with more columns
  // has its extra columns ignored and one with fewer fails with error 9.
  const std::int32_t r = mtrSrc1.ubound(1);
  const std::int32_t c = mtrSrc2.ubound(2);
  const std::int32_t k = mtrSrc2.ubound(1);
  mtrDest.redim(r, c);
  if (detail::with_scratch([&] { return fast_product(mtrDest, mtrSrc1, mtrSrc2, r, c, k); })) {
    return;
  }
  // The checked loops, from a destination of zeros again: they raise the
  // error of the first faulty operation with the elements before it summed,
  // or fail with error 9 where a source lacks an element.
  std::fill(mtrDest.storage().begin(), mtrDest.storage().end(), 0.0);
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      // Each product is rounded before it is added to the running sum, and
      // every partial sum is stored before it is checked.
      for (std::int32_t h = 1; h <= k; ++h) {
        detail::FpFlags f;
        const double product = f.mul(mtrSrc1(i, h), mtrSrc2(h, j));
        const double sum = f.add(product, mtrDest(i, j));
        mtrDest(i, j) = sum;
        detail::check(f);
      }
    }
  }
}

void Matr::mMultVett(DoubleArray& vetDest, const DoubleArray& mtrSrc, const DoubleArray& vetSrc) {
  if (&vetDest == &mtrSrc || &vetDest == &vetSrc) {
    const DoubleArray snapshot = vetDest;
    mMultVett(vetDest, &mtrSrc == &vetDest ? snapshot : mtrSrc,
              &vetSrc == &vetDest ? snapshot : vetSrc);
    return;
  }
  err_code_ = 0;
  const std::int32_t r = mtrSrc.ubound(1);
  const std::int32_t c = mtrSrc.ubound(2);
  vetDest.redim(r);
  if (r >= 1 && c >= 1) {
    // The fast path, as for mMult: vetDest(i) is summed over j in
    // increasing order from 0.0; a non-finite element anywhere in the sums
    // leaves its result non-finite, and then the checked loops run again.
    detail::MatrixView a;
    const double* x = detail::view_vector(vetSrc, c);
    if (x != nullptr && detail::view_matrix(mtrSrc, r, c, a)) {
      double* y = vetDest.storage().data() + 1;
      detail::kernels().gemv(static_cast<std::size_t>(r), static_cast<std::size_t>(c), a.data, a.ld,
                             x, y);
      if (detail::all_finite(y, 0, static_cast<std::size_t>(r), 1)) return;
      std::fill(vetDest.storage().begin(), vetDest.storage().end(), 0.0);
    }
  }
  // vetSrc is not measured: it must hold indices 1..c, and its elements
  // beyond c are ignored.
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      detail::FpFlags f;
      const double product = f.mul(mtrSrc(i, j), vetSrc(j));
      const double sum = f.add(product, vetDest(i));
      vetDest(i) = sum;
      detail::check(f);
    }
  }
}

double Matr::mTrace(const DoubleArray& mtrA) {
  err_code_ = 0;
  double s = 0.0;
  // Only the row bound is read: a matrix with fewer columns than rows fails
  // with error 9 once i passes its last column.
  const std::int32_t n = mtrA.ubound(1);
  for (std::int32_t i = 1; i <= n; ++i) {
    detail::FpFlags f;
    s = f.add(mtrA(i, i), s);
    detail::check(f);
  }
  return s;
}

double Matr::mMod(const DoubleArray& mtrA) {
  // Anything that is not a vector, an argument without an array included,
  // is measured as a matrix by its first column.
  return mMatrIsVect(mtrA) ? VectModulus(mtrA) : MatrModulus(mtrA);
}

double Matr::VectModulus(const DoubleArray& v) {
  err_code_ = 0;
  double s = 0.0;
  const std::int32_t n = v.ubound(1);
  for (std::int32_t i = 1; i <= n; ++i) {
    detail::FpFlags f;
    const double square = f.mul(v(i), v(i));
    s = f.add(s, square);
    detail::check(f);
  }
  // s is a sum of squares, never below zero: the root raises no flag.
  return std::sqrt(s);
}

double Matr::MatrModulus(const DoubleArray& a) {
  err_code_ = 0;
  double s = 0.0;
  const std::int32_t n = a.ubound(1);
  for (std::int32_t i = 1; i <= n; ++i) {
    detail::FpFlags f;
    const double square = f.mul(a(i, 1), a(i, 1));
    s = f.add(s, square);
    detail::check(f);
  }
  return std::sqrt(s);
}

}  // namespace nodrel
