// Least-squares polynomial fit through the normal equations.
//
// The coefficients are c = (AᵀA)⁻¹ (Aᵀy), A the design matrix of powers of x.
// Every step is one of the object's own methods (transpose, product, copy,
// cofactor inverse), so the rounding of the result is theirs: the normal
// matrix is inverted explicitly and the determinant tolerance of 1e-12
// applies to it, which is why closely spaced or tiny abscissas report a
// singular system (code 4) long before the fit itself would be meaningless.
#include <cstdint>

#include "runtime/fp_check.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

namespace {
// The largest number of coefficients: the counters of the powers are 16-bit,
// and a loop up to 32767 would overflow its counter on the way out.
constexpr std::int32_t kMaxRank = 32766;
}  // namespace

void Matr::mPolin(DoubleArray& vetCoeff, const DoubleArray& mtrPts, std::int32_t Rank,
                  VariantRef NoPoints) {
  // The layout: points in rows when there are two columns (tested first, so
  // a 2 x 2 table is two points in rows), else points in columns.
  bool in_rows;
  if (mtrPts.ubound(2) == 2) {
    in_rows = true;
  } else if (mtrPts.ubound(1) == 2) {
    in_rows = false;
  } else {
    err_code_ = 8;
    return;
  }

  // The number of points: all of them unless the caller names a count. The
  // count is compared with Rank as given (2.5 points admit 2 coefficients,
  // not 3) and only then rounded to an integer, half to even.
  std::int32_t n;
  if (NoPoints->is_missing()) {
    n = in_rows ? mtrPts.ubound(1) : mtrPts.ubound(2);
    if (Rank > n) {
      err_code_ = 9;
      return;
    }
  } else {
    // Compared with Null the test is not true; the conversion then fails.
    if (NoPoints->kind() != VariantKind::kNull && greater_than(Rank, *NoPoints, locale_)) {
      err_code_ = 9;
      return;
    }
    n = to_int32(*NoPoints, locale_);
  }

  DoubleArray a;
  DoubleArray y;
  if (in_rows) {
    PolinDesignRows(a, y, mtrPts, n, Rank);
  } else {
    PolinDesignCols(a, y, mtrPts, n, Rank);
  }
  PolinSolve(vetCoeff, a, y, Rank);
}

namespace {

// Fills the design matrix and the ordinates; `point(i, k)` reads coordinate
// k (1 = x, 2 = y) of point i. Counters are 32-bit, so a fit over more than
// 32,766 points works; the number of coefficients keeps its 16-bit limit.
template <typename Point>
void design(DoubleArray& a, DoubleArray& y, std::int32_t n, std::int32_t rank, Point point) {
  if (rank > kMaxRank) raise(ErrorNumber::kOverflow);
  a.redim(n, rank);
  y.redim(n);
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = 1; j <= rank; ++j) {
      // x to the power j - 1 by the power function: 0^0 is 1.
      detail::FpFlags f;
      a(i, j) = f.pow(point(i, 1), j - 1);
      detail::check(f);
    }
    y(i) = point(i, 2);
  }
}

}  // namespace

void Matr::PolinDesignRows(DoubleArray& a, DoubleArray& y, const DoubleArray& pts, std::int32_t n,
                           std::int32_t rank) {
  err_code_ = 0;
  design(a, y, n, rank, [&](std::int32_t i, std::int32_t k) { return pts(i, k); });
}

void Matr::PolinDesignCols(DoubleArray& a, DoubleArray& y, const DoubleArray& pts, std::int32_t n,
                           std::int32_t rank) {
  err_code_ = 0;
  design(a, y, n, rank, [&](std::int32_t i, std::int32_t k) { return pts(k, i); });
}

void Matr::PolinSolve(DoubleArray& vetCoeff, const DoubleArray& a, const DoubleArray& y,
                      std::int32_t rank) {
  // No coefficients: the empty polynomial, whose value is 0 everywhere, as
  // the evaluation gives for a coefficient Vector of bounds 0..0. (Inverting
  // the empty normal matrix would fail on its minor of order -1.)
  if (rank == 0) {
    vetCoeff.redim(0);
    return;
  }
  DoubleArray at;
  mTrasp(at, a);
  DoubleArray m;
  mMult(m, at, a);
  DoubleArray m_inv;
  mDupl(m_inv, m);
  mInv(m_inv);
  if (err_code_ != 0) return;  // singular normal matrix: code 4, nothing written
  DoubleArray v;
  mMultVett(v, at, y);
  // The coefficients are formed aside and handed over whole, so that a fault
  // in the last product leaves the caller's Vector untouched.
  DoubleArray coeff;
  mMultVett(coeff, m_inv, v);
  if (vetCoeff.fixed()) raise(ErrorNumber::kArrayFixedOrLocked);
  vetCoeff = std::move(coeff);
}

}  // namespace nodrel
