#include "com/client_object.hpp"

#include <oleauto.h>

#include <string>
#include <utility>

#include "nodrel/error.hpp"
#include "nodrel/platform.hpp"
#include "com/text.hpp"
#include "com/variant_convert.hpp"

namespace nodrel::com {

namespace {

// The base of the adapters: the client's members called by name. Names are
// looked up at every call: a client object may gain or lose members while
// it lives (an object of a scripting language does), and a print calls at
// most three of them.
class Adapter : public ClientReference {
 public:
  Adapter(ComPtr<IUnknown> object, ComPtr<IDispatch> dispatch)
      : ClientReference(std::move(object)), dispatch_(std::move(dispatch)) {}

 protected:
  void call(const wchar_t* name) { invoke(name, DISPATCH_METHOD, nullptr, nullptr); }
  void call(const wchar_t* name, const std::string& text) {
    VariantHolder argument;
    set_text(argument, text);
    invoke(name, DISPATCH_METHOD, &argument.value, nullptr);
  }
  std::string get(const wchar_t* name) {
    VariantHolder value;
    invoke(name, DISPATCH_PROPERTYGET, nullptr, &value.value);
    VariantHolder text;
    if (FAILED(VariantChangeType(&text.value, &value.value, 0, VT_BSTR))) {
      raise(ErrorNumber::kTypeMismatch);
    }
    return bstr_to_narrow(V_BSTR(&text.value));
  }
  void put(const wchar_t* name, const std::string& text) {
    VariantHolder argument;
    set_text(argument, text);
    invoke(name, DISPATCH_PROPERTYPUT, &argument.value, nullptr);
  }

 private:
  static void set_text(VariantHolder& target, const std::string& text) {
    V_BSTR(&target.value) = narrow_to_bstr(text);
    V_VT(&target.value) = VT_BSTR;
  }

  void invoke(const wchar_t* name, WORD flags, VARIANT* argument, VARIANT* result) {
    EXCEPINFO exception{};
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(hr)) {
      // A property's new value is the one named argument DISPID_PROPERTYPUT.
      DISPID put_id = DISPID_PROPERTYPUT;
      const bool put = flags == DISPATCH_PROPERTYPUT;
      DISPPARAMS params{argument, put ? &put_id : nullptr, argument != nullptr ? 1u : 0u,
                        put ? 1u : 0u};
      UINT bad_argument = 0;
      hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception,
                             &bad_argument);
    }
    if (FAILED(hr)) raise_client_failure(hr, exception);  // frees the texts
    // A client may fill them in and succeed all the same.
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
  }

  ComPtr<IDispatch> dispatch_;
};

// Form and PictureBox: a surface that is cleared and printed on.
template <typename Kind>
class ClientSurface final : public Kind, public Adapter {
 public:
  using Adapter::Adapter;
  void Cls() override { call(L"Cls"); }
  void Print(const std::string& text) override { call(L"Print", text); }
};

class ClientTextBox final : public TextBox, public Adapter {
 public:
  using Adapter::Adapter;
  std::string get_Text() override { return get(L"Text"); }
  void put_Text(const std::string& text) override { put(L"Text", text); }
};

class ClientLabel final : public Label, public Adapter {
 public:
  using Adapter::Adapter;
  std::string get_Caption() override { return get(L"Caption"); }
  void put_Caption(const std::string& caption) override { put(L"Caption", caption); }
};

class ClientPrinter final : public Printer, public Adapter {
 public:
  using Adapter::Adapter;
  void Print(const std::string& text) override { call(L"Print", text); }
  void EndDoc() override { call(L"EndDoc"); }
};

// An object of no kind the core knows.
class PlainObject final : public Object, public ClientReference {
 public:
  using ClientReference::ClientReference;
};

// The name of the object's type; empty when it tells none.
std::wstring type_name(IDispatch* object) {
  ComPtr<ITypeInfo> info;
  if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) || !info) return {};
  BSTR name = nullptr;
  if (FAILED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr))) return {};
  std::wstring result(name != nullptr ? name : L"", SysStringLen(name));
  SysFreeString(name);
  return result;
}

bool same_name(const std::wstring& a, const wchar_t* b) {
  return CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

// Frees the texts of an EXCEPINFO on every way out.
struct ExceptionTexts {
  EXCEPINFO& exception;
  ~ExceptionTexts() {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    exception.bstrSource = exception.bstrDescription = exception.bstrHelpFile = nullptr;
  }
};

int error_number(HRESULT failure, const EXCEPINFO& exception) {
  if (failure == DISP_E_EXCEPTION) {
    if (exception.wCode != 0) return exception.wCode;
    failure = exception.scode;
  }
  if (FAILED(failure) && HRESULT_FACILITY(failure) == FACILITY_CONTROL &&
      HRESULT_CODE(failure) != 0) {
    return HRESULT_CODE(failure);
  }
  switch (failure) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME: return static_cast<int>(ErrorNumber::kObjectDoesntSupport);
    case DISP_E_TYPEMISMATCH: return static_cast<int>(ErrorNumber::kTypeMismatch);
    case DISP_E_BADPARAMCOUNT: return static_cast<int>(ErrorNumber::kWrongNumberOfArguments);
    case E_OUTOFMEMORY: return static_cast<int>(ErrorNumber::kOutOfMemory);
    default: return static_cast<int>(ErrorNumber::kAutomationError);
  }
}

}  // namespace

ComPtr<IDispatch> ClientReference::dispatch() const noexcept {
  ComPtr<IDispatch> result;
  if (object_) object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(result.put()));
  return result;
}

std::shared_ptr<Object> make_client_object(IUnknown* object) {
  ComPtr<IUnknown> held = ComPtr<IUnknown>::share(object);
  ComPtr<IDispatch> dispatch;
  if (SUCCEEDED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put()))) &&
      dispatch) {
    const std::wstring kind = type_name(dispatch.get());
    if (same_name(kind, L"Form")) return std::make_shared<ClientSurface<Form>>(held, dispatch);
    if (same_name(kind, L"PictureBox")) {
      return std::make_shared<ClientSurface<PictureBox>>(held, dispatch);
    }
    if (same_name(kind, L"TextBox")) return std::make_shared<ClientTextBox>(held, dispatch);
    if (same_name(kind, L"Label")) return std::make_shared<ClientLabel>(held, dispatch);
    if (same_name(kind, L"Printer")) return std::make_shared<ClientPrinter>(held, dispatch);
  }
  return std::make_shared<PlainObject>(std::move(held));
}

void raise_client_failure(HRESULT failure, EXCEPINFO& exception) {
  ExceptionTexts texts{exception};
  if (failure == DISP_E_EXCEPTION && exception.pfnDeferredFillIn != nullptr) {
    exception.pfnDeferredFillIn(&exception);
  }
  const auto number = static_cast<ErrorNumber>(error_number(failure, exception));
  std::string description = bstr_to_narrow(exception.bstrDescription);
  if (description.empty()) description = describe(number);
  raise(number, std::move(description));
}

}  // namespace nodrel::com
