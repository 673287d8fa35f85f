#include "com/com_support.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace nodrel::com::test {

namespace {

Matrix from_rows(const Rows& rows) {
  const LONG r = static_cast<LONG>(rows.size());
  const LONG c = rows.empty() ? 0 : static_cast<LONG>(rows[0].size());
  Matrix m{{{0, r - 1}, {0, c - 1}}, {}};
  for (LONG j = 0; j < c; ++j) {
    for (LONG i = 0; i < r; ++i) m.elements.push_back(rows[i][j]);
  }
  return m;
}

// The rows with a row 0 and a column 0 of `fill` in front.
Rows bordered(const Rows& rows, double fill) {
  Rows result(1, std::vector<double>(rows.empty() ? 1 : rows[0].size() + 1, fill));
  for (const auto& row : rows) {
    std::vector<double>& b = result.emplace_back(1, fill);
    b.insert(b.end(), row.begin(), row.end());
  }
  return result;
}

Matrix shifted(Matrix m, LONG lower) {
  for (auto& [low, high] : m.bounds) low += lower, high += lower;
  return m;
}

Matrix vector_of(std::vector<double> values, double fill, bool border) {
  if (border) values.insert(values.begin(), fill);
  return Matrix{{{0, static_cast<LONG>(values.size()) - 1}}, values};
}

}  // namespace

std::wstring dll_path() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer, length);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"nodrel.dll";
}

ComPtr<_Matr> create_matr() {
  CLSID clsid{};
  ComPtr<_Matr> matr;
  if (FAILED(CLSIDFromProgID(L"Nodrel.Matr", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__Matr,
                              reinterpret_cast<void**>(matr.put())))) {
    throw std::runtime_error("Nodrel.Matr cannot be created");
  }
  return matr;
}

void PrintTo(const Matrix& m, std::ostream* out) {
  *out << "bounds";
  for (const auto& [low, high] : m.bounds) *out << " " << low << ".." << high;
  *out << ", elements";
  for (double x : m.elements) *out << " " << x;
}

Matrix in_matrix(const Rows& rows, LONG lower) {
  return lower == 0 ? from_rows(bordered(rows, kUnused)) : shifted(from_rows(rows), lower);
}

Matrix in_vector(const std::vector<double>& values, LONG lower) {
  return lower == 0 ? vector_of(values, kUnused, true)
                    : shifted(vector_of(values, 0, false), lower);
}

Matrix made(const Rows& rows) { return from_rows(bordered(rows, 0.0)); }
Matrix made_vector(const std::vector<double>& values) { return vector_of(values, 0.0, true); }

SAFEARRAY* make_array(const Matrix& m, VARTYPE element_type) {
  if (m.bounds.empty()) return nullptr;
  std::vector<SAFEARRAYBOUND> bounds;
  for (const auto& [low, high] : m.bounds)
    bounds.push_back({static_cast<ULONG>(high - low + 1), low});
  SAFEARRAY* array = SafeArrayCreate(element_type, static_cast<UINT>(bounds.size()), bounds.data());
  void* data = nullptr;
  SafeArrayAccessData(array, &data);
  for (std::size_t k = 0; k < m.elements.size(); ++k) {
    if (element_type == VT_R8) {
      static_cast<double*>(data)[k] = m.elements[k];
    } else {
      VARIANT& element = static_cast<VARIANT*>(data)[k];
      V_VT(&element) = VT_R8;
      V_R8(&element) = m.elements[k];
    }
  }
  SafeArrayUnaccessData(array);
  return array;
}

Matrix read_array(SAFEARRAY* array) {
  Matrix m;
  if (array == nullptr) return m;
  std::size_t count = 1;
  for (UINT d = 1; d <= SafeArrayGetDim(array); ++d) {
    LONG low = 0;
    LONG high = 0;
    SafeArrayGetLBound(array, d, &low);
    SafeArrayGetUBound(array, d, &high);
    m.bounds.emplace_back(low, high);
    count *= static_cast<std::size_t>(high - low + 1);
  }
  VARTYPE type = VT_EMPTY;
  SafeArrayGetVartype(array, &type);
  void* data = nullptr;
  SafeArrayAccessData(array, &data);
  for (std::size_t k = 0; k < count; ++k) {
    if (type == VT_R8) {
      m.elements.push_back(static_cast<double*>(data)[k]);
    } else {
      const VARIANT& element = static_cast<VARIANT*>(data)[k];
      EXPECT_EQ(V_VT(&element), VT_R8) << "element " << k;
      m.elements.push_back(V_VT(&element) == VT_R8 ? V_R8(&element)
                                                   : std::numeric_limits<double>::quiet_NaN());
    }
  }
  SafeArrayUnaccessData(array);
  return m;
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
