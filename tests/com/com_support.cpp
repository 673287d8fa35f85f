#include "com/com_support.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace nodrel::com::test {

namespace {

// The rows as automation stores them (the first index fastest), indices
// from `lower`; with lower bound 0 behind a row 0 and a column 0 of `fill`.
Matrix matrix_of(const Rows& rows, LONG lower, double fill) {
  const LONG border = lower == 0 ? 1 : 0;
  const LONG r = static_cast<LONG>(rows.size()) + border;
  const LONG c = (rows.empty() ? 0 : static_cast<LONG>(rows[0].size())) + border;
  Matrix m{{{lower, lower + r - 1}, {lower, lower + c - 1}}, {}};
  for (LONG j = 0; j < c; ++j) {
    for (LONG i = 0; i < r; ++i) {
      m.elements.push_back(i < border || j < border ? fill : rows[i - border][j - border]);
    }
  }
  return m;
}

Matrix vector_of(const std::vector<double>& values, LONG lower, double fill) {
  Matrix m{{{lower, lower + static_cast<LONG>(values.size()) - (lower == 0 ? 0 : 1)}}, values};
  if (lower == 0) m.elements.insert(m.elements.begin(), fill);
  return m;
}

}  // namespace

std::wstring dll_path() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer, length);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"nodrel.dll";
}

const Dll& dll() {
  static const Dll loaded = [] {
    Dll d;
    if (HMODULE module = LoadLibraryW(dll_path().c_str()); module != nullptr) {
      // GetProcAddress returns a generic function pointer; the detour through
      // void* keeps the conversion to the real signature free of warnings.
      const auto entry = [module](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(module, name));
      };
      d.get_class_object =
          reinterpret_cast<decltype(d.get_class_object)>(entry("DllGetClassObject"));
      d.can_unload_now = reinterpret_cast<decltype(d.can_unload_now)>(entry("DllCanUnloadNow"));
    }
    return d;
  }();
  return loaded;
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

Matrix in_matrix(const Rows& rows, LONG lower) { return matrix_of(rows, lower, 99.0); }
Matrix in_vector(const std::vector<double>& values, LONG lower) {
  return vector_of(values, lower, 99.0);
}
Matrix made(const Rows& rows) { return matrix_of(rows, 0, 0.0); }
Matrix made_vector(const std::vector<double>& values) { return vector_of(values, 0, 0.0); }

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

Var Var::reference(VARIANT* variable) {
  Var v;
  V_VT(v.ptr()) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(v.ptr()) = variable;
  return v;
}

Var Var::array(const Matrix& m, VARTYPE element_type) {
  Var v;
  V_VT(v.ptr()) = static_cast<VARTYPE>(VT_ARRAY | element_type);
  V_ARRAY(v.ptr()) = make_array(m, element_type);
  return v;
}

std::wstring text_of(BSTR text) {
  return text == nullptr ? std::wstring() : std::wstring(text, SysStringLen(text));
}

}  // namespace nodrel::com::test
