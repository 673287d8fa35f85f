// The interface of Matr as constant data, for the code that must agree with
// it at compile time (the bindings in dispatch.cpp). Everyone else reads it
// through nodrel::methods() in <nodrel/dispatch.hpp>.
#ifndef NODREL_BINDING_METHOD_TABLE_HPP
#define NODREL_BINDING_METHOD_TABLE_HPP

#include <algorithm>
#include <array>
#include <cstddef>

#include "nodrel/dispatch.hpp"

namespace nodrel::detail {

inline constexpr ArgumentInfo array_arg(std::string_view name, ArgRole role) {
  return {name, ArgKind::kDoubleArray, role, false};
}
inline constexpr ArgumentInfo scalar_arg(std::string_view name, ArgKind kind,
                                         ArgRole role = ArgRole::kRead) {
  return {name, kind, role, false};
}
inline constexpr ArgumentInfo optional_arg(std::string_view name, ArgRole role = ArgRole::kRead) {
  return {name, ArgKind::kVariant, role, true};
}

inline constexpr ArgRole kRead = ArgRole::kRead;
inline constexpr ArgRole kWritten = ArgRole::kWritten;
inline constexpr ArgRole kRedim = ArgRole::kRedimensioned;

// Argument lists shared by several methods.
inline constexpr ArgumentInfo kOneMatrix[] = {array_arg("mtrA", kRead)};
inline constexpr ArgumentInfo kTwoMatrices[] = {array_arg("mtrA", kRead), array_arg("mtrB", kRead)};
inline constexpr ArgumentInfo kElementWise[] = {
    array_arg("mtrDest", kWritten), array_arg("mtrSrc1", kRead), array_arg("mtrSrc2", kRead)};
inline constexpr ArgumentInfo kProduct[] = {
    array_arg("mtrDest", kRedim), array_arg("mtrSrc1", kRead), array_arg("mtrSrc2", kRead)};

inline constexpr ArgumentInfo kIsQuadrArgs[] = {array_arg("mtrDest", kRead)};
inline constexpr ArgumentInfo kMultVettArgs[] = {
    array_arg("vetDest", kRedim), array_arg("mtrSrc", kRead), array_arg("vetSrc", kRead)};
inline constexpr ArgumentInfo kTraspArgs[] = {array_arg("mtrDest", kRedim),
                                              array_arg("mtrSrc", kRead)};
inline constexpr ArgumentInfo kOppArgs[] = {array_arg("mtrDest", kWritten)};
inline constexpr ArgumentInfo kSwapRCArgs[] = {
    array_arg("mtrA", kWritten), scalar_arg("rc", ArgKind::kString),
    scalar_arg("RC1", ArgKind::kLong), scalar_arg("RC2", ArgKind::kLong)};
inline constexpr ArgumentInfo kDiagArgs[] = {array_arg("mtrA", kWritten)};
inline constexpr ArgumentInfo kSwapArgs[] = {array_arg("mtrA", kRedim), array_arg("mtrB", kRedim)};
// mSist exchanges columns of mtrA with vetB while it works and puts them back
// when it succeeds: both are written.
inline constexpr ArgumentInfo kSistArgs[] = {
    array_arg("vetX", kWritten), array_arg("mtrA", kWritten), array_arg("vetB", kWritten)};
inline constexpr ArgumentInfo kMakeMatrNulArgs[] = {array_arg("mtrA", kRedim),
                                                    scalar_arg("ordr", ArgKind::kLong),
                                                    scalar_arg("ordc", ArgKind::kLong)};
inline constexpr ArgumentInfo kMakeVectArgs[] = {array_arg("vetA", kRedim),
                                                 scalar_arg("ordr", ArgKind::kLong)};
inline constexpr ArgumentInfo kMakeMatrIArgs[] = {array_arg("mtrA", kRedim),
                                                  scalar_arg("ordr", ArgKind::kLong)};
inline constexpr ArgumentInfo kPrintArgs[] = {
    scalar_arg("ToPrint", ArgKind::kVariant),
    optional_arg("obj"),
    optional_arg("Perif", kWritten),  // the resolved destination keyword
    optional_arg("frmt"),
    optional_arg("Comment"),
    optional_arg("RowCol", kWritten),  // false when ToPrint is not an array
    optional_arg("Append"),
    optional_arg("Modal")};
inline constexpr ArgumentInfo kProdScalArgs[] = {array_arg("mtrA", kWritten),
                                                 scalar_arg("Nmr", ArgKind::kDouble)};
inline constexpr ArgumentInfo kInvArgs[] = {array_arg("mtrDest", kRedim)};
inline constexpr ArgumentInfo kDuplArgs[] = {array_arg("mtrDest", kRedim),
                                             array_arg("mtrSrc", kRead)};
inline constexpr ArgumentInfo kDuplVarArgs[] = {array_arg("mtrDest", kRedim),
                                                scalar_arg("VarArray", ArgKind::kVariant)};
inline constexpr ArgumentInfo kPolinArgs[] = {
    array_arg("vetCoeff", kRedim), array_arg("mtrPts", kRead), scalar_arg("Rank", ArgKind::kLong),
    optional_arg("NoPoints")};
inline constexpr ArgumentInfo kGetYPolinArgs[] = {scalar_arg("x", ArgKind::kDouble),
                                                  array_arg("Coeff", kRead)};
inline constexpr ArgumentInfo kGetXsOfQuadrArgs[] = {
    scalar_arg("x1", ArgKind::kDouble, kWritten), scalar_arg("x2", ArgKind::kDouble, kWritten),
    scalar_arg("y", ArgKind::kDouble), array_arg("Coeff", kRead), optional_arg("MaxF")};

inline constexpr std::span<const ArgumentInfo> kNoArgs{};

inline constexpr ResultKind kNone = ResultKind::kNone;
inline constexpr ResultKind kBool = ResultKind::kBool;
inline constexpr ResultKind kDouble = ResultKind::kDouble;

// Function-table order. The identifiers skip the places of the private
// routines: 0x01, 0x16, 0x17, 0x21 and 0x25 to 0x28.
inline constexpr std::array<MethodInfo, 36> kMethods{{
    {"Initialize_dMatr", 0x60030000, kNoArgs, kNone, "Resets ErrCode and fills the message table"},
    {"mMatrIsVect", 0x60030002, kOneMatrix, kBool, "True when mtrA is a vector"},
    {"mMatrIsQuadr", 0x60030003, kIsQuadrArgs, kBool, "True when the matrix is square"},
    {"mDet", 0x60030004, kOneMatrix, kDouble, "Determinant of a square matrix"},
    {"mSum", 0x60030005, kElementWise, kNone, "mtrDest = mtrSrc1 + mtrSrc2"},
    {"mDiff", 0x60030006, kElementWise, kNone, "mtrDest = mtrSrc1 - mtrSrc2"},
    {"mMult", 0x60030007, kProduct, kNone, "mtrDest = mtrSrc1 x mtrSrc2"},
    {"mMultVett", 0x60030008, kMultVettArgs, kNone, "vetDest = mtrSrc x vetSrc"},
    {"mMatrIsSing", 0x60030009, kOneMatrix, kBool, "True when the determinant is 0"},
    {"mDivd", 0x6003000A, kProduct, kNone, "mtrDest = inverse(mtrSrc2) x mtrSrc1"},
    {"mTrasp", 0x6003000B, kTraspArgs, kNone, "mtrDest = transpose of mtrSrc"},
    {"mOpp", 0x6003000C, kOppArgs, kNone, "mtrDest = -mtrDest"},
    {"mSwapRC", 0x6003000D, kSwapRCArgs, kNone,
     "Exchanges two rows (rc R) or two columns (rc C) of mtrA"},
    {"mDiag", 0x6003000E, kDiagArgs, kNone, "Reduces mtrA to diagonal form in place"},
    {"mSwap", 0x6003000F, kSwapArgs, kNone, "Exchanges the contents of two matrices"},
    {"mSist", 0x60030010, kSistArgs, kNone, "Solves mtrA x vetX = vetB by Cramer's rule"},
    {"mMakeMatrNul", 0x60030011, kMakeMatrNulArgs, kNone, "Zero matrix of order ordr x ordc"},
    {"mMakeVectNul", 0x60030012, kMakeVectArgs, kNone, "Zero vector of order ordr"},
    {"mMakeMatrI", 0x60030013, kMakeMatrIArgs, kNone, "Identity matrix of order ordr"},
    {"mMakeVectI", 0x60030014, kMakeVectArgs, kNone, "Vector of ordr ones"},
    {"mPrint", 0x60030015, kPrintArgs, kNone, "Prints a matrix, a vector or a number"},
    {"mMod", 0x60030018, kOneMatrix, kDouble, "Euclidean length of a vector or a column"},
    {"mProdScal", 0x60030019, kProdScalArgs, kNone, "mtrA = mtrA x Nmr"},
    {"mTrace", 0x6003001A, kOneMatrix, kDouble, "Sum of the diagonal elements"},
    {"mIdentical", 0x6003001B, kTwoMatrices, kBool, "True when both matrices are equal"},
    {"mMatrIsOrt", 0x6003001C, kOneMatrix, kBool, "True when mtrA is orthogonal"},
    {"mMatrAreOrt", 0x6003001D, kTwoMatrices, kBool, "True when mtrA x mtrB is the identity"},
    {"mMatrIsUnit", 0x6003001E, kOneMatrix, kBool, "True for the identity matrix"},
    {"mMatrIsZero", 0x6003001F, kOneMatrix, kBool, "True for the zero matrix"},
    {"mInv", 0x60030020, kInvArgs, kNone, "Inverts mtrDest in place"},
    {"mDupl", 0x60030022, kDuplArgs, kNone, "mtrDest = a copy of mtrSrc"},
    {"mDuplVar", 0x60030023, kDuplVarArgs, kNone, "mtrDest = the contents of a variant"},
    {"mPolin", 0x60030024, kPolinArgs, kNone, "Least-squares polynomial of Rank coefficients"},
    {"mGetYPolin", 0x60030029, kGetYPolinArgs, kDouble, "The polynomial Coeff at x"},
    {"mGetXsOfQuadr", 0x6003002A, kGetXsOfQuadrArgs, kNone,
     "Abscissas where a line or a quadratic reaches y"},
    {"mShowAbout", 0x6003002B, kNoArgs, kNone, "Shows the About box"},
}};

constexpr std::size_t max_arguments() {
  std::size_t n = 0;
  for (const MethodInfo& m : kMethods) n = std::max(n, m.args.size());
  return n;
}
inline constexpr std::size_t kMaxArguments = max_arguments();

// What a user reads about each method, beside its line of help (nodrel
// --help METHOD and docs/methods.md are made from it), in the order of
// kMethods. `needs`: what must exist before the call; `errcodes`: the ErrCode
// values it sets; `errors`: the run-time errors of its own; `example`: the
// arguments of one nodrel command line that runs.
struct MethodDoc {
  std::string_view name;
  std::string_view needs;
  std::string_view errcodes;
  std::string_view errors;
  std::string_view example;
};

inline constexpr std::string_view kArrayErrors =
    "9 when an index the method uses is outside the array; 6 when a result overflows";

inline constexpr std::array<MethodDoc, 36> kMethodDocs{{
    {"Initialize_dMatr", "", "0", "none", ""},
    {"mMatrIsVect", "", "0", "none: an argument that holds no array answers False", "'[1,2,3]'"},
    {"mMatrIsQuadr", "a matrix (two dimensions)", "0",
     "9 for an array without two dimensions; only the upper bounds count", "'[[1,2],[3,4]]'"},
    {"mDet", "a matrix", "0",
     "9 when an index is missing; 6 on overflow (a matrix that is not square gives 0)",
     "'[[2,1],[1,3]]'"},
    {"mSum", "mtrDest dimensioned at least as the sources", "0, 1 when the sources differ in order",
     kArrayErrors, "'[[0,0],[0,0]]' '[[1,2],[3,4]]' '[[1,1],[1,1]]'"},
    {"mDiff", "mtrDest dimensioned at least as the sources",
     "0, 1 when the sources differ in order", kArrayErrors,
     "'[[0,0],[0,0]]' '[[1,2],[3,4]]' '[[1,1],[1,1]]'"},
    {"mMult", "", "0", kArrayErrors, "[] '[[1,2],[3,4]]' '[[0,1],[1,0]]'"},
    {"mMultVett", "", "0", kArrayErrors, "[] '[[1,2],[3,4]]' '[1,1]'"},
    {"mMatrIsSing", "a matrix", "0, 3 when it is not square", kArrayErrors, "'[[1,1],[1,1]]'"},
    {"mDivd", "", "0, 4 when mtrSrc2 is singular or not square", kArrayErrors,
     "[] '[[1,2],[3,4]]' '[[2,0],[0,4]]'"},
    {"mTrasp", "", "untouched", kArrayErrors, "[] '[[1,2],[3,4]]'"},
    {"mOpp", "", "untouched", kArrayErrors, "'[[1,-2],[3,4]]'"},
    {"mSwapRC", "a matrix with rows RC1 and RC2 (rc \"R\") or columns RC1 and RC2 (\"C\")", "0",
     "9 for a row or column outside the matrix, or an array without two dimensions",
     "'[[1,2],[3,4]]' '\"R\"' 1 2"},
    {"mDiag", "a matrix with at least as many columns as rows", "0",
     "9 for fewer columns than rows (nothing written); 6 on overflow", "'[[2,1],[4,5]]'"},
    {"mSwap", "", "0", "10 when either array is fixed (neither loses its contents)",
     "'[[1,2],[3,4]]' '[[5,6],[7,8]]'"},
    {"mSist", "vetX with indices 1..n (mMakeVectNul vetX, n), a square mtrA, vetB with 1..n", "0",
     "11 (or 6) for a singular mtrA; 9 for a missing index; mtrA and vetB are put back on error",
     "'[0,0]' '[[2,1],[1,3]]' '[5,10]'"},
    {"mMakeMatrNul", "", "0", "9 for a negative order; 10 when mtrA is fixed", "[] 2 3"},
    {"mMakeVectNul", "", "0", "9 for a negative order; 10 when vetA is fixed", "[] 3"},
    {"mMakeMatrI", "", "0", "9 for a negative order; 10 when mtrA is fixed", "[] 3"},
    {"mMakeVectI", "", "0", "9 for a negative order; 10 when vetA is fixed", "[] 3"},
    {"mPrint", "obj for a destination \"OBJECT\"; a display for \"CLIPBOARD\"", "0",
     "5 for a bad frmt pattern; 6 for an infinity or a NaN; 17 without a clipboard; 424 without "
     "an object; the file errors 52 to 76 for a file",
     "'[[1,2],[3,4]]' screen missing '\"0.00\"' '\"A\"'"},
    {"mMod", "a vector, or a matrix (its first column)", "0", kArrayErrors, "'[3,4]'"},
    {"mProdScal", "", "0", kArrayErrors, "'[[1,2],[3,4]]' 2"},
    {"mTrace", "a matrix", "0", kArrayErrors, "'[[1,2],[3,4]]'"},
    {"mIdentical", "", "untouched", "9 when an index is missing", "'[[1,2]]' '[[1,2]]'"},
    {"mMatrIsOrt", "a matrix", "0, 4 when it is singular", kArrayErrors, "'[[0,1],[1,0]]'"},
    {"mMatrAreOrt", "two matrices", "0, 3 when the product is not square", kArrayErrors,
     "'[[2,0],[0,2]]' '[[0.5,0],[0,0.5]]'"},
    {"mMatrIsUnit", "a matrix", "0, 3 when it is not square", "9 when an index is missing",
     "'[[1,0],[0,1]]'"},
    {"mMatrIsZero", "a matrix", "0, 3 when it is not square", "9 when an index is missing",
     "'[[0,0],[0,0]]'"},
    {"mInv", "a square matrix", "0, 4 when it is singular or not square (left as it was)",
     kArrayErrors, "'[[4,7],[2,6]]'"},
    {"mDupl", "", "0", "10 when mtrDest is fixed; 9 when an index is missing",
     "[] '[[1,2],[3,4]]'"},
    {"mDuplVar", "", "0", "13, 94 or 6 for an element that does not convert to a number",
     "[] '[[1,\"2\"],[3,4]]'"},
    {"mPolin", "points by rows (x, y) or by columns, at least Rank + 1 of them",
     "0, 4 when the normal equations are singular, 8 for points of the wrong shape, 9 for more "
     "coefficients than the points allow",
     "6 on overflow; vetCoeff is left untouched on every failure", "[] '[[1,1],[2,3],[3,5]]' 2"},
    {"mGetYPolin", "the coefficients, as mPolin makes them", "untouched", kArrayErrors,
     "4 '[1,2]'"},
    {"mGetXsOfQuadr", "the coefficients of a line or a quadratic, as mPolin makes them",
     "untouched", kArrayErrors, "0 0 0 '[-3,2,1]'"},
    {"mShowAbout", "", "untouched", "none", ""},
}};

constexpr bool docs_follow_methods() {
  for (std::size_t k = 0; k < kMethods.size(); ++k) {
    if (kMethodDocs[k].name != kMethods[k].name) return false;
  }
  return true;
}
static_assert(docs_follow_methods(), "one entry of kMethodDocs for each method, in table order");

}  // namespace nodrel::detail

#endif  // NODREL_BINDING_METHOD_TABLE_HPP
