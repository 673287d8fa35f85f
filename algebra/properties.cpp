// Property tests: equality, identity, zero and orthogonality. Every
// comparison is exact, by the component's comparison of doubles: -0.0
// equals 0.0 and a NaN equals every value. There is no tolerance.
#include <cstdint>

#include "runtime/fp_check.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

namespace {

// True when elements 1..r, 1..c of a all equal `diagonal` on the diagonal
// and `off_diagonal` elsewhere; stops at the first element that differs.
bool matches_pattern(const DoubleArray& a, std::int32_t r, std::int32_t c, double diagonal,
                     double off_diagonal) {
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      if (detail::differ(a(i, j), i == j ? diagonal : off_diagonal)) return false;
    }
  }
  return true;
}

}  // namespace

bool Matr::mIdentical(const DoubleArray& mtrA, const DoubleArray& mtrB) {
  const std::int32_t r = mtrA.ubound(1);
  const std::int32_t c = mtrA.ubound(2);
  const std::int32_t rb = mtrB.ubound(1);
  const std::int32_t cb = mtrB.ubound(2);
  if (r != rb || c != cb) return false;
  if (c < 1) return true;  // no column: no element to compare, and no row is walked
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      if (detail::differ(mtrA(i, j), mtrB(i, j))) return false;
    }
  }
  return true;
}

bool Matr::mMatrIsUnit(const DoubleArray& mtrA) {
  err_code_ = 0;
  const std::int32_t r = mtrA.ubound(1);
  const std::int32_t c = mtrA.ubound(2);
  if (!mMatrIsQuadr(mtrA)) {
    err_code_ = 3;
    return false;
  }
  return matches_pattern(mtrA, r, c, 1.0, 0.0);
}

bool Matr::mMatrIsZero(const DoubleArray& mtrA) {
  err_code_ = 0;
  const std::int32_t r = mtrA.ubound(1);
  const std::int32_t c = mtrA.ubound(2);
  if (!mMatrIsQuadr(mtrA)) {
    err_code_ = 3;
    return false;
  }
  return matches_pattern(mtrA, r, c, 0.0, 0.0);
}

bool Matr::mMatrIsOrt(const DoubleArray& mtrA) {
  err_code_ = 0;
  mtrA.ubound(1);
  mtrA.ubound(2);
  // The inverse of a copy is compared with the transpose. The inversion
  // reports a singular or non-square matrix with code 4, which stays.
  DoubleArray inverse;
  mDupl(inverse, mtrA);
  DoubleArray transpose;
  mTrasp(transpose, mtrA);
  mInv(inverse);
  if (err_code_ != 0) return false;
  return mIdentical(transpose, inverse);
}

bool Matr::mMatrAreOrt(const DoubleArray& mtrA, const DoubleArray& mtrB) {
  DoubleArray product;
  mMult(product, mtrA, mtrB);
  // A product that is not square sets code 3 through the identity test.
  return mMatrIsUnit(product);
}

}  // namespace nodrel
