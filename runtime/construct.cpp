// Construction and copying: zero and identity matrices, zero and all-ones
// vectors, the copy of a matrix and the copy of a variant's contents.
#include <cstdint>

#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

void Matr::mMakeMatrNul(DoubleArray& mtrA, std::int32_t ordr, std::int32_t ordc) {
  err_code_ = 0;
  mtrA.redim(ordr, ordc);
}

void Matr::mMakeVectNul(DoubleArray& vetA, std::int32_t ordr) {
  err_code_ = 0;
  vetA.redim(ordr);
}

void Matr::mMakeMatrI(DoubleArray& mtrA, std::int32_t ordr) {
  err_code_ = 0;
  mtrA.redim(ordr, ordr);
  for (std::int32_t i = 1; i <= ordr; ++i) mtrA(i, i) = 1.0;
}

void Matr::mMakeVectI(DoubleArray& vetA, std::int32_t ordr) {
  err_code_ = 0;
  vetA.redim(ordr);
  for (std::int32_t i = 1; i <= ordr; ++i) vetA(i) = 1.0;
}

void Matr::mDupl(DoubleArray& mtrDest, const DoubleArray& mtrSrc) {
  // The destination is re-dimensioned before the source is read: given the
  // same array twice, copy from a snapshot so that the data survives.
  if (&mtrDest == &mtrSrc) {
    const DoubleArray snapshot = mtrSrc;
    mDupl(mtrDest, snapshot);
    return;
  }
  err_code_ = 0;
  const std::int32_t r = mtrSrc.ubound(1);
  const std::int32_t c = mtrSrc.ubound(2);
  mtrDest.redim(r, c);
  // Row 0 and column 0 are not copied: the copy has zeros there. A source
  // with a lower bound above 1 fails at (1, 1), the destination already
  // re-dimensioned.
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) mtrDest(i, j) = mtrSrc(i, j);
  }
}

namespace {

// Upper bound of dimension d of the array a variant holds; error 9 when it
// has fewer dimensions.
std::int32_t variant_ubound(const Variant& v, std::size_t d) {
  const std::vector<ArrayBound>& bounds = v.array_bounds();
  if (d < 1 || d > bounds.size()) raise(ErrorNumber::kSubscriptOutOfRange);
  const std::int64_t u = bounds[d - 1].upper();
  if (u < INT32_MIN || u > INT32_MAX) raise(ErrorNumber::kSubscriptOutOfRange);
  return static_cast<std::int32_t>(u);
}

// Offset of element (i) or (i, j) of an array with these bounds, with the
// checks of DoubleArray's element access.
std::size_t variant_offset(const std::vector<ArrayBound>& bounds,
                           std::initializer_list<std::int32_t> index) {
  if (bounds.size() != index.size()) raise(ErrorNumber::kSubscriptOutOfRange);
  std::size_t offset = 0;
  std::size_t stride = 1;
  std::size_t d = 0;
  for (std::int32_t i : index) {
    const std::int64_t k = std::int64_t{i} - bounds[d].lower;
    if (k < 0 || k >= bounds[d].count) raise(ErrorNumber::kSubscriptOutOfRange);
    offset += static_cast<std::size_t>(k) * stride;
    stride *= bounds[d].count;
    ++d;
  }
  return offset;
}

// Element (i) or (i, j) of the array a variant holds, converted to a double.
double variant_element(const Variant& v, std::initializer_list<std::int32_t> index,
                       const Locale& locale) {
  if (const DoubleArray* d = v.double_array()) {
    return d->storage()[variant_offset(d->bounds(), index)];
  }
  const VariantArray& a = *v.array();
  // An array of variants whose bounds promise more elements than it holds
  // is a type mismatch, as at the late-binding boundary.
  const std::size_t k = variant_offset(a.bounds, index);
  if (k >= a.elements.size()) raise(ErrorNumber::kTypeMismatch);
  return to_double(a.elements[k], locale);
}

}  // namespace

void Matr::mDuplVar(DoubleArray& mtrDest, const Variant& VarArray) {
  // A variant that holds the destination itself is read from a snapshot.
  if (VarArray.double_array() == &mtrDest) {
    const Variant snapshot = VarArray;
    mDuplVar(mtrDest, snapshot);
    return;
  }
  err_code_ = 0;
  if (VarArray.is_array()) {
    const std::int32_t n = variant_ubound(VarArray, 1);
    // A source of one dimension, or one whose second upper bound is below 0,
    // makes the destination a Vector: the second re-dimensioning of the
    // original fails there, and that failure is suppressed by design. A
    // destination too large to allocate is no such case: it fails with
    // error 7 before anything changes, so both bounds are known before the
    // one re-dimensioning is made.
    const bool two_dimensions = VarArray.array_bounds().size() >= 2;
    const std::int32_t m = two_dimensions ? variant_ubound(VarArray, 2) : 0;
    if (two_dimensions && m >= 0) {
      mtrDest.redim(n, m);
    } else {
      mtrDest.redim(n);
    }
    for (std::int32_t i = 1; i <= n; ++i) {
      if (m > 0) {
        for (std::int32_t j = 1; j <= m; ++j)
          mtrDest(i, j) = variant_element(VarArray, {i, j}, locale_);
      } else {
        mtrDest(i) = variant_element(VarArray, {i}, locale_);
      }
    }
    return;
  }
  if (is_numeric(VarArray, locale_)) {
    const double value = to_double(VarArray, locale_);
    mtrDest.redim(1, 1);
    mtrDest(1, 1) = value;
  }
  // Anything else (Null, a date, an error value, an object, a text that is
  // not a number) leaves the destination as it was.
}

}  // namespace nodrel
