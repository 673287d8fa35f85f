#include "com/matr_object.hpp"

#include <oleauto.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "com/com_error.hpp"
#include "com/module.hpp"
#include "com/text.hpp"
#include "com/variant_convert.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"

namespace nodrel::com {

namespace {

// The separators of the user's regional settings: automation clients read
// and write numbers in the user's locale, not in the C runtime's.
Locale user_locale() {
  const auto read = [](LCTYPE type) {
    wchar_t buffer[16] = {};
    const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 16);
    return length > 1 ? to_narrow(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)))
                      : std::string();
  };
  Locale locale = Locale::c();
  if (std::string decimal = read(LOCALE_SDECIMAL); !decimal.empty()) locale.decimal = decimal;
  locale.thousands = read(LOCALE_STHOUSAND);
  locale.currency = read(LOCALE_SCURRENCY);
  return locale;
}

// The type information of _Matr: as a dispatch interface and as the
// function table behind it. ITypeInfo::Invoke must be given the latter: on
// the dispatch description it would call IDispatch::Invoke, which is us.
HRESULT load_type_info(ComPtr<ITypeInfo>& dispatch_info, ComPtr<ITypeInfo>& interface_info) {
  ComPtr<ITypeLib> library;
  HRESULT hr = load_type_library(library.put());
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(IID__Matr, dispatch_info.put());
  if (FAILED(hr)) return hr;
  HREFTYPE table = 0;
  hr = dispatch_info->GetRefTypeOfImplType(static_cast<UINT>(-1), &table);
  if (FAILED(hr)) return hr;
  return dispatch_info->GetRefTypeInfo(table, interface_info.put());
}

}  // namespace

HRESULT MatrObject::create(REFIID riid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ComPtr<ITypeInfo> dispatch_info;
  ComPtr<ITypeInfo> interface_info;
  const HRESULT loaded = load_type_info(dispatch_info, interface_info);
  if (FAILED(loaded)) return loaded;
  MatrObject* created = nullptr;
  try {
    created = new MatrObject(std::move(dispatch_info), std::move(interface_info));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = created->QueryInterface(riid, object);
  created->Release();  // the creation reference; the caller's is the one left
  return hr;
}

MatrObject::MatrObject(ComPtr<ITypeInfo> dispatch_info, ComPtr<ITypeInfo> interface_info)
    : dispatch_info_(std::move(dispatch_info)), interface_info_(std::move(interface_info)) {
  matr_.set_locale(user_locale());
  object_created();
}

MatrObject::~MatrObject() { object_destroyed(); }

HRESULT STDMETHODCALLTYPE MatrObject::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID__Matr)) {
    *object = static_cast<_Matr*>(this);
  } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE MatrObject::AddRef() { return ++references_; }

ULONG STDMETHODCALLTYPE MatrObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE MatrObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MatrObject::GetTypeInfo(UINT index, LCID /*lcid*/, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  *info = ComPtr<ITypeInfo>(dispatch_info_).detach();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MatrObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                                    LCID /*lcid*/, DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return DispGetIDsOfNames(interface_info_.get(), names, count, ids);
}

HRESULT STDMETHODCALLTYPE MatrObject::Invoke(DISPID id, REFIID riid, LCID /*lcid*/, WORD flags,
                                             DISPPARAMS* params, VARIANT* result,
                                             EXCEPINFO* exception, UINT* bad_argument) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const MethodInfo* method = find_method(static_cast<std::int32_t>(id));
  if (method == nullptr || (flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  if (params == nullptr || (params->cArgs != 0 && params->rgvarg == nullptr) ||
      params->cNamedArgs > params->cArgs ||
      (params->cNamedArgs != 0 && params->rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  const std::size_t count = method->args.size();
  if (params->cArgs > count) return DISP_E_BADPARAMCOUNT;
  // Where the argument of each place sits in rgvarg: the named ones first,
  // then the positional ones last to first.
  constexpr UINT kNone = ~0u;
  std::array<UINT, detail::kMaxArguments> index;
  index.fill(kNone);
  for (UINT k = 0; k < params->cArgs; ++k) {
    const DISPID place = k < params->cNamedArgs ? params->rgdispidNamedArgs[k]
                                                : static_cast<DISPID>(params->cArgs - 1 - k);
    if (place < 0 || static_cast<std::size_t>(place) >= count ||
        index[static_cast<std::size_t>(place)] != kNone) {
      return DISP_E_PARAMNOTFOUND;
    }
    index[static_cast<std::size_t>(place)] = k;
  }
  for (std::size_t p = 0; p < count; ++p) {
    if (index[p] == kNone && !method->args[p].optional) return DISP_E_BADPARAMCOUNT;
  }
  std::size_t at_fault = count;
  HRESULT hr = run(*method, [&](CallFrame& frame) {
    for (std::size_t p = 0; p < count; ++p) {
      at_fault = p;
      if (index[p] != kNone) frame.bind(p, params->rgvarg[index[p]]);
    }
    at_fault = count;
    const Variant value = frame.call(matr_, &at_fault);
    if (result != nullptr && method->result != ResultKind::kNone) *result = to_variant(value);
  });
  if (FAILED(hr) && at_fault < count && bad_argument != nullptr) *bad_argument = index[at_fault];
  if (is_runtime_error(hr) && exception != nullptr) {
    // A late-bound caller expects a run-time error in EXCEPINFO, flagged by
    // DISP_E_EXCEPTION; the description is the error object's.
    exception->scode = hr;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
      info->GetSource(&exception->bstrSource);
      info->GetDescription(&exception->bstrDescription);
    }
    if (exception->bstrSource == nullptr) exception->bstrSource = SysAllocString(kErrorSource);
    hr = DISP_E_EXCEPTION;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE MatrObject::InterfaceSupportsErrorInfo(REFIID riid) {
  return IsEqualIID(riid, IID__Matr) ? S_OK : S_FALSE;
}

template <typename Body>
HRESULT MatrObject::run(const MethodInfo& method, Body&& body) noexcept {
  SetErrorInfo(0, nullptr);  // a stale description must never describe this call
  AddRef();
  HRESULT result = S_OK;
  std::string note;
  try {
    CallFrame frame(method, matr_.locale());
    std::exception_ptr failure;
    try {
      body(frame);
    } catch (...) {
      failure = std::current_exception();
    }
    if (failure) {
      // What the method wrote before it failed reaches the caller; the error
      // reported is the method's own, noting whatever write-back runs into.
      try {
        frame.write_back();
      } catch (...) {
        note = write_back_note();
      }
      std::rethrow_exception(failure);
    }
    frame.write_back();
  } catch (...) {
    result = fail_with_current_exception(note);
  }
  Release();
  return result;
}

HRESULT MatrObject::early(const MethodInfo& method, VARIANT* references) noexcept {
  return run(method, [&](CallFrame& frame) {
    const std::size_t count = method.args.size();
    VARIANT* retval = method.result != ResultKind::kNone ? &references[count] : nullptr;
    if (retval != nullptr) {
      if (V_BYREF(retval) == nullptr) raise(ErrorNumber::kInvalidProcedureCall);
      // Zero first: a failed call leaves its result defined.
      std::memset(V_BYREF(retval), 0, scalar_size(V_VT(retval) & VT_TYPEMASK));
    }
    for (std::size_t p = 0; p < count; ++p) {
      // A null VARIANT* is an argument left out; any other null pointer is
      // no argument at all.
      if (V_BYREF(&references[p]) != nullptr) {
        frame.bind(p, references[p]);
      } else if (method.args[p].kind != ArgKind::kVariant) {
        raise(ErrorNumber::kInvalidProcedureCall);
      }
    }
    const Variant value = frame.call(matr_, nullptr);
    if (retval != nullptr) store_variant(*retval, value);
  });
}

}  // namespace nodrel::com
