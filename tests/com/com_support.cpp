#include "com/com_support.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace nodrel::com::test {

std::wstring dll_path() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer, length);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"nodrel.dll";
}

ComPtr<_Matr> create_matr() {
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(L"Nodrel.Matr", &clsid))) {
    throw std::runtime_error("Nodrel.Matr is not registered");
  }
  ComPtr<_Matr> matr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__Matr,
                              reinterpret_cast<void**>(matr.put())))) {
    throw std::runtime_error("Nodrel.Matr cannot be created");
  }
  return matr;
}

Array::~Array() {
  if (array_ != nullptr) SafeArrayDestroy(array_);
}

Array Array::matrix(const std::vector<std::vector<double>>& rows, LONG lower1, LONG lower2) {
  const ULONG count1 = static_cast<ULONG>(rows.size());
  const ULONG count2 = rows.empty() ? 0 : static_cast<ULONG>(rows[0].size());
  SAFEARRAYBOUND bounds[2] = {{count1, lower1}, {count2, lower2}};
  Array a(SafeArrayCreate(VT_R8, 2, bounds));
  for (ULONG i = 0; i < count1; ++i) {
    for (ULONG j = 0; j < count2; ++j) {
      LONG index[2] = {lower1 + static_cast<LONG>(i), lower2 + static_cast<LONG>(j)};
      double value = rows[i][j];
      SafeArrayPutElement(a.get(), index, &value);
    }
  }
  return a;
}

Array Array::vector(const std::vector<double>& values, LONG lower) {
  SAFEARRAYBOUND bounds[1] = {{static_cast<ULONG>(values.size()), lower}};
  Array a(SafeArrayCreate(VT_R8, 1, bounds));
  for (ULONG i = 0; i < values.size(); ++i) {
    LONG index = lower + static_cast<LONG>(i);
    double value = values[i];
    SafeArrayPutElement(a.get(), &index, &value);
  }
  return a;
}

std::vector<std::pair<LONG, LONG>> Array::bounds() const {
  std::vector<std::pair<LONG, LONG>> result;
  if (array_ == nullptr) return result;
  for (UINT d = 1; d <= SafeArrayGetDim(array_); ++d) {
    LONG lower = 0;
    LONG upper = 0;
    SafeArrayGetLBound(array_, d, &lower);
    SafeArrayGetUBound(array_, d, &upper);
    result.emplace_back(lower, upper);
  }
  return result;
}

std::vector<std::vector<double>> Array::rows() const {
  const auto b = bounds();
  if (b.size() != 2) throw std::logic_error("not a matrix");
  std::vector<std::vector<double>> result;
  for (LONG i = b[0].first; i <= b[0].second; ++i) {
    std::vector<double>& row = result.emplace_back();
    for (LONG j = b[1].first; j <= b[1].second; ++j) {
      LONG index[2] = {i, j};
      double value = 0;
      SafeArrayGetElement(array_, index, &value);
      row.push_back(value);
    }
  }
  return result;
}

std::vector<double> Array::values() const {
  const auto b = bounds();
  if (b.size() != 1) throw std::logic_error("not a vector");
  std::vector<double> result;
  for (LONG i = b[0].first; i <= b[0].second; ++i) {
    double value = 0;
    SafeArrayGetElement(array_, &i, &value);
    result.push_back(value);
  }
  return result;
}

Array in_matrix(const Rows& rows, LONG lower) {
  if (lower != 0) return Array::matrix(rows, lower);
  Rows bordered;
  const std::size_t columns = rows.empty() ? 0 : rows[0].size();
  bordered.emplace_back(columns + 1, kUnused);
  for (const auto& row : rows) {
    std::vector<double>& b = bordered.emplace_back(1, kUnused);
    b.insert(b.end(), row.begin(), row.end());
  }
  return Array::matrix(bordered, 0);
}

Array in_vector(const std::vector<double>& values, LONG lower) {
  if (lower != 0) return Array::vector(values, lower);
  std::vector<double> bordered(1, kUnused);
  bordered.insert(bordered.end(), values.begin(), values.end());
  return Array::vector(bordered, 0);
}

Rows made(const Rows& rows) {
  Rows result;
  const std::size_t columns = rows.empty() ? 0 : rows[0].size();
  result.emplace_back(columns + 1, 0.0);
  for (const auto& row : rows) {
    std::vector<double>& r = result.emplace_back(1, 0.0);
    r.insert(r.end(), row.begin(), row.end());
  }
  return result;
}

Rows in_place(const Rows& rows, LONG lower) {
  if (lower != 0) return rows;
  Rows result = made(rows);
  for (double& v : result[0]) v = kUnused;
  for (auto& row : result) row[0] = kUnused;
  return result;
}

Var Var::number(double value) {
  Var v;
  V_VT(v.ptr()) = VT_R8;
  V_R8(v.ptr()) = value;
  return v;
}

Var Var::text(const wchar_t* value) {
  Var v;
  V_VT(v.ptr()) = VT_BSTR;
  V_BSTR(v.ptr()) = SysAllocString(value);
  return v;
}

Var Var::missing() {
  Var v;
  V_VT(v.ptr()) = VT_ERROR;
  V_ERROR(v.ptr()) = DISP_E_PARAMNOTFOUND;
  return v;
}

Var Var::reference_to(SAFEARRAY** array) {
  Var v;
  V_VT(v.ptr()) = VT_BYREF | VT_ARRAY | VT_R8;
  V_ARRAYREF(v.ptr()) = array;
  return v;
}

Var Var::reference_to(double* value) {
  Var v;
  V_VT(v.ptr()) = VT_BYREF | VT_R8;
  V_R8REF(v.ptr()) = value;
  return v;
}

Var Var::reference_to(LONG* value) {
  Var v;
  V_VT(v.ptr()) = VT_BYREF | VT_I4;
  V_I4REF(v.ptr()) = value;
  return v;
}

Var Var::reference_to(BSTR* value) {
  Var v;
  V_VT(v.ptr()) = VT_BYREF | VT_BSTR;
  V_BSTRREF(v.ptr()) = value;
  return v;
}

Var Var::reference_to(VARIANT* value) {
  Var v;
  V_VT(v.ptr()) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(v.ptr()) = value;
  return v;
}

ErrorObject take_error_object() {
  ErrorObject result;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return result;
  result.present = true;
  BSTR text = nullptr;
  if (SUCCEEDED(info->GetSource(&text))) result.source = text_of(text);
  SysFreeString(text);
  text = nullptr;
  if (SUCCEEDED(info->GetDescription(&text))) result.description = text_of(text);
  SysFreeString(text);
  info->GetGUID(&result.guid);
  return result;
}

std::wstring text_of(BSTR text) {
  return text == nullptr ? std::wstring() : std::wstring(text, SysStringLen(text));
}

}  // namespace nodrel::com::test
