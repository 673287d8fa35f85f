// Helpers of the COM client tests: the caller's side of the boundary, written
// with the plain automation API as any C++ client would.
#ifndef NODREL_TESTS_COM_COM_SUPPORT_HPP
#define NODREL_TESTS_COM_COM_SUPPORT_HPP

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "nodrel_h.h"
#include "server/com/com_ptr.hpp"

namespace nodrel::com::test {

using Rows = std::vector<std::vector<double>>;
using Bounds = std::vector<std::pair<LONG, LONG>>;

// nodrel.dll next to the test program (the build puts both in one folder).
std::wstring dll_path();

// A new Matr created through the registry, by ProgID, as clients create it.
ComPtr<_Matr> create_matr();

// The caller's array variable: owns the SAFEARRAY it holds, which the server
// may replace through address().
class Array {
 public:
  Array() = default;
  explicit Array(SAFEARRAY* owned) : array_(owned) {}
  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;
  Array(Array&& other) noexcept : array_(std::exchange(other.array_, nullptr)) {}
  Array& operator=(Array&& other) noexcept {
    std::swap(array_, other.array_);
    return *this;
  }
  ~Array();

  // A Matrix from its rows, with lower bounds `lower1` and `lower2`.
  static Array matrix(const std::vector<std::vector<double>>& rows, LONG lower1, LONG lower2);
  static Array matrix(const std::vector<std::vector<double>>& rows, LONG lower) {
    return matrix(rows, lower, lower);
  }
  // A Vector with lower bound `lower`.
  static Array vector(const std::vector<double>& values, LONG lower);

  SAFEARRAY* get() const noexcept { return array_; }
  SAFEARRAY** address() noexcept { return &array_; }

  // (lower, upper) per dimension, first dimension first.
  std::vector<std::pair<LONG, LONG>> bounds() const;
  // A Matrix's rows, each from the lower bounds on.
  std::vector<std::vector<double>> rows() const;
  // A Vector's elements from its lower bound on.
  std::vector<double> values() const;

 private:
  SAFEARRAY* array_ = nullptr;
};

// Matrices and vectors hold their data at indices 1..n. With lower bound 0
// the caller's array also has a row 0 and a column 0 (an element 0), filled
// with kUnused, a value no method may read.
inline constexpr double kUnused = 99.0;
Array in_matrix(const Rows& rows, LONG lower);
Array in_vector(const std::vector<double>& values, LONG lower);

// A matrix as the component makes it from these rows: bounds 0..r, 0..c,
// zeros in row 0 and column 0.
Rows made(const Rows& rows);

// What a matrix given with in_matrix(rows, lower) holds after a method
// changed it in place into these rows.
Rows in_place(const Rows& rows, LONG lower);

// An owned BSTR.
class Bstr {
 public:
  explicit Bstr(const wchar_t* text) : text_(SysAllocString(text)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(text_); }
  BSTR* address() noexcept { return &text_; }
  BSTR get() const noexcept { return text_; }

 private:
  BSTR text_;
};

// An owned VARIANT.
class Var {
 public:
  Var() { VariantInit(&value_); }
  Var(Var&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  ~Var() { VariantClear(&value_); }
  VARIANT* ptr() noexcept { return &value_; }
  VARIANT& get() noexcept { return value_; }

  static Var number(double value);
  static Var text(const wchar_t* value);
  static Var missing();
  // A reference to the caller's variable, as a late-bound client passes it.
  static Var reference_to(SAFEARRAY** array);
  static Var reference_to(double* value);
  static Var reference_to(LONG* value);
  static Var reference_to(BSTR* value);
  static Var reference_to(VARIANT* value);

 private:
  VARIANT value_;
};

// 0x800A0000 + number.
constexpr HRESULT runtime_error(int number) {
  return static_cast<HRESULT>(0x800A0000u + static_cast<unsigned>(number));
}

// The thread's error object, taken (and so cleared) by GetErrorInfo.
struct ErrorObject {
  bool present = false;
  std::wstring source;
  std::wstring description;
  GUID guid{};
};
ErrorObject take_error_object();

// The text of a BSTR that may be null.
std::wstring text_of(BSTR text);

}  // namespace nodrel::com::test

#endif  // NODREL_TESTS_COM_COM_SUPPORT_HPP
