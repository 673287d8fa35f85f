#include "com/registration.hpp"

#include <oleauto.h>
#include <olectl.h>

#include <cwchar>
#include <new>
#include <string>

#include "nodrel_h.h"
#include "com/com_ptr.hpp"
#include "com/module.hpp"

namespace nodrel::com {

namespace {

std::wstring guid_text(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring class_key() { return L"CLSID\\" + guid_text(CLSID_Matr); }

LSTATUS set_value(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  LSTATUS status =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status;
}

// Removes `key` and everything below it; a key that is not there is fine.
bool delete_key(const std::wstring& key) {
  LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    status = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  }
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool key_exists(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

// The library's identity as its attributes give it.
struct LibraryVersion {
  GUID guid;
  WORD major;
  WORD minor;
  LCID lcid;
  SYSKIND syskind;
  std::wstring text() const { return std::to_wstring(major) + L"." + std::to_wstring(minor); }
  // The registry spells a type library's version in hexadecimal: 29.0 is
  // HKCR\TypeLib\{LIBID}\1d.0.
  std::wstring registry_text() const {
    wchar_t text[16] = {};
    swprintf(text, 16, L"%x.%x", static_cast<unsigned>(major), static_cast<unsigned>(minor));
    return text;
  }
};

bool library_version(ITypeLib* library, LibraryVersion& version) {
  TLIBATTR* attributes = nullptr;
  if (FAILED(library->GetLibAttr(&attributes))) return false;
  version = LibraryVersion{attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                           attributes->lcid, attributes->syskind};
  library->ReleaseTLibAttr(attributes);
  return true;
}

HRESULT register_all() {
  const std::wstring path = module_path();
  if (path.empty()) return SELFREG_E_CLASS;
  ComPtr<ITypeLib> library;
  LibraryVersion version{};
  if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put())) ||
      !library_version(library.get(), version) ||
      FAILED(RegisterTypeLib(library.get(), const_cast<LPOLESTR>(path.c_str()), nullptr))) {
    return SELFREG_E_TYPELIB;
  }
  const std::wstring clsid = class_key();
  const std::wstring prog_id = kProgId;
  struct Entry {
    std::wstring key;
    const wchar_t* name;  // null: the key's default value
    std::wstring value;
  };
  const Entry entries[] = {
      {clsid, nullptr, L"Matr"},
      {clsid + L"\\InprocServer32", nullptr, path},
      // Objects live in the single-threaded apartment of the thread that
      // made them: no method locks anything.
      {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {clsid + L"\\ProgID", nullptr, prog_id},
      {clsid + L"\\TypeLib", nullptr, guid_text(version.guid)},
      {clsid + L"\\Version", nullptr, version.text()},
      {prog_id, nullptr, L"Matr"},
      {prog_id + L"\\CLSID", nullptr, guid_text(CLSID_Matr)},
  };
  for (const Entry& e : entries) {
    if (set_value(e.key, e.name, e.value) != ERROR_SUCCESS) return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT unregister_all() {
  bool removed = delete_key(class_key());
  removed = delete_key(kProgId) && removed;
  ComPtr<ITypeLib> library;
  LibraryVersion version{};
  if (FAILED(load_type_library(library.put())) || !library_version(library.get(), version)) {
    return SELFREG_E_TYPELIB;
  }
  if (FAILED(UnRegisterTypeLib(version.guid, version.major, version.minor, version.lcid,
                               version.syskind))) {
    // Not registered in the first place is fine; anything left behind is not.
    if (key_exists(L"TypeLib\\" + guid_text(version.guid) + L"\\" + version.registry_text())) {
      return SELFREG_E_TYPELIB;
    }
  }
  return removed ? S_OK : SELFREG_E_CLASS;
}

}  // namespace

HRESULT register_server() noexcept {
  HRESULT result = E_OUTOFMEMORY;
  try {
    result = register_all();
  } catch (const std::bad_alloc&) {
  }
  if (FAILED(result)) unregister_server();
  return result;
}

HRESULT unregister_server() noexcept {
  try {
    return unregister_all();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace nodrel::com
