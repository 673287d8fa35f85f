// Helpers of the COM client tests: nodrel.dll as a client that loads it
// itself reaches it, with no need of the registry.
#ifndef NODREL_TESTS_COM_COM_SUPPORT_HPP
#define NODREL_TESTS_COM_COM_SUPPORT_HPP

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "com/com_ptr.hpp"
#include "nodrel_h.h"

namespace nodrel::com::test {

// nodrel.dll next to the test program (the build puts both in one folder).
inline std::wstring dll_path() {
  wchar_t buffer[MAX_PATH] = {};
  const std::wstring path(buffer, GetModuleFileNameW(nullptr, buffer, MAX_PATH));
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"nodrel.dll";
}

// nodrel.dll loaded from there once, for the program's life, and its
// entry points (null when it cannot be loaded).
struct Dll {
  HRESULT(STDAPICALLTYPE* get_class_object)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* can_unload_now)() = nullptr;
};
inline const Dll& dll() {
  // GetProcAddress returns a generic function pointer; the detour through
  // void* keeps the conversion to the real signature free of warnings.
  static const HMODULE module = LoadLibraryW(dll_path().c_str());
  static const Dll loaded{reinterpret_cast<decltype(Dll::get_class_object)>(
                              reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject"))),
                          reinterpret_cast<decltype(Dll::can_unload_now)>(
                              reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")))};
  return loaded;
}

// Matr's class factory, from nodrel.dll itself.
inline ComPtr<IClassFactory> factory() {
  ComPtr<IClassFactory> result;
  EXPECT_EQ(dll().get_class_object(CLSID_Matr, IID_PPV_ARGS(result.put())), S_OK);
  return result;
}

// The text of a BSTR that may be null.
inline std::wstring text_of(BSTR text) {
  return {text != nullptr ? text : L"", SysStringLen(text)};
}

}  // namespace nodrel::com::test

#endif  // NODREL_TESTS_COM_COM_SUPPORT_HPP
