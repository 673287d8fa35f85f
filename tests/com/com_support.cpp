#include "com/com_support.hpp"

#include <cmath>

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
  const std::wstring path(buffer, GetModuleFileNameW(nullptr, buffer, MAX_PATH));
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"nodrel.dll";
}

const Dll& dll() {
  // GetProcAddress returns a generic function pointer; the detour through
  // void* keeps the conversion to the real signature free of warnings.
  static const HMODULE module = LoadLibraryW(dll_path().c_str());
  static const Dll loaded{reinterpret_cast<decltype(Dll::get_class_object)>(
                              reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject"))),
                          reinterpret_cast<decltype(Dll::can_unload_now)>(
                              reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")))};
  return loaded;
}

void PrintTo(const Matrix& m, std::ostream* out) {
  for (const auto& [low, high] : m.bounds) *out << low << ".." << high << " ";
  *out << testing::PrintToString(m.elements);
}

Matrix in_matrix(const Rows& rows, LONG lower) { return matrix_of(rows, lower, 99.0); }
Matrix in_vector(const std::vector<double>& v, LONG lower) { return vector_of(v, lower, 99.0); }
Matrix made(const Rows& rows) { return matrix_of(rows, 0, 0.0); }
Matrix made_vector(const std::vector<double>& values) { return vector_of(values, 0, 0.0); }

SAFEARRAY* make_array(const Matrix& m, VARTYPE element_type) {
  if (m.bounds.empty()) return nullptr;
  SAFEARRAYBOUND bounds[2] = {};
  for (std::size_t d = 0; d < m.bounds.size(); ++d) {
    bounds[d] = {static_cast<ULONG>(m.bounds[d].second - m.bounds[d].first + 1), m.bounds[d].first};
  }
  SAFEARRAY* array = SafeArrayCreate(element_type, static_cast<UINT>(m.bounds.size()), bounds);
  for (std::size_t k = 0; k < m.elements.size(); ++k) {
    if (element_type == VT_R8) {
      static_cast<double*>(array->pvData)[k] = m.elements[k];
    } else {
      VARIANT* element = static_cast<VARIANT*>(array->pvData) + k;
      V_VT(element) = VT_R8, V_R8(element) = m.elements[k];
    }
  }
  return array;
}

Matrix read_array(SAFEARRAY* array) {
  Matrix m;
  std::size_t count = array != nullptr ? 1 : 0;
  for (UINT d = 1; count != 0 && d <= SafeArrayGetDim(array); ++d) {
    LONG low = 0, high = 0;
    SafeArrayGetLBound(array, d, &low), SafeArrayGetUBound(array, d, &high);
    m.bounds.emplace_back(low, high);
    count *= static_cast<std::size_t>(high - low + 1);
  }
  VARTYPE type = VT_EMPTY;
  if (count != 0) SafeArrayGetVartype(array, &type);
  for (std::size_t k = 0; k < count; ++k) {
    const VARIANT* element = static_cast<const VARIANT*>(array->pvData) + k;
    EXPECT_TRUE(type == VT_R8 || V_VT(element) == VT_R8) << "element " << k;
    m.elements.push_back(type == VT_R8            ? static_cast<const double*>(array->pvData)[k]
                         : V_VT(element) == VT_R8 ? V_R8(element)
                                                  : NAN);
  }
  return m;
}

Var::Var(VARTYPE type, double number, const wchar_t* text) {
  VariantInit(&value_);
  switch (V_VT(&value_) = type) {
    case VT_BSTR: V_BSTR(&value_) = SysAllocString(text); break;
    case VT_I4: V_I4(&value_) = static_cast<LONG>(number); break;
    case VT_BOOL: V_BOOL(&value_) = number != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_ERROR: V_ERROR(&value_) = DISP_E_PARAMNOTFOUND; break;
    default: V_R8(&value_) = number;  // a Date's serial too
  }
}

Var::Var(const Matrix& m, VARTYPE element_type) : Var(VT_ARRAY | element_type) {
  V_ARRAY(&value_) = make_array(m, element_type);
}

std::wstring text_of(BSTR text) {
  return text == nullptr ? std::wstring() : std::wstring(text, SysStringLen(text));
}

}  // namespace nodrel::com::test
