// The server as COM sees it: the entry points of nodrel.dll called directly
// (the class factory, the counts behind DllCanUnloadNow, the object's
// interfaces), the type library inside it against the method table, and
// what regsvr32 leaves in the registry: Registration.* runs with the DLL
// registered, Unregistered.* after regsvr32 /u (ctest orders them around the
// regsvr32 calls). The program's main() is here too.
#include <gtest/gtest.h>

#include "com/com_support.hpp"
#include "nodrel/dispatch.hpp"

namespace nodrel::com::test {
namespace {

// The object's interfaces share one identity; its type information for a
// late-bound client is one, at index 0. Refusals: the class object only for
// Matr and only as a factory, no aggregation, no other interface; each
// clears the caller's pointer and leaves no object behind (checked after
// every test). DllCanUnloadNow answers S_OK only with no object and no lock
// alive: an object keeps the server, and so does a lock without any object.
TEST(Server, InterfacesRefusalsAndUnloading) {
  ComPtr<IClassFactory> classes = factory();
  ComPtr<IUnknown> unknown, again;
  ComPtr<ISupportErrorInfo> support;
  ComPtr<IDispatch> dispatch;
  ComPtr<ITypeInfo> info;
  UINT count = 0;
  ASSERT_EQ(classes->CreateInstance(nullptr, IID_PPV_ARGS(unknown.put())), S_OK);
  ASSERT_EQ(unknown->QueryInterface(IID_PPV_ARGS(support.put())), S_OK);
  ASSERT_EQ(support->QueryInterface(IID_PPV_ARGS(again.put())), S_OK);
  ASSERT_EQ(unknown->QueryInterface(IID_PPV_ARGS(dispatch.put())), S_OK);
  EXPECT_EQ(again.get(), unknown.get());
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Matr), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
  EXPECT_TRUE(dispatch->GetTypeInfoCount(&count) == S_OK && count == 1) << count;
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
  void* p = &p;
  const auto refused = [&p](HRESULT hr) {  // and the caller's pointer cleared
    EXPECT_EQ(p, nullptr);
    return p = &p, hr;
  };
  const auto outer = reinterpret_cast<IUnknown*>(classes.get());
  EXPECT_EQ(refused(dll().get_class_object(IID__Matr, IID_IClassFactory, &p)),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(refused(dll().get_class_object(CLSID_Matr, IID__Matr, &p)), E_NOINTERFACE);
  EXPECT_EQ(refused(classes->CreateInstance(outer, IID_IUnknown, &p)), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(refused(classes->CreateInstance(nullptr, IID_IClassFactory, &p)), E_NOINTERFACE);
  EXPECT_EQ(refused(unknown->QueryInterface(IID_IClassFactory, &p)), E_NOINTERFACE);
  EXPECT_EQ(dll().get_class_object(CLSID_Matr, IID_IClassFactory, nullptr), E_POINTER);
  classes.reset();  // a reference to the factory is a lock
  EXPECT_EQ(dll().can_unload_now(), S_FALSE) << "an object";
  factory()->LockServer(TRUE);
  unknown.reset(), again.reset(), support.reset(), dispatch.reset();
  EXPECT_EQ(dll().can_unload_now(), S_FALSE) << "a lock";
  factory()->LockServer(FALSE);
  EXPECT_EQ(dll().can_unload_now(), S_OK);
}

// The dual interface's function table holds one function per method, in order, with
// the method's dispid, name, help and argument names, and marks the
// arguments the method table calls optional and the result, which clients
// that read the library (early-bound Visual Basic) rely on. The library's
// own attributes are checked through what regsvr32 wrote.
TEST(TypeLibrary, FollowsTheMethodTable) {
  ComPtr<ITypeLib> library;
  ComPtr<ITypeInfo> dispatch, info;
  TYPEATTR* attributes = nullptr;
  HREFTYPE reference = 0;
  ASSERT_EQ(LoadTypeLibEx(dll_path().c_str(), REGKIND_NONE, library.put()), S_OK);
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID__Matr, dispatch.put()), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeInfo(reference, info.put()), S_OK);
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(attributes->typekind == TKIND_INTERFACE && (attributes->wTypeFlags & TYPEFLAG_FDUAL));
  ASSERT_EQ(attributes->cFuncs, methods().size());
  info->ReleaseTypeAttr(attributes);
  for (UINT index = 0; index < methods().size(); ++index) {
    const MethodInfo& method = methods()[index];
    // "dispid name|help|argument flag,...": o optional, - required, then "result" if any.
    std::string expected = std::to_string(method.dispid) + " " + std::string(method.name) + "|" +
                           std::string(method.help) + "|";
    for (const ArgumentInfo& a : method.args)
      expected += std::string(a.name) + (a.optional ? " o," : " -,");
    if (method.result != ResultKind::kNone) expected += "result";
    FUNCDESC* function = nullptr;
    ASSERT_EQ(info->GetFuncDesc(index, &function), S_OK);
    BSTR names[16] = {}, help = nullptr;
    UINT count = 0;
    info->GetDocumentation(function->memid, nullptr, &help, nullptr, nullptr);
    info->GetNames(function->memid, names, 16, &count);
    std::wstring seen =
        std::to_wstring(function->memid) + L" " + text_of(names[0]) + L"|" + text_of(help) + L"|";
    for (SHORT p = 0; p < function->cParams; ++p) {
      const USHORT f = function->lprgelemdescParam[p].paramdesc.wParamFlags;
      seen += (f & PARAMFLAG_FRETVAL) != 0
                  ? L"result"
                  : text_of(names[p + 1]) + ((f & PARAMFLAG_FOPT) != 0 ? L" o," : L" -,");
    }
    EXPECT_EQ(seen, std::wstring(expected.begin(), expected.end()));
    for (BSTR n : names) SysFreeString(n);
    SysFreeString(help);
    info->ReleaseFuncDesc(function);
  }
}

std::wstring guid_text(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

const std::wstring kClassKey = L"CLSID\\" + guid_text(CLSID_Matr);
const std::wstring kLibraryKey = L"TypeLib\\" + guid_text(LIBID_Nodrel);
const std::wstring kInterfaceKey = L"Interface\\" + guid_text(IID__Matr);

// The class is an apartment in-process server of this DLL, named Matr; the
// type library (registered from the library's own attributes) and the
// interface point back to it.
TEST(Registration, ClassLibraryAndInterfaceKeys) {
  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  } rows[] = {
      {kClassKey, nullptr, L"Matr"},
      {kClassKey + L"\\InprocServer32", nullptr, dll_path()},
      {kClassKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {kClassKey + L"\\ProgID", nullptr, L"Nodrel.Matr"},
      {kClassKey + L"\\TypeLib", nullptr, guid_text(LIBID_Nodrel)},
      {kClassKey + L"\\Version", nullptr, L"29.0"},
      {L"Nodrel.Matr\\CLSID", nullptr, guid_text(CLSID_Matr)},
      // The registry spells a type library's version in hexadecimal: 29.0 is 1d.0.
      {kLibraryKey + L"\\1d.0", nullptr, L"Nodrel - ActiveX DLL of matrix functions"},
      {kLibraryKey + (sizeof(void*) == 8 ? L"\\1d.0\\409\\win64" : L"\\1d.0\\409\\win32"), nullptr,
       dll_path()},
      {kInterfaceKey, nullptr, L"_Matr"},
      {kInterfaceKey + L"\\TypeLib", nullptr, guid_text(LIBID_Nodrel)},
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
}

TEST(Unregistered, NothingIsLeftBehind) {
  for (const std::wstring& key :
       {kClassKey, std::wstring(L"Nodrel.Matr"), kLibraryKey, kInterfaceKey}) {
    HKEY handle = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS)
        << std::string(key.begin(), key.end());
    if (handle != nullptr) RegCloseKey(handle);
  }
}

// After every test the server must have no object alive and no lock left:
// DllCanUnloadNow of the very DLL the tests create their objects from must
// answer S_OK, or the test that ran last leaked (the fixtures are destroyed
// by then, so whatever the test held is released).
class UnloadCheck : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo&) override {
    ASSERT_NE(dll().can_unload_now, nullptr) << "nodrel.dll or its DllCanUnloadNow not found";
    EXPECT_EQ(dll().can_unload_now(), S_OK) << "an object or a server lock outlived the test";
  }
};

}  // namespace
}  // namespace nodrel::com::test

// The COM tests run in a single-threaded apartment, as automation clients
// (and the server's ThreadingModel "Apartment") expect.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  testing::UnitTest::GetInstance()->listeners().Append(new nodrel::com::test::UnloadCheck);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
