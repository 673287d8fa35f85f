// Element-wise operations: sum, difference, negation, product by a number,
// and the transpose.
#include <cstdint>

#include "runtime/fp_check.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

namespace {

// True when `other` has the upper bounds r and c of the source that drives
// the loops; lower bounds play no part. Its column bound is read first.
bool same_order(const DoubleArray& other, std::int32_t r, std::int32_t c) {
  const std::int32_t other_c = other.ubound(2);
  const std::int32_t other_r = other.ubound(1);
  return other_r == r && other_c == c;
}

}  // namespace

void Matr::mSum(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2) {
  const std::int32_t r = mtrSrc2.ubound(1);
  const std::int32_t c = mtrSrc2.ubound(2);
  err_code_ = 0;
  if (!same_order(mtrSrc1, r, c)) {
    err_code_ = 1;
    return;
  }
  // Both sources are read before the destination element is written, so the
  // destination may be one of them. It is not re-dimensioned: a destination
  // too small fails with error 9 at the first index it lacks.
  if (c < 1) return;  // no column: no element is visited, and no row is walked
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      detail::FpFlags f;
      const double sum = f.add(mtrSrc1(i, j), mtrSrc2(i, j));
      mtrDest(i, j) = sum;
      detail::check(f);
    }
  }
}

void Matr::mDiff(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2) {
  const std::int32_t r = mtrSrc1.ubound(1);
  const std::int32_t c = mtrSrc1.ubound(2);
  err_code_ = 0;
  if (!same_order(mtrSrc2, r, c)) {
    err_code_ = 1;
    return;
  }
  if (c < 1) return;  // no column: no element is visited, and no row is walked
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      detail::FpFlags f;
      const double difference = f.sub(mtrSrc1(i, j), mtrSrc2(i, j));
      mtrDest(i, j) = difference;
      detail::check(f);
    }
  }
}

void Matr::mOpp(DoubleArray& mtrDest) {
  const std::int32_t r = mtrDest.ubound(1);
  const std::int32_t c = mtrDest.ubound(2);
  // A negation only flips the sign bit: it raises no floating-point flag,
  // so there is nothing to check.
  if (c < 1) return;  // no column: no element is visited, and no row is walked
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) mtrDest(i, j) = -mtrDest(i, j);
  }
}

void Matr::mProdScal(DoubleArray& mtrA, double Nmr) {
  err_code_ = 0;
  const std::int32_t r = mtrA.ubound(1);
  const std::int32_t c = mtrA.ubound(2);
  if (c < 1) return;  // no column: no element is visited, and no row is walked
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      detail::FpFlags f;
      const double product = f.mul(mtrA(i, j), Nmr);
      mtrA(i, j) = product;
      detail::check(f);
    }
  }
}

void Matr::mTrasp(DoubleArray& mtrDest, const DoubleArray& mtrSrc) {
  // The destination is re-dimensioned before the source is read: given the
  // same array twice, read from a snapshot so that the data survives.
  if (&mtrDest == &mtrSrc) {
    const DoubleArray snapshot = mtrSrc;
    mTrasp(mtrDest, snapshot);
    return;
  }
  const std::int32_t r = mtrSrc.ubound(1);
  const std::int32_t c = mtrSrc.ubound(2);
  mtrDest.redim(c, r);
  if (c < 1) return;  // no column: no element is visited, and no row is walked
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) mtrDest(j, i) = mtrSrc(i, j);
  }
}

}  // namespace nodrel
