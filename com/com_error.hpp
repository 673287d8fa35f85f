// Run-time errors at the COM boundary.
//
// A method that fails with run-time error n returns
// MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, n), 0x800A0000 + n, the
// code automation clients turn back into n, and leaves an error object
// (IErrorInfo) with the source "Nodrel.Matr" and the error's description:
// early-bound clients read it with GetErrorInfo, late-bound ones find it in
// the EXCEPINFO of IDispatch::Invoke.
#ifndef NODREL_COM_COM_ERROR_HPP
#define NODREL_COM_COM_ERROR_HPP

#include <windows.h>

#include <string>
#include <string_view>

namespace nodrel::com {

// The source named in every error object of the component.
inline constexpr wchar_t kErrorSource[] = L"Nodrel.Matr";

// 0x800A0000 + number.
constexpr HRESULT error_hresult(int number) noexcept {
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number) & 0xFFFFu);
}

// True for an HRESULT made by error_hresult().
constexpr bool is_runtime_error(HRESULT hr) noexcept {
  return FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_CONTROL;
}

// Turns the exception being handled into the failed call's HRESULT and sets
// the thread's error object. Call it only from inside a catch block. This is
// the one place where a C++ exception becomes a COM error: a nodrel::Error
// keeps its number and description, running out of memory is error 7, and
// anything else is error 51, "Internal error". A `note` is added to the
// description (see write_back_note()).
HRESULT fail_with_current_exception(std::string_view note = {}) noexcept;

// When a call failed and handing its arguments back failed as well, the
// method's error stays the one reported (it is the cause, and the caller's
// handler is written for it), and the second failure is added to its
// description, so that the caller knows its variables may not hold all the
// method wrote: " (arguments not handed back: Out of memory)". Call it from
// inside the catch block of the write-back; empty when memory runs out.
std::string write_back_note() noexcept;

// Sets the thread's error object for run-time error `hr` (source
// kErrorSource, interface _Matr) and returns `hr`.
HRESULT set_error_info(HRESULT hr, std::wstring_view description) noexcept;

}  // namespace nodrel::com

#endif  // NODREL_COM_COM_ERROR_HPP
