// The entry points of the in-process server, exported by name (nodrel.def).
#include <windows.h>

#include "nodrel_h.h"
#include "com/class_factory.hpp"
#include "com/module.hpp"
#include "com/registration.hpp"

// Thread notifications stay on (no DisableThreadLibraryCalls): the runtime
// is linked in statically and keeps per-thread state that it frees when a
// thread ends.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) nodrel::com::set_module_handle(instance);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(rclsid, CLSID_Matr)) return CLASS_E_CLASSNOTAVAILABLE;
  return nodrel::com::matr_factory().QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() { return nodrel::com::module_in_use() ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() { return nodrel::com::register_server(); }

STDAPI DllUnregisterServer() { return nodrel::com::unregister_server(); }
