// Products of matrices and of a matrix by a vector, the trace and the
// modulus.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "fastpath/driver.hpp"
#include "runtime/fp_check.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

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
  detail::fast::product(mtrDest, mtrSrc1, mtrSrc2, r, c, k, [&] {
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
  });
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
  detail::fast::product_vector(vetDest, mtrSrc, vetSrc, r, c, [&] {
    std::fill(vetDest.storage().begin(), vetDest.storage().end(), 0.0);
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
  });
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
