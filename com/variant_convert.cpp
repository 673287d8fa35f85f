#include "com/variant_convert.hpp"

#include <oleauto.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "nodrel/error.hpp"
#include "com/client_object.hpp"
#include "com/safe_array.hpp"
#include "com/text.hpp"

namespace nodrel::com {

namespace {

template <typename T>
T load(const void* data) {
  T value;
  std::memcpy(&value, data, sizeof value);
  return value;
}

Variant from_object(IUnknown* object) {
  if (object == nullptr) return Variant(std::shared_ptr<Object>());
  return Variant(make_client_object(object));
}

// A value of automation type `type` stored at `data`: the union of a VARIANT,
// what a VT_BYREF variant points at, or an element of an array.
Variant from_value(VARTYPE type, const void* data) {
  switch (type) {
    case VT_EMPTY: return Variant();
    case VT_NULL: return Variant::null();
    case VT_I1: return Variant(std::int64_t{load<signed char>(data)});
    case VT_UI1: return Variant(std::int64_t{load<unsigned char>(data)});
    case VT_I2: return Variant(std::int64_t{load<SHORT>(data)});
    case VT_UI2: return Variant(std::int64_t{load<USHORT>(data)});
    case VT_I4:
    case VT_INT: return Variant(std::int64_t{load<LONG>(data)});
    case VT_UI4:
    case VT_UINT: return Variant(std::int64_t{load<ULONG>(data)});
    case VT_I8: return Variant(std::int64_t{load<LONGLONG>(data)});
    case VT_UI8: {
      const ULONGLONG value = load<ULONGLONG>(data);
      if (value > static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max())) {
        return Variant(static_cast<double>(value));
      }
      return Variant(static_cast<std::int64_t>(value));
    }
    case VT_R4: return Variant(double{load<float>(data)});
    case VT_R8: return Variant(load<double>(data));
    case VT_CY: return Variant(static_cast<double>(load<CY>(data).int64) / 10000.0);
    case VT_DECIMAL: {
      DECIMAL value = load<DECIMAL>(data);
      double result = 0.0;
      if (FAILED(VarR8FromDec(&value, &result))) raise(ErrorNumber::kOverflow);
      return Variant(result);
    }
    case VT_BOOL: return Variant(load<VARIANT_BOOL>(data) != VARIANT_FALSE);
    case VT_DATE: return Variant(Date{load<DATE>(data)});
    case VT_BSTR: return Variant(bstr_to_narrow(load<BSTR>(data)));
    case VT_ERROR: {
      const SCODE code = load<SCODE>(data);
      if (code == DISP_E_PARAMNOTFOUND) return Variant::missing();
      return Variant(ErrorValue{static_cast<std::int32_t>(code)});
    }
    case VT_DISPATCH: return from_object(load<IDispatch*>(data));
    case VT_UNKNOWN: return from_object(load<IUnknown*>(data));
    case VT_VARIANT: return from_variant(*static_cast<const VARIANT*>(data));
    default: raise(ErrorNumber::kTypeMismatch);
  }
}

// An array the caller holds fixed stays so: a method may not re-dimension it.
Variant from_array(SAFEARRAY* array, VARTYPE element_type) {
  if (element_type == VT_R8) {
    DoubleArray value = read_double_array(array);
    value.set_fixed(refuses_redim(array));
    return Variant(std::move(value));
  }
  VariantArray result;
  result.fixed = refuses_redim(array);
  result.bounds = array_bounds(array);
  std::size_t count = result.bounds.empty() ? 0 : 1;
  for (const ArrayBound& b : result.bounds) count *= b.count;
  if (count == 0) return Variant(std::move(result));
  result.elements.reserve(count);
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) raise(ErrorNumber::kArrayFixedOrLocked);
  try {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t k = 0; k < count; ++k) {
      result.elements.push_back(from_value(element_type, bytes + k * array->cbElements));
    }
  } catch (...) {
    SafeArrayUnaccessData(array);
    throw;
  }
  SafeArrayUnaccessData(array);
  return Variant(std::move(result));
}

}  // namespace

std::size_t scalar_size(VARTYPE type) {
  switch (type) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE: return 8;
    default: return 0;
  }
}

Variant from_variant(const VARIANT& value) {
  const VARIANT* v = &value;
  if (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
    v = V_VARIANTREF(v);
    // A reference to a reference is not an automation value.
    if (v == nullptr || (V_VT(v) & VT_BYREF) != 0) raise(ErrorNumber::kTypeMismatch);
  }
  const VARTYPE type = V_VT(v);
  const VARTYPE base = type & VT_TYPEMASK;
  if ((type & VT_BYREF) != 0 && V_BYREF(v) == nullptr) raise(ErrorNumber::kTypeMismatch);
  if ((type & VT_ARRAY) != 0) {
    SAFEARRAY* array = (type & VT_BYREF) != 0 ? *V_ARRAYREF(v) : V_ARRAY(v);
    return from_array(array, base);
  }
  if ((type & VT_BYREF) != 0) return from_value(base, V_BYREF(v));
  if ((type & ~VT_TYPEMASK) != 0) raise(ErrorNumber::kTypeMismatch);
  // A DECIMAL fills the whole VARIANT; every other value sits in its union.
  if (type == VT_DECIMAL) return from_value(type, &V_DECIMAL(v));
  return from_value(type, &V_I8(v));
}

VARIANT to_variant(const Variant& value) {
  VariantHolder out;
  VARIANT& v = out.value;
  switch (value.kind()) {
    case VariantKind::kMissing:
      V_VT(&v) = VT_ERROR;
      V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
      break;
    case VariantKind::kEmpty: break;
    case VariantKind::kNull: V_VT(&v) = VT_NULL; break;
    case VariantKind::kBoolean:
      V_VT(&v) = VT_BOOL;
      V_BOOL(&v) = *value.boolean() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VariantKind::kInteger: {
      const std::int64_t n = *value.integer();
      if (n >= std::numeric_limits<LONG>::min() && n <= std::numeric_limits<LONG>::max()) {
        V_VT(&v) = VT_I4;
        V_I4(&v) = static_cast<LONG>(n);
      } else {
        // Automation clients know no 64-bit integers.
        V_VT(&v) = VT_R8;
        V_R8(&v) = static_cast<double>(n);
      }
      break;
    }
    case VariantKind::kDouble:
      V_VT(&v) = VT_R8;
      V_R8(&v) = *value.real();
      break;
    case VariantKind::kDate:
      V_VT(&v) = VT_DATE;
      V_DATE(&v) = value.date()->serial;
      break;
    case VariantKind::kString:
      V_BSTR(&v) = narrow_to_bstr(*value.string());
      V_VT(&v) = VT_BSTR;
      break;
    case VariantKind::kError:
      V_VT(&v) = VT_ERROR;
      V_ERROR(&v) = value.error()->scode;
      break;
    case VariantKind::kObject: {
      const auto* client = dynamic_cast<const ClientReference*>(value.object()->get());
      if (value.object()->get() != nullptr && client == nullptr) {
        // An object of the core's own has no automation counterpart.
        raise(ErrorNumber::kTypeMismatch);
      }
      ComPtr<IDispatch> dispatch = client != nullptr ? client->dispatch() : ComPtr<IDispatch>();
      if (dispatch || client == nullptr) {
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = dispatch.detach();
      } else {
        V_VT(&v) = VT_UNKNOWN;
        V_UNKNOWN(&v) = ComPtr<IUnknown>::share(client->get()).detach();
      }
      break;
    }
    case VariantKind::kArray: {
      const VariantArray& source = *value.array();
      std::vector<SAFEARRAYBOUND> bounds(source.bounds.size());
      for (std::size_t d = 0; d < bounds.size(); ++d) {
        bounds[d].lLbound = source.bounds[d].lower;
        bounds[d].cElements = source.bounds[d].count;
      }
      if (bounds.empty()) {  // never dimensioned
        V_VT(&v) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(&v) = nullptr;
        break;
      }
      SAFEARRAY* array =
          SafeArrayCreate(VT_VARIANT, static_cast<UINT>(bounds.size()), bounds.data());
      if (array == nullptr) raise(ErrorNumber::kOutOfMemory);
      V_VT(&v) = VT_ARRAY | VT_VARIANT;
      V_ARRAY(&v) = array;  // owned by `out` from here on
      VARIANT* elements = nullptr;
      if (FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&elements)))) {
        raise(ErrorNumber::kOutOfMemory);
      }
      std::size_t count = 1;
      for (const SAFEARRAYBOUND& b : bounds) count *= b.cElements;
      // A malformed VariantArray must not make us write beyond the array.
      if (source.elements.size() < count) count = 0;
      try {
        for (std::size_t k = 0; k < count; ++k) elements[k] = to_variant(source.elements[k]);
      } catch (...) {
        SafeArrayUnaccessData(array);
        throw;
      }
      SafeArrayUnaccessData(array);
      break;
    }
    case VariantKind::kDoubleArray:
      V_ARRAY(&v) = make_double_array(*value.double_array());
      V_VT(&v) = VT_ARRAY | VT_R8;
      break;
  }
  return out.release();
}

void store_variant(VARIANT& target, const Variant& value) {
  VariantHolder fresh;
  fresh.value = to_variant(value);
  if (V_VT(&target) == (VT_BYREF | VT_VARIANT)) {
    VARIANT* referenced = V_VARIANTREF(&target);
    if (referenced == nullptr) raise(ErrorNumber::kTypeMismatch);
    VariantClear(referenced);
    *referenced = fresh.release();
    return;
  }
  if ((V_VT(&target) & VT_BYREF) == 0) {
    VariantClear(&target);
    target = fresh.release();
    return;
  }
  // A typed reference (a String or Long variable of the caller's): the value
  // takes the variable's type.
  const VARTYPE type = V_VT(&target) & ~VT_BYREF;
  void* slot = V_BYREF(&target);
  if (slot == nullptr) raise(ErrorNumber::kTypeMismatch);
  if ((type & VT_ARRAY) != 0) {
    // An array variable of the caller's: replaced when the new array is of its type.
    if (V_VT(&fresh.value) != type) raise(ErrorNumber::kTypeMismatch);
    SAFEARRAY*& held = *static_cast<SAFEARRAY**>(slot);
    if (held != nullptr && FAILED(SafeArrayDestroy(held))) raise(ErrorNumber::kArrayFixedOrLocked);
    held = fresh.release().parray;
    return;
  }
  VariantHolder converted;
  if (FAILED(VariantChangeType(&converted.value, &fresh.value, 0, type))) {
    raise(ErrorNumber::kTypeMismatch);
  }
  if (type == VT_BSTR) {
    SysFreeString(*static_cast<BSTR*>(slot));
    *static_cast<BSTR*>(slot) = converted.release().bstrVal;
  } else if (type == VT_DISPATCH || type == VT_UNKNOWN) {
    IUnknown*& held = *static_cast<IUnknown**>(slot);
    if (held != nullptr) held->Release();
    held = converted.release().punkVal;
  } else if (type == VT_DECIMAL) {
    *static_cast<DECIMAL*>(slot) = V_DECIMAL(&converted.value);
  } else if (const std::size_t size = scalar_size(type); size != 0) {
    std::memcpy(slot, &V_I8(&converted.value), size);
  } else {
    raise(ErrorNumber::kTypeMismatch);
  }
}

}  // namespace nodrel::com
