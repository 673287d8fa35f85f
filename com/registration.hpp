// What DllRegisterServer writes and DllUnregisterServer removes:
//
//   the type library, registered by the system from the DLL's own path:
//     HKCR\TypeLib\{LIBID}\1d.0 (version 29.0, spelt in hexadecimal there)
//     HKCR\Interface\{IID} for _Matr;
//   HKCR\CLSID\{CLSID}                 "Matr"
//     InprocServer32                   the DLL's path, ThreadingModel "Apartment"
//     ProgID                           "Nodrel.Matr"
//     TypeLib                          {LIBID}
//     Version                          "29.0"
//   HKCR\Nodrel.Matr                   "Matr"
//     CLSID                            {CLSID}
#ifndef NODREL_COM_REGISTRATION_HPP
#define NODREL_COM_REGISTRATION_HPP

#include <windows.h>

namespace nodrel::com {

inline constexpr wchar_t kProgId[] = L"Nodrel.Matr";

// On failure, what was written is removed again and the result is
// SELFREG_E_TYPELIB or SELFREG_E_CLASS.
HRESULT register_server() noexcept;
// Removes every key above; keys already missing are not an error.
HRESULT unregister_server() noexcept;

}  // namespace nodrel::com

#endif  // NODREL_COM_REGISTRATION_HPP
