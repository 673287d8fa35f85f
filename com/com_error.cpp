#include "com/com_error.hpp"

#include <oleauto.h>

#include <exception>
#include <new>
#include <string>

#include "nodrel/error.hpp"
#include "nodrel_h.h"
#include "com/com_ptr.hpp"
#include "com/text.hpp"

namespace nodrel::com {

namespace {

// Automation's number for a fault that has no number of its own.
constexpr int kInternalError = 51;

}  // namespace

HRESULT set_error_info(HRESULT hr, std::wstring_view description) noexcept {
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return hr;
  create->SetGUID(IID__Matr);
  create->SetSource(const_cast<LPOLESTR>(kErrorSource));
  // SetDescription wants a terminated string; the view may not be one.
  const std::wstring text(description);
  create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.put())))) {
    SetErrorInfo(0, info.get());
  }
  return hr;
}

HRESULT fail_with_current_exception(std::string_view note) noexcept {
  try {
    throw;
  } catch (const Error& e) {
    try {
      return set_error_info(error_hresult(e.code()), to_wide(e.description() + std::string(note)));
    } catch (...) {
      // No memory for the description: the number alone still reaches the caller.
      return error_hresult(e.code());
    }
  } catch (const std::bad_alloc&) {
    return set_error_info(error_hresult(static_cast<int>(ErrorNumber::kOutOfMemory)),
                          L"Out of memory");
  } catch (...) {
    return set_error_info(error_hresult(kInternalError), L"Internal error");
  }
}

std::string write_back_note() noexcept {
  try {
    std::string description;
    try {
      throw;
    } catch (const Error& e) {
      description = e.description();
    } catch (const std::bad_alloc&) {
      description = "Out of memory";
    } catch (...) {
      description = "Internal error";
    }
    return " (arguments not handed back: " + description + ")";
  } catch (...) {
    return {};
  }
}

}  // namespace nodrel::com
