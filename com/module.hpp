// Per-process state of the component: the DLL's handle and path, and the
// counts that keep it loaded.
#ifndef NODREL_COM_MODULE_HPP
#define NODREL_COM_MODULE_HPP

#include <windows.h>

#include <string>

namespace nodrel::com {

// Set once by DllMain when the DLL is loaded.
void set_module_handle(HMODULE module) noexcept;
HMODULE module_handle() noexcept;

// The full path of the DLL; empty when the system cannot tell it.
// std::bad_alloc when memory runs out.
std::wstring module_path();

// Live Matr objects, and server locks (IClassFactory::LockServer and the
// references clients hold on the class factory). DllCanUnloadNow answers
// S_OK only when both are 0.
void object_created() noexcept;
void object_destroyed() noexcept;
void lock_server() noexcept;
void unlock_server() noexcept;
bool module_in_use() noexcept;

// The type library embedded in the DLL, loaded from the DLL's own path: a
// lookup of the registered library by the user's locale would fail on a
// machine whose locale differs from the library's, and an unregistered DLL
// (loaded through DllGetClassObject) must work as well. Not registered here.
HRESULT load_type_library(ITypeLib** library) noexcept;

}  // namespace nodrel::com

#endif  // NODREL_COM_MODULE_HPP
