// Helpers of the COM client tests: the caller's side of the boundary, written
// with the plain automation API as any C++ client would.
#ifndef NODREL_TESTS_COM_COM_SUPPORT_HPP
#define NODREL_TESTS_COM_COM_SUPPORT_HPP

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "com/com_ptr.hpp"
#include "nodrel_h.h"

namespace nodrel::com::test {

// nodrel.dll next to the test program (the build puts both in one folder).
std::wstring dll_path();

// nodrel.dll loaded from there once, for the program's life, and its
// entry points (null when it cannot be loaded).
struct Dll {
  HRESULT(STDAPICALLTYPE* get_class_object)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* can_unload_now)() = nullptr;
};
const Dll& dll();

using Rows = std::vector<std::vector<double>>;

// An array's contents: (lower, upper) per dimension, first dimension first,
// and the elements as automation stores them, the first index fastest. No
// bounds: a variable that was never dimensioned.
struct Matrix {
  std::vector<std::pair<LONG, LONG>> bounds;
  std::vector<double> elements;
  friend bool operator==(const Matrix&, const Matrix&) = default;
};
void PrintTo(const Matrix& m, std::ostream* out);

// Matrices and vectors hold their data at indices 1..n. With lower bound 0
// the caller's array also has a row 0 and a column 0 (an element 0) filled
// with 99, a value no method may read, and that a method working in place
// leaves there. made() and made_vector() are arrays as the component makes
// them: bounds from 0, zeros in row 0 and column 0.
Matrix in_matrix(const Rows& rows, LONG lower);
Matrix in_vector(const std::vector<double>& values, LONG lower);
Matrix made(const Rows& rows);
Matrix made_vector(const std::vector<double>& values);

// A new SAFEARRAY of doubles (VT_R8) or of variants holding doubles
// (VT_VARIANT); null for a Matrix without bounds.
SAFEARRAY* make_array(const Matrix& m, VARTYPE element_type);
// The contents of an array of doubles, or of variants that must all hold doubles.
Matrix read_array(SAFEARRAY* array);

// An owned VARIANT: of `type` holding `number` (a Boolean true when it is
// not 0, a Date its serial) or `text`, or for VT_ERROR an argument left out;
// a script's reference to `variable`; an array made by make_array().
class Var {
 public:
  explicit Var(VARTYPE type = VT_EMPTY, double number = 0, const wchar_t* text = nullptr);
  explicit Var(VARIANT* variable) : Var(VT_BYREF | VT_VARIANT) { V_VARIANTREF(&value_) = variable; }
  Var(const Matrix& m, VARTYPE element_type);
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  // Fails on an array the server freed already (its freed block, filled by
  // Wine's heap checking, reads as locked).
  ~Var() { EXPECT_EQ(VariantClear(&value_), S_OK) << "a value of the caller's cannot be freed"; }
  VARIANT* ptr() noexcept { return &value_; }

 private:
  VARIANT value_;
};

// 0x800A0000 + number.
constexpr HRESULT runtime_error(int number) {
  return static_cast<HRESULT>(0x800A0000u + static_cast<unsigned>(number));
}

// The text of a BSTR that may be null.
std::wstring text_of(BSTR text);

}  // namespace nodrel::com::test

#endif  // NODREL_TESTS_COM_COM_SUPPORT_HPP
