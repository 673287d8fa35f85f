#include "reference/reference.hpp"

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <functional>

#if defined(_WIN32) && (defined(__x86_64__) || defined(_M_X64))
#include <xmmintrin.h>
#endif

#include "nodrel/error.hpp"

namespace nodrel::reference {

namespace {

// The flags of the SSE unit, where doubles are computed on x86-64. On
// Windows they are read from MXCSR directly: the C runtime's feclearexcept
// and fetestexcept ask the processor with CPUID at every call, which costs a
// hypervisor exit each on a virtual machine and made these comparisons
// hundreds of times slower. The bits of MXCSR are those of FE_INVALID,
// FE_DIVBYZERO and FE_OVERFLOW.
#if defined(_WIN32) && (defined(__x86_64__) || defined(_M_X64))
void clear_flags() { _mm_setcsr(_mm_getcsr() & ~0x3Fu); }
int raised_flags() {
  return static_cast<int>(_mm_getcsr() & (FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW));
}
#else
void clear_flags() { std::feclearexcept(FE_ALL_EXCEPT); }
int raised_flags() { return std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW); }
#endif

constexpr double kTolerance = 1e-12;

// The exceptions that the operations of one stored result raised, read from
// the hardware. Operands and result pass through volatile variables, so the
// operation happens between the clearing and the reading of the flags.
class Faults {
 public:
  double add(double a, double b) { return run(std::plus<>(), a, b); }
  double sub(double a, double b) { return run(std::minus<>(), a, b); }
  double mul(double a, double b) { return run(std::multiplies<>(), a, b); }
  double div(double a, double b) { return run(std::divides<>(), a, b); }

  // Invalid or overflow: error 6; division by zero: error 11.
  void check() const {
    if ((raised_ & (FE_INVALID | FE_OVERFLOW)) != 0) raise(ErrorNumber::kOverflow);
    if ((raised_ & FE_DIVBYZERO) != 0) raise(ErrorNumber::kDivisionByZero);
  }

 private:
  template <typename Operation>
  double run(Operation op, double a, double b) {
    clear_flags();
    volatile double x = a, y = b, r = op(x, y);
    raised_ |= raised_flags();
    return r;
  }

  int raised_ = 0;
};

// Two values differ only when one is less than or greater than the other.
bool differs(double a, double b) { return a < b || a > b; }

// The sign bit flipped: a negation.
double negated(double a) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(a) ^ 0x8000000000000000ULL);
}

void swap_values(double& a, double& b) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(a);
  a = b;
  b = std::bit_cast<double>(bits);
}

// p q - r s, checked as one stored result.
double cross(double p, double q, double r, double s) {
  Faults f;
  const double d = f.sub(f.mul(p, q), f.mul(r, s));
  f.check();
  return d;
}

// One step of the elimination with column exchanges that mDet and mDiag
// share: the pivot is the largest magnitude of row k over columns k..last
// (the first one on a tie); at or below the tolerance the step is skipped
// (false). Otherwise the columns are exchanged over rows 1..n (the
// determinant, when given, changes sign and takes the pivot as a factor) and
// rows k+1..n are updated over columns k+1..n.
bool eliminate(DoubleArray& a, std::int32_t k, std::int32_t n, std::int32_t last, double* det) {
  std::int32_t p = k;
  double best = std::fabs(a(k, k));
  for (std::int32_t c = k + 1; c <= last; ++c) {
    if (std::fabs(a(k, c)) > best) {
      p = c;
      best = std::fabs(a(k, c));
    }
  }
  if (best <= kTolerance) return false;
  if (p != k) {
    for (std::int32_t j = 1; j <= n; ++j) swap_values(a(j, k), a(j, p));
  }
  if (det != nullptr) {
    if (p != k) *det = negated(*det);
    Faults f;
    *det = f.mul(*det, a(k, k));
    f.check();
  }
  for (std::int32_t i = k + 1; i <= n; ++i) {
    for (std::int32_t j = k + 1; j <= n; ++j) {
      Faults f;
      const double v = f.add(f.mul(f.div(negated(a(i, k)), a(k, k)), a(k, j)), a(i, j));
      a(i, j) = v;
      f.check();
    }
  }
  return true;
}

}  // namespace

// ---- sums, differences, negation, scaling, transpose ----

// mSum reads the bounds of its second source first, mDiff those of its
// first: which source fails first decides whether ErrCode was reset.
void Matr::Elementwise(char op, DoubleArray& mtrDest, const DoubleArray& mtrSrc1,
                       const DoubleArray& mtrSrc2, const DoubleArray& first,
                       const DoubleArray& second) {
  const std::int32_t r = first.ubound(1);
  const std::int32_t c = first.ubound(2);
  err_code = 0;
  const std::int32_t c2 = second.ubound(2);
  const std::int32_t r2 = second.ubound(1);
  if (c2 != c || r2 != r) {
    err_code = 1;
    return;
  }
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      Faults f;
      const double v =
          op == '+' ? f.add(mtrSrc1(i, j), mtrSrc2(i, j)) : f.sub(mtrSrc1(i, j), mtrSrc2(i, j));
      mtrDest(i, j) = v;
      f.check();
    }
  }
}

void Matr::mSum(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2) {
  Elementwise('+', mtrDest, mtrSrc1, mtrSrc2, mtrSrc2, mtrSrc1);
}

void Matr::mDiff(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2) {
  Elementwise('-', mtrDest, mtrSrc1, mtrSrc2, mtrSrc1, mtrSrc2);
}

void Matr::mOpp(DoubleArray& mtrDest) {
  const std::int32_t r = mtrDest.ubound(1);
  const std::int32_t c = mtrDest.ubound(2);
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) mtrDest(i, j) = negated(mtrDest(i, j));
  }
}

void Matr::mProdScal(DoubleArray& mtrA, double Nmr) {
  err_code = 0;
  const std::int32_t r = mtrA.ubound(1);
  const std::int32_t c = mtrA.ubound(2);
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      Faults f;
      const double v = f.mul(mtrA(i, j), Nmr);
      mtrA(i, j) = v;
      f.check();
    }
  }
}

void Matr::mTrasp(DoubleArray& mtrDest, const DoubleArray& mtrSrc) {
  const DoubleArray src = mtrSrc;  // read before the destination is cleared
  const std::int32_t r = src.ubound(1);
  const std::int32_t c = src.ubound(2);
  mtrDest.redim(c, r);
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) mtrDest(j, i) = src(i, j);
  }
}

// ---- products, trace, modulus ----

void Matr::mMult(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2) {
  const DoubleArray a = mtrSrc1;  // read before the destination is cleared
  const DoubleArray b = mtrSrc2;
  err_code = 0;
  const std::int32_t r = a.ubound(1);
  const std::int32_t c = b.ubound(2);
  const std::int32_t k = b.ubound(1);
  mtrDest.redim(r, c);
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      for (std::int32_t h = 1; h <= k; ++h) {
        Faults f;
        const double v = f.add(f.mul(a(i, h), b(h, j)), mtrDest(i, j));
        mtrDest(i, j) = v;
        f.check();
      }
    }
  }
}

void Matr::mMultVett(DoubleArray& vetDest, const DoubleArray& mtrSrc, const DoubleArray& vetSrc) {
  const DoubleArray a = mtrSrc;  // read before the destination is cleared
  const DoubleArray v = vetSrc;
  err_code = 0;
  const std::int32_t r = a.ubound(1);
  const std::int32_t c = a.ubound(2);
  vetDest.redim(r);
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      Faults f;
      const double s = f.add(f.mul(a(i, j), v(j)), vetDest(i));
      vetDest(i) = s;
      f.check();
    }
  }
}

double Matr::mTrace(const DoubleArray& mtrA) {
  err_code = 0;
  double s = 0.0;
  const std::int32_t n = mtrA.ubound(1);
  for (std::int32_t i = 1; i <= n; ++i) {
    Faults f;
    s = f.add(mtrA(i, i), s);
    f.check();
  }
  return s;
}

double Matr::mMod(const DoubleArray& mtrA) { return Modulus(mtrA, mMatrIsVect(mtrA)); }

// The Euclidean length of a Vector, or of column 1 of a Matrix.
double Matr::Modulus(const DoubleArray& a, bool vector) {
  err_code = 0;
  double s = 0.0;
  const std::int32_t n = a.ubound(1);
  for (std::int32_t i = 1; i <= n; ++i) {
    Faults f;
    const double x = vector ? a(i) : a(i, 1);
    s = f.add(s, f.mul(x, x));
    f.check();
  }
  return std::sqrt(s);
}

// ---- property tests ----

bool Matr::mIdentical(const DoubleArray& mtrA, const DoubleArray& mtrB) {
  const std::int32_t ra = mtrA.ubound(1);
  const std::int32_t ca = mtrA.ubound(2);
  const std::int32_t rb = mtrB.ubound(1);
  const std::int32_t cb = mtrB.ubound(2);
  if (ra != rb || ca != cb) return false;
  for (std::int32_t i = 1; i <= ra; ++i) {
    for (std::int32_t j = 1; j <= ca; ++j) {
      if (differs(mtrA(i, j), mtrB(i, j))) return false;
    }
  }
  return true;
}

bool Matr::mMatrIsUnit(const DoubleArray& mtrA) { return IsPattern(mtrA, 1.0); }
bool Matr::mMatrIsZero(const DoubleArray& mtrA) { return IsPattern(mtrA, 0.0); }

// A square matrix with `diagonal` on its diagonal and 0 elsewhere.
bool Matr::IsPattern(const DoubleArray& mtrA, double diagonal) {
  err_code = 0;
  const std::int32_t r = mtrA.ubound(1);
  const std::int32_t c = mtrA.ubound(2);
  if (!mMatrIsQuadr(mtrA)) {
    err_code = 3;
    return false;
  }
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      if (differs(mtrA(i, j), i == j ? diagonal : 0.0)) return false;
    }
  }
  return true;
}

bool Matr::mMatrIsOrt(const DoubleArray& mtrA) {
  err_code = 0;
  const std::int32_t r = mtrA.ubound(1);
  const std::int32_t c = mtrA.ubound(2);
  DoubleArray t1 = DoubleArray::zeros(r, c);
  DoubleArray t2 = DoubleArray::zeros(c, r);
  mDupl(t1, mtrA);
  mTrasp(t2, mtrA);
  mInv(t1);
  if (err_code != 0) return false;
  return mIdentical(t2, t1);
}

bool Matr::mMatrAreOrt(const DoubleArray& mtrA, const DoubleArray& mtrB) {
  DoubleArray t;
  mMult(t, mtrA, mtrB);
  return mMatrIsUnit(t);
}

// ---- determinant ----

double Matr::mDet(const DoubleArray& mtrA) {
  err_code = 0;
  const std::int32_t n = mtrA.ubound(1);
  if (!mMatrIsQuadr(mtrA)) return 0.0;
  if (n == 1) return mtrA(1, 1);
  if (n == 2) return cross(mtrA(1, 1), mtrA(2, 2), mtrA(1, 2), mtrA(2, 1));
  if (n == 3) return DetOrder3(mtrA);

  DoubleArray b;
  mDupl(b, mtrA);
  double det = 1.0;
  for (std::int32_t k = 1; k <= n - 1; ++k) {
    if (!eliminate(b, k, n, n, &det)) det = 0.0;
  }
  Faults f;
  det = f.mul(det, b(n, n));
  f.check();
  if (std::fabs(det) < kTolerance) return 0.0;
  return det;
}

double Matr::DetOrder3(const DoubleArray& a) {
  const double t1 = cross(a(2, 2), a(3, 3), a(2, 3), a(3, 2));
  const double t2 = cross(a(2, 1), a(3, 3), a(2, 3), a(3, 1));
  const double t3 = cross(a(2, 1), a(3, 2), a(2, 2), a(3, 1));
  Faults f;
  const double d = f.add(f.sub(f.mul(a(1, 1), t1), f.mul(a(1, 2), t2)), f.mul(a(1, 3), t3));
  f.check();
  if (std::fabs(d) < kTolerance) return 0.0;
  return d;
}

bool Matr::mMatrIsSing(const DoubleArray& mtrA) {
  err_code = 0;
  if (!mMatrIsQuadr(mtrA)) {
    err_code = 3;
    return false;
  }
  return !differs(mDet(mtrA), 0.0);
}

// ---- inverse and division ----

void Matr::mInv(DoubleArray& mtrDest) {
  const std::int32_t n = mtrDest.ubound(1);
  if (n < -32768 || n > 32767) raise(ErrorNumber::kOverflow);
  DoubleArray r = DoubleArray::zeros(n, n);
  DoubleArray m = DoubleArray::zeros(n - 1, n - 1);
  const double d = mDet(mtrDest);
  if (!differs(d, 0.0)) {
    err_code = 4;
    return;
  }
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = 1; j <= n; ++j) {
      std::int32_t row = 0;
      for (std::int32_t k = 1; k <= n; ++k) {
        if (k == i) continue;
        row = row + 1;
        std::int32_t col = 0;
        for (std::int32_t l = 1; l <= n; ++l) {
          if (l != j) m(row, ++col) = mtrDest(k, l);
        }
      }
      // Order 1: the minor is empty and its determinant is 1.
      const double minor = n - 1 == 0 ? 1.0 : mDet(m);
      Faults f;
      const double v = f.div(f.mul(std::pow(-1.0, i + j), minor), d);
      r(j, i) = v;
      f.check();
    }
  }
  mDupl(mtrDest, r);
}

void Matr::mDivd(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2) {
  DoubleArray t;
  mDupl(t, mtrSrc2);
  mInv(t);
  if (err_code == 0) mMult(mtrDest, t, mtrSrc1);
}

// ---- Cramer's rule ----

void Matr::mSist(DoubleArray& vetX, DoubleArray& mtrA, DoubleArray& vetB) {
  err_code = 0;
  const std::int32_t n = mtrA.ubound(1);
  const double d = mDet(mtrA);
  // The exchanges run against a copy of the right-hand side: the caller's
  // vetB then holds, at every exit, what it held on entry, and a vetX that
  // is the same array as vetB receives the solution as a distinct one would.
  DoubleArray b = vetB;
  for (std::int32_t k = 1; k <= n; ++k) {
    std::int32_t exchanged = 0;
    try {
      for (std::int32_t i = 1; i <= n; ++i) {
        swap_values(mtrA(i, k), b(i));
        exchanged = i;
      }
      const double dk = mDet(mtrA);
      Faults f;
      const double x = f.div(dk, d);
      vetX(k) = x;
      f.check();
    } catch (...) {
      for (std::int32_t i = 1; i <= exchanged; ++i) swap_values(b(i), mtrA(i, k));
      throw;
    }
    for (std::int32_t i = 1; i <= n; ++i) swap_values(b(i), mtrA(i, k));
  }
}

// ---- diagonal reduction ----

void Matr::mDiag(DoubleArray& mtrA) {
  err_code = 0;
  const std::int32_t n = mtrA.ubound(1);
  const std::int32_t m = mtrA.ubound(2);
  if (m < n) raise(ErrorNumber::kSubscriptOutOfRange);
  for (std::int32_t k = 1; k <= n - 1; ++k) eliminate(mtrA, k, n, m, nullptr);
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = 1; j <= m; ++j) {
      if (i != j) mtrA(i, j) = 0.0;
    }
  }
}

// ---- inner steps ----

bool Matr::mMatrIsVect(const DoubleArray& mtrA) {
  err_code = 0;
  if (mtrA.dims() == 0) return false;  // no array: ubound(1) fails
  return mtrA.dims() == 1;             // a second dimension: not a Vector
}

bool Matr::mMatrIsQuadr(const DoubleArray& mtrDest) {
  err_code = 0;
  const std::int32_t r = mtrDest.ubound(1);
  const std::int32_t c = mtrDest.ubound(2);
  return r == c;
}

void Matr::mDupl(DoubleArray& mtrDest, const DoubleArray& mtrSrc) {
  err_code = 0;
  const std::int32_t r = mtrSrc.ubound(1);
  const std::int32_t c = mtrSrc.ubound(2);
  mtrDest.redim(r, c);
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) mtrDest(i, j) = mtrSrc(i, j);
  }
}

}  // namespace nodrel::reference
