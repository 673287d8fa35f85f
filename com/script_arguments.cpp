#include "com/script_arguments.hpp"

#include <oleauto.h>

#include <cstring>
#include <exception>
#include <utility>

#include "nodrel/error.hpp"
#include "nodrel/variant.hpp"
#include "com/com_ptr.hpp"
#include "com/safe_array.hpp"
#include "com/text.hpp"
#include "com/variant_convert.hpp"

namespace nodrel::com {

namespace {

constexpr VARTYPE kVariantReference = VT_BYREF | VT_VARIANT;

// The function's description, released on every way out.
class FunctionDescription {
 public:
  FunctionDescription(ITypeInfo* info, DISPID id) : info_(info) {
    ComPtr<ITypeInfo2> indexed;
    UINT index = 0;
    if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(indexed.put()))) &&
        SUCCEEDED(indexed->GetFuncIndexOfMemId(id, INVOKE_FUNC, &index))) {
      info->GetFuncDesc(index, &function_);
    }
  }
  ~FunctionDescription() {
    if (function_ != nullptr) info_->ReleaseFuncDesc(function_);
  }
  FunctionDescription(const FunctionDescription&) = delete;
  FunctionDescription& operator=(const FunctionDescription&) = delete;
  const FUNCDESC* get() const noexcept { return function_; }

 private:
  ITypeInfo* info_;
  FUNCDESC* function_ = nullptr;
};

// The variable a script's argument refers to, through any number of
// references to references (a script procedure's own by-reference
// parameter passed on).
VARIANT* variable_of(VARIANT& argument) {
  VARIANT* v = &argument;
  while (v != nullptr && V_VT(v) == kVariantReference) v = V_VARIANTREF(v);
  if (v == nullptr || ((V_VT(v) & VT_BYREF) != 0 && V_BYREF(v) == nullptr)) {
    raise(ErrorNumber::kTypeMismatch);
  }
  return v;
}

// A failed coercion: an overflow is error 6, anything else does not convert.
[[noreturn]] void raise_coercion(HRESULT hr) {
  raise(hr == DISP_E_OVERFLOW ? ErrorNumber::kOverflow : ErrorNumber::kTypeMismatch);
}

VARTYPE element_type(SAFEARRAY* array) {
  VARTYPE type = VT_EMPTY;
  if (SUCCEEDED(SafeArrayGetVartype(array, &type))) return type;
  return (array->fFeatures & FADF_VARIANT) != 0 ? VT_VARIANT : VT_R8;
}

// The caller's array, of any element type that converts to double.
DoubleArray read_any_array(SAFEARRAY* array) {
  if (array == nullptr || SafeArrayGetDim(array) == 0) return {};
  const VARTYPE type = element_type(array);
  if (type == VT_R8) return read_double_array(array);
  // Elements are read through references of their own type: only the types
  // whose values sit in the array itself, at the size the descriptor says.
  const bool plain = type == VT_VARIANT || type == VT_BSTR || type == VT_DECIMAL ||
                     (type != VT_ERROR && scalar_size(type) != 0);
  const ULONG size = type == VT_VARIANT ? sizeof(VARIANT)
                     : type == VT_BSTR  ? sizeof(BSTR)
                     : type == VT_DECIMAL ? sizeof(DECIMAL)
                                          : static_cast<ULONG>(scalar_size(type));
  if (!plain || array->cbElements != size) raise(ErrorNumber::kTypeMismatch);
  const UINT dims = SafeArrayGetDim(array);
  std::vector<ArrayBound> bounds(dims);
  for (UINT d = 0; d < dims; ++d) {
    const SAFEARRAYBOUND& b = array->rgsabound[dims - 1 - d];  // kept last dimension first
    bounds[d] =
        ArrayBound{static_cast<std::int32_t>(b.lLbound), static_cast<std::uint32_t>(b.cElements)};
  }
  DoubleArray value(std::move(bounds));
  std::vector<double>& elements = value.storage();
  if (elements.empty()) return value;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) raise(ErrorNumber::kArrayFixedOrLocked);
  HRESULT hr = S_OK;
  auto* bytes = static_cast<unsigned char*>(data);
  for (std::size_t k = 0; k < elements.size() && SUCCEEDED(hr); ++k) {
    void* element = bytes + k * array->cbElements;
    // Each element is read as a variant: itself in an array of variants,
    // otherwise a reference to it, which the coercion reads through.
    VARIANT reference;
    VariantInit(&reference);
    V_VT(&reference) = static_cast<VARTYPE>(VT_BYREF | type);
    V_BYREF(&reference) = element;
    VARIANT* source = type == VT_VARIANT ? static_cast<VARIANT*>(element) : &reference;
    VARIANT number;
    VariantInit(&number);
    hr = VariantChangeType(&number, source, 0, VT_R8);
    if (SUCCEEDED(hr)) elements[k] = V_R8(&number);
  }
  SafeArrayUnaccessData(array);
  if (FAILED(hr)) raise_coercion(hr);
  return value;
}

// The array a variable holds, or null for Empty; error 13 for anything else.
SAFEARRAY* array_in(const VARIANT& variable) {
  if (V_VT(&variable) == VT_EMPTY) return nullptr;
  if ((V_VT(&variable) & VT_ARRAY) == 0) raise(ErrorNumber::kTypeMismatch);
  if ((V_VT(&variable) & VT_BYREF) == 0) return V_ARRAY(&variable);
  if (V_ARRAYREF(&variable) == nullptr) raise(ErrorNumber::kTypeMismatch);
  return *V_ARRAYREF(&variable);
}

// Writes the method's elements into the caller's array, which keeps its
// bounds: one the caller holds fixed or locked must not be replaced.
void write_in_place(SAFEARRAY* array, const DoubleArray& value) {
  const std::vector<double>& elements = value.storage();
  const VARTYPE type = element_type(array);
  if (type != VT_R8 && type != VT_VARIANT) raise(ErrorNumber::kArrayFixedOrLocked);
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) raise(ErrorNumber::kArrayFixedOrLocked);
  if (type == VT_R8) {
    std::memcpy(data, elements.data(), elements.size() * sizeof(double));
  } else {
    auto* slots = static_cast<VARIANT*>(data);
    for (std::size_t k = 0; k < elements.size(); ++k) {
      VariantClear(&slots[k]);
      V_VT(&slots[k]) = VT_R8;
      V_R8(&slots[k]) = elements[k];
    }
  }
  SafeArrayUnaccessData(array);
}

Variant as_variant_array(const DoubleArray& value) {
  VariantArray result;
  result.bounds = value.bounds();
  result.elements.reserve(value.storage().size());
  for (double x : value.storage()) result.elements.emplace_back(x);
  return Variant(std::move(result));
}

bool same_bits(const DoubleArray& a, const DoubleArray& b) {
  const std::vector<double>& x = a.storage();
  const std::vector<double>& y = b.storage();
  return a.bounds() == b.bounds() &&
         (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0);
}

}  // namespace

ScriptArguments::~ScriptArguments() {
  for (Slot& slot : slots_) {
    if (slot.array != nullptr) {
      slot.array->fFeatures &= static_cast<USHORT>(~FADF_FIXEDSIZE);  // ours to free
      SafeArrayDestroy(slot.array);
    }
    SysFreeString(slot.text);
  }
  for (VARIANT& copy : copies_) VariantClear(&copy);
}

HRESULT ScriptArguments::convert(ITypeInfo* info, DISPID id, DISPPARAMS* params,
                                 DISPPARAMS*& typed, UINT* bad_argument) {
  typed = params;
  if (params == nullptr || (params->cArgs != 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
  FunctionDescription function(info, id);
  if (function.get() == nullptr) return S_OK;  // not a method: Invoke says so
  const FUNCDESC& f = *function.get();
  // The platform's dispatcher answers E_INVALIDARG for too many arguments;
  // automation clients expect DISP_E_BADPARAMCOUNT.
  UINT takes = 0;
  for (SHORT p = 0; p < f.cParams; ++p) {
    if ((f.lprgelemdescParam[p].paramdesc.wParamFlags & PARAMFLAG_FRETVAL) == 0) ++takes;
  }
  if (params->cArgs > takes) return DISP_E_BADPARAMCOUNT;
  if (params->cArgs == 0) return S_OK;

  arguments_.assign(params->rgvarg, params->rgvarg + params->cArgs);
  params_ = *params;
  params_.rgvarg = arguments_.data();
  for (UINT k = 0; k < params->cArgs; ++k) {
    VARIANT& argument = arguments_[k];
    const bool reference = (V_VT(&argument) & VT_BYREF) != 0;
    // Named arguments come first, then the positional ones last to first.
    const INT position = k < params->cNamedArgs ? params->rgdispidNamedArgs[k]
                                                : static_cast<INT>(params->cArgs - 1 - k);
    // An argument beyond the parameters, or in the result's place, is
    // Invoke's to refuse.
    if (position < 0 || position >= f.cParams) continue;
    const ELEMDESC& parameter = f.lprgelemdescParam[position];
    if ((parameter.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0) continue;
    const TYPEDESC& type = parameter.tdesc;
    if (type.vt != VT_PTR) continue;
    const TYPEDESC& referenced = *type.lptdesc;
    const VARTYPE exact = referenced.vt == VT_SAFEARRAY
                              ? static_cast<VARTYPE>(VT_ARRAY | referenced.lptdesc->vt)
                              : referenced.vt;
    if (reference && V_VT(&argument) == (VT_BYREF | exact)) continue;  // typed: as it came
    Kind kind;
    if (referenced.vt == VT_SAFEARRAY && referenced.lptdesc->vt == VT_R8) {
      kind = Kind::kArray;
    } else if (referenced.vt == VT_R8) {
      kind = Kind::kDouble;
    } else if (referenced.vt == VT_I4) {
      kind = Kind::kLong;
    } else if (referenced.vt == VT_BSTR) {
      kind = Kind::kText;
    } else {
      if (!reference && referenced.vt == VT_VARIANT) {
        // A value for a VARIANT*: the method gets a copy of its own, and
        // nothing it writes there comes back.
        VARIANT& copy = copies_.emplace_back();
        VariantInit(&copy);
        if (FAILED(VariantCopy(&copy, &argument))) {
          if (bad_argument != nullptr) *bad_argument = k;
          raise(ErrorNumber::kOutOfMemory);
        }
        V_VT(&argument) = kVariantReference;
        V_VARIANTREF(&argument) = &copy;
      }
      continue;
    }
    Slot* slot = nullptr;
    try {
      // A reference of another type (a script's variant, a Variant array of
      // a compiled client) is read and written back as a script's is.
      slot = reference ? &bind(variable_of(params->rgvarg[k]), kind, false)
                       : &bind(&params->rgvarg[k], kind, true);
    } catch (...) {
      if (bad_argument != nullptr) *bad_argument = k;
      throw;
    }
    switch (kind) {
      case Kind::kArray:
        V_VT(&argument) = VT_BYREF | VT_ARRAY | VT_R8;
        V_ARRAYREF(&argument) = &slot->array;
        break;
      case Kind::kDouble:
        V_VT(&argument) = VT_BYREF | VT_R8;
        V_R8REF(&argument) = &slot->real;
        break;
      case Kind::kLong:
        V_VT(&argument) = VT_BYREF | VT_I4;
        V_I4REF(&argument) = &slot->integer;
        break;
      case Kind::kText:
        V_VT(&argument) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&argument) = &slot->text;
        break;
    }
  }
  typed = &params_;
  return S_OK;
}

ScriptArguments::Slot& ScriptArguments::bind(VARIANT* variable, Kind kind, bool by_value) {
  // One variable given twice is one value, as it is for a typed caller.
  for (Slot& slot : slots_) {
    if (slot.variable == variable && slot.kind == kind) return slot;
  }
  Slot& slot = slots_.emplace_back();
  slot.variable = variable;
  slot.kind = kind;
  slot.by_value = by_value;
  if (kind == Kind::kArray) {
    SAFEARRAY* callers = array_in(*variable);
    slot.array_before = read_any_array(callers);
    slot.array = make_double_array(slot.array_before);
    slot.fixed = refuses_redim(callers);
    // The method then refuses to re-dimension it, as for a typed caller.
    if (slot.fixed && slot.array != nullptr) slot.array->fFeatures |= FADF_FIXEDSIZE;
    return slot;
  }
  const VARTYPE type = kind == Kind::kDouble ? VT_R8 : kind == Kind::kLong ? VT_I4 : VT_BSTR;
  VARIANT value;
  VariantInit(&value);
  if (const HRESULT hr = VariantChangeType(&value, variable, 0, type); FAILED(hr)) {
    raise_coercion(hr);
  }
  switch (kind) {
    case Kind::kDouble: slot.real = slot.real_before = V_R8(&value); break;
    case Kind::kLong: slot.integer = slot.integer_before = V_I4(&value); break;
    default:
      slot.text = V_BSTR(&value);  // the slot owns it from here on
      slot.text_before.assign(slot.text != nullptr ? slot.text : L"", SysStringLen(slot.text));
      break;
  }
  return slot;
}

void ScriptArguments::write_back(Slot& slot) {
  if (slot.by_value) return;
  VARIANT& variable = *slot.variable;
  switch (slot.kind) {
    case Kind::kArray: {
      const DoubleArray value = read_double_array(slot.array);
      if (same_bits(value, slot.array_before)) return;
      if (slot.fixed) {
        write_in_place(array_in(variable), value);
      } else {
        store_variant(variable, as_variant_array(value));
      }
      slot.array_before = value;
      return;
    }
    case Kind::kDouble:
      if (std::memcmp(&slot.real, &slot.real_before, sizeof(double)) != 0) {
        store_variant(variable, Variant(slot.real));
      }
      return;
    case Kind::kLong:
      if (slot.integer != slot.integer_before) {
        store_variant(variable, Variant(std::int64_t{slot.integer}));
      }
      return;
    case Kind::kText:
      if (std::wstring_view(slot.text != nullptr ? slot.text : L"", SysStringLen(slot.text)) !=
          slot.text_before) {
        store_variant(variable, Variant(bstr_to_narrow(slot.text)));
      }
      return;
  }
}

void ScriptArguments::write_back() {
  write_back_each(slots_, [this](Slot& slot) { write_back(slot); });
}

}  // namespace nodrel::com
