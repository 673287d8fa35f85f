#include "com/safe_array.hpp"

#include <oleauto.h>

#include <cstring>
#include <exception>

#include "nodrel/error.hpp"

namespace nodrel::com {

namespace {

bool holds_doubles(const SAFEARRAY* array) {
  VARTYPE type = VT_EMPTY;
  if (SUCCEEDED(SafeArrayGetVartype(const_cast<SAFEARRAY*>(array), &type))) return type == VT_R8;
  // An array made without a recorded element type: eight-byte elements that
  // are none of the kinds the descriptor can name.
  constexpr USHORT kTypedElements =
      FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT | FADF_RECORD | FADF_HAVEIID;
  return array->cbElements == sizeof(double) && (array->fFeatures & kTypedElements) == 0;
}

// Copies `count` doubles between an array's data and `buffer`.
void copy_elements(SAFEARRAY* array, double* buffer, std::size_t count, bool into_array) {
  if (count == 0) return;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) raise(ErrorNumber::kArrayFixedOrLocked);
  if (into_array) {
    std::memcpy(data, buffer, count * sizeof(double));
  } else {
    std::memcpy(buffer, data, count * sizeof(double));
  }
  SafeArrayUnaccessData(array);
}

bool same_elements(const DoubleArray& a, const DoubleArray& b) {
  const std::vector<double>& x = a.storage();
  const std::vector<double>& y = b.storage();
  return x.size() == y.size() &&
         (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0);
}

}  // namespace

DoubleArray read_double_array(SAFEARRAY* array) {
  if (array == nullptr) return {};
  const UINT dims = SafeArrayGetDim(array);
  if (dims == 0) return {};
  if (!holds_doubles(array)) raise(ErrorNumber::kTypeMismatch);
  // The descriptor keeps its bounds last dimension first.
  std::vector<ArrayBound> bounds(dims);
  for (UINT d = 0; d < dims; ++d) {
    const SAFEARRAYBOUND& b = array->rgsabound[dims - 1 - d];
    bounds[d] =
        ArrayBound{static_cast<std::int32_t>(b.lLbound), static_cast<std::uint32_t>(b.cElements)};
  }
  DoubleArray value(std::move(bounds));
  std::vector<double>& elements = value.storage();
  copy_elements(array, elements.data(), elements.size(), false);
  return value;
}

SAFEARRAY* make_double_array(const DoubleArray& value) {
  if (value.dims() == 0) return nullptr;
  std::vector<SAFEARRAYBOUND> bounds(value.dims());
  for (std::size_t d = 0; d < value.dims(); ++d) {
    bounds[d].lLbound = value.bounds()[d].lower;
    bounds[d].cElements = value.bounds()[d].count;
  }
  // SafeArrayCreate takes the bounds first dimension first.
  SAFEARRAY* array = SafeArrayCreate(VT_R8, static_cast<UINT>(bounds.size()), bounds.data());
  if (array == nullptr) raise(ErrorNumber::kOutOfMemory);
  const std::vector<double>& elements = value.storage();
  try {
    copy_elements(array, const_cast<double*>(elements.data()), elements.size(), true);
  } catch (...) {
    SafeArrayDestroy(array);
    throw;
  }
  return array;
}

bool refuses_redim(const SAFEARRAY* array) noexcept {
  if (array == nullptr) return false;
  constexpr USHORT kNotOurs = FADF_FIXEDSIZE | FADF_STATIC | FADF_EMBEDDED | FADF_AUTO;
  return (array->fFeatures & kNotOurs) != 0 || array->cLocks > 0;
}

DoubleArray& ArrayArguments::bind(SAFEARRAY** ref) {
  if (ref == nullptr) raise(ErrorNumber::kInvalidProcedureCall);
  for (Binding& b : bindings_) {
    for (SAFEARRAY** known : b.refs) {
      if (known == ref) return b.value;
    }
    if (b.array != nullptr && b.array == *ref) {
      b.refs.push_back(ref);
      return b.value;
    }
  }
  Binding& b = bindings_.emplace_back();
  b.refs.push_back(ref);
  b.array = *ref;
  b.original = read_double_array(*ref);
  b.value = b.original;
  b.value.set_fixed(refuses_redim(*ref));
  return b.value;
}

void ArrayArguments::write_back(Binding& binding) {
  const DoubleArray& value = binding.value;
  const bool same_bounds = binding.array != nullptr && value.bounds() == binding.original.bounds();
  if (same_bounds) {
    if (same_elements(value, binding.original)) return;
    const std::vector<double>& elements = value.storage();
    copy_elements(binding.array, const_cast<double*>(elements.data()), elements.size(), true);
    return;
  }
  if (value.dims() == 0) return;  // never dimensioned, and still not
  SAFEARRAY* replacement = make_double_array(value);
  if (binding.array != nullptr && FAILED(SafeArrayDestroy(binding.array))) {
    // Only a locked array refuses, and a locked array was marked fixed, so
    // the method could not have re-dimensioned it; keep the caller's array.
    SafeArrayDestroy(replacement);
    raise(ErrorNumber::kArrayFixedOrLocked);
  }
  for (SAFEARRAY** ref : binding.refs) *ref = replacement;
  binding.array = replacement;
  binding.original = value;
}

void ArrayArguments::write_back() {
  write_back_each(bindings_, [this](Binding& b) { write_back(b); });
}

}  // namespace nodrel::com
