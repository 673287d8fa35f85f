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

bool key_exists(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

// A string value; "<missing>" when the key or the value is not there.
std::wstring value_of(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  return data;
}

// Paths compare without regard to case, as Windows compares them.
bool same_path(const std::wstring& a, const std::wstring& b) {
  return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

const std::wstring kClassKey = L"CLSID\\" + guid_text(CLSID_Matr);
const std::wstring kLibraryKey = L"TypeLib\\" + guid_text(LIBID_Nodrel);
const std::wstring kInterfaceKey = L"Interface\\" + guid_text(IID__Matr);

TEST(Registration, ClassIsAnApartmentInProcessServerOfThisDll) {
  EXPECT_EQ(value_of(kClassKey), L"Matr");
  EXPECT_PRED2(same_path, value_of(kClassKey + L"\\InprocServer32"), dll_path());
  EXPECT_EQ(value_of(kClassKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(value_of(kClassKey + L"\\ProgID"), L"Nodrel.Matr");
  EXPECT_EQ(value_of(kClassKey + L"\\TypeLib"), guid_text(LIBID_Nodrel));
  EXPECT_EQ(value_of(kClassKey + L"\\Version"), L"29.0");
}

TEST(Registration, ProgIdNamesTheClass) {
  EXPECT_EQ(value_of(L"Nodrel.Matr\\CLSID"), guid_text(CLSID_Matr));
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"Nodrel.Matr", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Matr));
}

// The registry spells a type library's version in hexadecimal: 29.0 is 1d.0.
TEST(Registration, TypeLibraryAndInterfaceRegisteredFromTheDllPath) {
  EXPECT_EQ(value_of(kLibraryKey + L"\\1d.0"), L"Nodrel - ActiveX DLL of matrix functions");
  EXPECT_PRED2(same_path, value_of(kLibraryKey + L"\\1d.0\\409\\win64"), dll_path());
  EXPECT_EQ(value_of(kInterfaceKey), L"_Matr");
  EXPECT_EQ(value_of(kInterfaceKey + L"\\TypeLib"), guid_text(LIBID_Nodrel));
  // Dual interfaces are marshalled by the automation marshaller.
  EXPECT_EQ(value_of(kInterfaceKey + L"\\ProxyStubClsid32"),
            L"{00020424-0000-0000-C000-000000000046}");

  ComPtr<ITypeLib> library;
  ASSERT_EQ(LoadRegTypeLib(LIBID_Nodrel, 29, 0, 0x0409, library.put()), S_OK);
}

TEST(Unregistered, NothingIsLeftBehind) {
  for (const std::wstring& key :
       {kClassKey, std::wstring(L"Nodrel.Matr"), kLibraryKey, kInterfaceKey}) {
    SCOPED_TRACE(std::string(key.begin(), key.end()));
    EXPECT_FALSE(key_exists(key));
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
