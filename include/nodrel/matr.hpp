// Matr: the component's one class. Its 36 public methods are the whole
// interface; they are declared here in the order of the automation interface
// and defined in the folder of their subsystem (runtime/, algebra/, linalg/,
// polin/, print/, about/).
//
// Matrices and vectors belong to the caller and are passed by reference as
// DoubleArray. A Matrix of order r x c has upper bounds r and c; a Vector of
// order n has upper bound n. Every loop runs from index 1: row 0 and column 0
// are never read, and arrays the component makes have lower bounds 0.
//
// A method reports a condition it tests for by setting ErrCode() and
// returning normally (a returned flag is then false, a number 0); everything
// else fails with a nodrel::Error (see error.hpp). What a method wrote before
// a run-time error stays written.
//
//   nodrel::Matr m;
//   auto a = nodrel::DoubleArray::matrix({{4, 7}, {2, 6}});
//   m.mInv(a);          // a: bounds 0..2, 0..2; (1, 1) = 0.6, (1, 2) = -0.7
//   m.ErrCode()         -> 0
//   auto s = nodrel::DoubleArray::matrix({{1, 1}, {1, 1}});
//   m.mInv(s);          // s unchanged
//   m.ErrCode()         -> 4, "Matrice Singolare" after Initialize_dMatr()
#ifndef NODREL_MATR_HPP
#define NODREL_MATR_HPP

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "nodrel/double_array.hpp"
#include "nodrel/export.hpp"
#include "nodrel/locale.hpp"
#include "nodrel/platform.hpp"
#include "nodrel/variant.hpp"

namespace nodrel {

class NODREL_API Matr {
 public:
  Matr();

  // The code of the last condition a method detected, -1..9; 0 when the
  // object is new.
  std::int32_t ErrCode() const noexcept { return err_code_; }
  // The message of `code` (-1..9): empty until Initialize_dMatr() fills the
  // table. Run-time error 9 for a code outside -1..9.
  const std::string& ErrMsg(std::int32_t code) const;

  // The locale in which texts read as numbers (mDuplVar, mPolin, mPrint)
  // and in which mPrint formats; Locale::process() when the object is made.
  const Locale& locale() const noexcept { return locale_; }
  void set_locale(Locale locale) { locale_ = std::move(locale); }

  // The services behind mPrint's message box, clipboard and file
  // destinations and behind mShowAbout: default_platform() until another is
  // set; setting nullptr returns to it.
  void set_platform(std::shared_ptr<Platform> platform);
  Platform& platform();

  // 1. Sets ErrCode to 0 and fills the message table.
  void Initialize_dMatr();
  // 2. True when mtrA is a Vector (one dimension). Never fails.
  bool mMatrIsVect(const DoubleArray& mtrA);
  // 3. True when the upper bounds of a Matrix's two dimensions are equal.
  bool mMatrIsQuadr(const DoubleArray& mtrDest);
  // 4. The determinant, with the absolute zero tolerance 1e-12 from order 3.
  double mDet(const DoubleArray& mtrA);
  // 5., 6. mtrDest := mtrSrc1 + mtrSrc2 (- for mDiff); ErrCode 1 when the
  // sources differ in order. mtrDest is not re-dimensioned.
  void mSum(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2);
  void mDiff(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2);
  // 7. mtrDest := mtrSrc1 x mtrSrc2.
  void mMult(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2);
  // 8. vetDest := mtrSrc x vetSrc.
  void mMultVett(DoubleArray& vetDest, const DoubleArray& mtrSrc, const DoubleArray& vetSrc);
  // 9. True when the determinant is 0; ErrCode 3 when not square.
  bool mMatrIsSing(const DoubleArray& mtrA);
  // 10. mtrDest := inverse(mtrSrc2) x mtrSrc1; ErrCode 4 when singular.
  void mDivd(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2);
  // 11. mtrDest := the transpose of mtrSrc.
  void mTrasp(DoubleArray& mtrDest, const DoubleArray& mtrSrc);
  // 12. mtrDest := -mtrDest.
  void mOpp(DoubleArray& mtrDest);
  // 13. Exchanges rows ("R") or columns ("C") RC1 and RC2 of mtrA.
  void mSwapRC(DoubleArray& mtrA, std::string_view rc, std::int32_t RC1, std::int32_t RC2);
  // 14. Reduces mtrA in place to a diagonal matrix.
  void mDiag(DoubleArray& mtrA);
  // 15. Exchanges the contents of two matrices.
  void mSwap(DoubleArray& mtrA, DoubleArray& mtrB);
  // 16. Solves mtrA x vetX = vetB by Cramer's rule.
  void mSist(DoubleArray& vetX, DoubleArray& mtrA, DoubleArray& vetB);
  // 17.-20. Zero matrix, zero vector, identity matrix, vector of ones.
  void mMakeMatrNul(DoubleArray& mtrA, std::int32_t ordr, std::int32_t ordc);
  void mMakeVectNul(DoubleArray& vetA, std::int32_t ordr);
  void mMakeMatrI(DoubleArray& mtrA, std::int32_t ordr);
  void mMakeVectI(DoubleArray& vetA, std::int32_t ordr);
  // 21. Prints a Matrix, a Vector or a number to a destination.
  void mPrint(VariantRef ToPrint, VariantRef obj = {}, VariantRef Perif = {}, VariantRef frmt = {},
              VariantRef Comment = {}, VariantRef RowCol = {}, VariantRef Append = {},
              VariantRef Modal = {});
  // 22. The Euclidean length of a Vector, or of column 1 of a Matrix.
  double mMod(const DoubleArray& mtrA);
  // 23. mtrA := mtrA x Nmr.
  void mProdScal(DoubleArray& mtrA, double Nmr);
  // 24. The sum of the diagonal elements (1, 1) .. (r, r).
  double mTrace(const DoubleArray& mtrA);
  // 25. True when both matrices have the same upper bounds and elements.
  bool mIdentical(const DoubleArray& mtrA, const DoubleArray& mtrB);
  // 26. True when the transpose of mtrA is its inverse; ErrCode 4 when singular.
  bool mMatrIsOrt(const DoubleArray& mtrA);
  // 27. True when mtrA x mtrB is the identity; ErrCode 3 when not square.
  bool mMatrAreOrt(const DoubleArray& mtrA, const DoubleArray& mtrB);
  // 28., 29. True for the identity / the zero matrix; ErrCode 3 when not square.
  bool mMatrIsUnit(const DoubleArray& mtrA);
  bool mMatrIsZero(const DoubleArray& mtrA);
  // 30. Inverts mtrDest in place by cofactors; ErrCode 4 when singular.
  void mInv(DoubleArray& mtrDest);
  // 31. mtrDest := a copy of mtrSrc, bounds 0..r, 0..c.
  void mDupl(DoubleArray& mtrDest, const DoubleArray& mtrSrc);
  // 32. mtrDest := the contents of a variant (an array or a number).
  void mDuplVar(DoubleArray& mtrDest, const Variant& VarArray);
  // 33. Least-squares polynomial fit of Rank coefficients, constant first.
  void mPolin(DoubleArray& vetCoeff, const DoubleArray& mtrPts, std::int32_t Rank,
              VariantRef NoPoints = {});
  // 34. The polynomial Coeff evaluated at x, summed from the constant up.
  double mGetYPolin(double x, const DoubleArray& Coeff);
  // 35. The abscissas where a line or quadratic reaches y, or the vertex.
  void mGetXsOfQuadr(double& x1, double& x2, double y, const DoubleArray& Coeff,
                     VariantRef MaxF = {});
  // 36. Shows the About box and returns when it is closed.
  void mShowAbout();

 private:
  // Exchanges the 64 bits of two doubles; no arithmetic, never fails.
  static void SwapValues(double& a, double& b) noexcept;
  // The determinant of order 3 by expansion along the first row.
  double DetOrder3(const DoubleArray& a);
  double VectModulus(const DoubleArray& v);
  double MatrModulus(const DoubleArray& a);
  void PolinDesignRows(DoubleArray& a, DoubleArray& y, const DoubleArray& pts, std::int32_t n,
                       std::int32_t rank);
  void PolinDesignCols(DoubleArray& a, DoubleArray& y, const DoubleArray& pts, std::int32_t n,
                       std::int32_t rank);
  void PolinSolve(DoubleArray& vetCoeff, const DoubleArray& a, const DoubleArray& y,
                  std::int32_t rank);

  std::int32_t err_code_ = 0;
  std::array<std::string, 11> err_msg_;  // codes -1..9
  Locale locale_;
  DoubleArray print_copy_;  // mPrint's working copy; nothing reads it after the call
  std::shared_ptr<Platform> platform_;  // made on first use by platform()
};

}  // namespace nodrel

#endif  // NODREL_MATR_HPP
