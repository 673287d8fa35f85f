// A plain transcription of the element-wise operations, products, property
// tests, determinant, inverse, Cramer's rule and diagonal reduction, kept
// apart from the production code and written for obviousness, not speed:
// every step as the algorithm states it, in its order, with its loop
// bounds. The randomized comparison holds the production methods against it
// bit for bit, failures and partial results included.
//
// Its floating-point check is its own: each operation runs on volatile
// operands with the hardware's exception flags cleared before and read
// after, instead of deriving them as the production check does.
//
// It carries the agreed behaviour where the component mends an obvious
// fault: destinations that are also sources, mSist restoring its arguments
// on failure, the inverse of order 1, mDiag refusing fewer columns than
// rows.
#ifndef NODREL_TESTS_REFERENCE_REFERENCE_HPP
#define NODREL_TESTS_REFERENCE_REFERENCE_HPP

#include <cstdint>

#include "nodrel/double_array.hpp"

namespace nodrel::reference {

class Matr {
 public:
  std::int32_t err_code = 0;

  void mSum(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2);
  void mDiff(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2);
  void mOpp(DoubleArray& mtrDest);
  void mProdScal(DoubleArray& mtrA, double Nmr);
  void mTrasp(DoubleArray& mtrDest, const DoubleArray& mtrSrc);

  void mMult(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2);
  void mMultVett(DoubleArray& vetDest, const DoubleArray& mtrSrc, const DoubleArray& vetSrc);
  double mTrace(const DoubleArray& mtrA);
  double mMod(const DoubleArray& mtrA);

  bool mIdentical(const DoubleArray& mtrA, const DoubleArray& mtrB);
  bool mMatrIsUnit(const DoubleArray& mtrA);
  bool mMatrIsZero(const DoubleArray& mtrA);
  bool mMatrIsOrt(const DoubleArray& mtrA);
  bool mMatrAreOrt(const DoubleArray& mtrA, const DoubleArray& mtrB);

  double mDet(const DoubleArray& mtrA);
  bool mMatrIsSing(const DoubleArray& mtrA);
  void mInv(DoubleArray& mtrDest);
  void mDivd(DoubleArray& mtrDest, const DoubleArray& mtrSrc1, const DoubleArray& mtrSrc2);
  void mSist(DoubleArray& vetX, DoubleArray& mtrA, DoubleArray& vetB);
  void mDiag(DoubleArray& mtrA);

  // The inner steps the methods above are built of.
  bool mMatrIsVect(const DoubleArray& mtrA);
  bool mMatrIsQuadr(const DoubleArray& mtrDest);
  void mDupl(DoubleArray& mtrDest, const DoubleArray& mtrSrc);

 private:
  void Elementwise(char op, DoubleArray& mtrDest, const DoubleArray& mtrSrc1,
                   const DoubleArray& mtrSrc2, const DoubleArray& first, const DoubleArray& second);
  double Modulus(const DoubleArray& a, bool vector);
  bool IsPattern(const DoubleArray& mtrA, double diagonal);
  double DetOrder3(const DoubleArray& a);
};

}  // namespace nodrel::reference

#endif  // NODREL_TESTS_REFERENCE_REFERENCE_HPP
