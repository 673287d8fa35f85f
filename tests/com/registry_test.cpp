// What regsvr32 leaves in the registry: run with the DLL registered
// (Registration.*) and again after regsvr32 /u (Unregistered.*); ctest
// orders the two around the regsvr32 calls.
#include <gtest/gtest.h>

#include <string>

#include "com/com_support.hpp"

namespace nodrel::com::test {
namespace {

std::wstring guid_text(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

const std::wstring kClassKey = L"CLSID\\" + guid_text(CLSID_Matr);
const std::wstring kLibraryKey = L"TypeLib\\" + guid_text(LIBID_Nodrel);
const std::wstring kInterfaceKey = L"Interface\\" + guid_text(IID__Matr);

// The class is an apartment in-process server of this DLL; the type library
// (registered from the library's own attributes) and the interface point
// back to it.
TEST(Registration, ClassLibraryAndInterfaceKeys) {
  const std::wstring library = guid_text(LIBID_Nodrel);
  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  } rows[] = {
      {kClassKey, nullptr, L"Matr"},
      {kClassKey + L"\\InprocServer32", nullptr, dll_path()},
      {kClassKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {kClassKey + L"\\ProgID", nullptr, L"Nodrel.Matr"},
      {kClassKey + L"\\TypeLib", nullptr, library},
      {kClassKey + L"\\Version", nullptr, L"29.0"},
      {L"Nodrel.Matr\\CLSID", nullptr, guid_text(CLSID_Matr)},
      // The registry spells a type library's version in hexadecimal: 29.0 is 1d.0.
      {kLibraryKey + L"\\1d.0", nullptr, L"Nodrel - ActiveX DLL of matrix functions"},
      {kLibraryKey + (sizeof(void*) == 8 ? L"\\1d.0\\409\\win64" : L"\\1d.0\\409\\win32"), nullptr,
       dll_path()},
      {kInterfaceKey, nullptr, L"_Matr"},
      {kInterfaceKey + L"\\TypeLib", nullptr, library},
      // Dual interfaces are marshalled by the automation marshaller.
      {kInterfaceKey + L"\\ProxyStubClsid32", nullptr, L"{00020424-0000-0000-C000-000000000046}"},
  };
  for (const auto& row : rows) {
    wchar_t data[1024] = L"<missing>";
    DWORD size = sizeof data;
    RegGetValueW(HKEY_CLASSES_ROOT, row.key.c_str(), row.name, RRF_RT_REG_SZ, nullptr, data, &size);
    // Paths compare without regard to case, as Windows compares them.
    const bool path = row.value == dll_path() && _wcsicmp(data, row.value.c_str()) == 0;
    EXPECT_EQ(path ? row.value : data, row.value) << std::string(row.key.begin(), row.key.end());
  }
  ComPtr<ITypeLib> loaded;
  EXPECT_EQ(LoadRegTypeLib(LIBID_Nodrel, 29, 0, 0x0409, loaded.put()), S_OK);
}

TEST(Unregistered, NothingIsLeftBehind) {
  for (const std::wstring& key :
       {kClassKey, std::wstring(L"Nodrel.Matr"), kLibraryKey, kInterfaceKey}) {
    HKEY handle = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS)
        << std::string(key.begin(), key.end());
    if (handle != nullptr) RegCloseKey(handle);
  }
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(L"Nodrel.Matr", &clsid), CO_E_CLASSSTRING);
  ComPtr<IUnknown> object;
  EXPECT_EQ(CoCreateInstance(CLSID_Matr, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(object.put())),
            REGDB_E_CLASSNOTREG);
}

}  // namespace
}  // namespace nodrel::com::test
