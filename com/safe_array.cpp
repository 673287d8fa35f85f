#include "com/safe_array.hpp"

#include <oleauto.h>

#include <cstring>

#include "nodrel/error.hpp"

namespace nodrel::com {

namespace {

bool holds_doubles(SAFEARRAY* array) {
  VARTYPE type = VT_EMPTY;
  if (SUCCEEDED(SafeArrayGetVartype(array, &type))) return type == VT_R8;
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

}  // namespace

std::vector<ArrayBound> array_bounds(const SAFEARRAY* array) {
  const UINT dims = array != nullptr ? array->cDims : 0;
  std::vector<ArrayBound> bounds(dims);
  for (UINT d = 0; d < dims; ++d) {
    const SAFEARRAYBOUND& b = array->rgsabound[dims - 1 - d];
    bounds[d] =
        ArrayBound{static_cast<std::int32_t>(b.lLbound), static_cast<std::uint32_t>(b.cElements)};
  }
  return bounds;
}

VARTYPE element_type(SAFEARRAY* array) {
  VARTYPE type = VT_EMPTY;
  if (SUCCEEDED(SafeArrayGetVartype(array, &type))) return type;
  return (array->fFeatures & FADF_VARIANT) != 0 ? VT_VARIANT : VT_R8;
}

DoubleArray read_double_array(SAFEARRAY* array) {
  if (array == nullptr || SafeArrayGetDim(array) == 0) return {};
  if (!holds_doubles(array)) raise(ErrorNumber::kTypeMismatch);
  DoubleArray value(array_bounds(array));
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

void write_in_place(SAFEARRAY* array, const DoubleArray& value) {
  const std::vector<double>& elements = value.storage();
  const VARTYPE type = element_type(array);
  if (type == VT_R8 && holds_doubles(array)) {
    copy_elements(array, const_cast<double*>(elements.data()), elements.size(), true);
    return;
  }
  void* data = nullptr;
  if (type != VT_VARIANT || FAILED(SafeArrayAccessData(array, &data))) {
    raise(ErrorNumber::kArrayFixedOrLocked);
  }
  auto* slots = static_cast<VARIANT*>(data);
  for (std::size_t k = 0; k < elements.size(); ++k) {
    VariantClear(&slots[k]);
    V_VT(&slots[k]) = VT_R8;
    V_R8(&slots[k]) = elements[k];
  }
  SafeArrayUnaccessData(array);
}

bool refuses_redim(const SAFEARRAY* array) noexcept {
  if (array == nullptr) return false;
  constexpr USHORT kNotOurs = FADF_FIXEDSIZE | FADF_STATIC | FADF_EMBEDDED | FADF_AUTO;
  return (array->fFeatures & kNotOurs) != 0 || array->cLocks > 0;
}

}  // namespace nodrel::com
