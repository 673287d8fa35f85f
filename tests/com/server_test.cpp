// The entry points of nodrel.dll called directly, as COM calls them (the
// class factory, the counts behind DllCanUnloadNow, the object's
// interfaces), and the type library inside it against the method table.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "com/com_support.hpp"
#include "nodrel/dispatch.hpp"

namespace nodrel::com::test {
namespace {

ComPtr<IClassFactory> factory() {
  ComPtr<IClassFactory> result;
  EXPECT_EQ(
      dll().get_class_object(CLSID_Matr, IID_IClassFactory, reinterpret_cast<void**>(result.put())),
      S_OK);
  return result;
}

// The object's interfaces share one identity; its type information for a
// late-bound client is one, at index 0. Refusals: the class object
// only for Matr and only as a factory, no aggregation, no other interface;
// each clears the caller's pointer and leaves no object behind (checked
// after every test).
TEST(Server, InterfacesAndRefusals) {
  ComPtr<IClassFactory> classes = factory();
  ComPtr<IUnknown> unknown, again;
  ComPtr<ISupportErrorInfo> support;
  ComPtr<IDispatch> dispatch;
  ComPtr<ITypeInfo> info;
  UINT count = 0;
  ASSERT_EQ(classes->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(unknown.put())),
            S_OK);
  ASSERT_EQ(unknown->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(support.put())),
            S_OK);
  ASSERT_EQ(support->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(again.put())), S_OK);
  EXPECT_EQ(again.get(), unknown.get());
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Matr), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
  ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put())), S_OK);
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
  const auto outer = reinterpret_cast<IUnknown*>(classes.get());
  const struct {
    std::function<HRESULT(void**)> call;
    HRESULT hr;
  } rows[] = {
      {[&](void** p) { return dll().get_class_object(IID__Matr, IID_IClassFactory, p); },
       CLASS_E_CLASSNOTAVAILABLE},
      {[&](void** p) { return dll().get_class_object(CLSID_Matr, IID__Matr, p); }, E_NOINTERFACE},
      {[&](void** p) { return classes->CreateInstance(outer, IID_IUnknown, p); },
       CLASS_E_NOAGGREGATION},
      {[&](void** p) { return classes->CreateInstance(nullptr, IID_IClassFactory, p); },
       E_NOINTERFACE},
      {[&](void** p) { return unknown->QueryInterface(IID_IClassFactory, p); }, E_NOINTERFACE},
  };
  for (const auto& row : rows) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(row.call(&object), row.hr) << &row - rows;
    EXPECT_EQ(object, nullptr) << &row - rows;
  }
  EXPECT_EQ(dll().get_class_object(CLSID_Matr, IID_IClassFactory, nullptr), E_POINTER);
}

// DllCanUnloadNow answers S_OK only with no object and no lock alive;
// objects and locks count apart.
TEST(Server, CanUnloadNowFollowsObjectsAndLocks) {
  ComPtr<IClassFactory> classes = factory();
  ComPtr<_Matr> first, second;
  ASSERT_EQ(classes->CreateInstance(nullptr, IID__Matr, reinterpret_cast<void**>(first.put())),
            S_OK);
  ASSERT_EQ(classes->CreateInstance(nullptr, IID__Matr, reinterpret_cast<void**>(second.put())),
            S_OK);
  const std::function<void()> steps[] = {
      [] {},                                                 // the factory, two objects
      [&] { classes->LockServer(TRUE); },                    // and a lock
      [&] { classes.reset(); },                              // two objects and a lock
      [&] { first.reset(); },                                // one object and a lock
      [] { factory()->LockServer(FALSE); },                  // one object
      [&] { factory()->LockServer(TRUE), second.reset(); },  // a lock
      [] { factory()->LockServer(FALSE); }};                 // nothing
  for (const auto& step : steps) {
    step();
    EXPECT_EQ(dll().can_unload_now(), &step == std::end(steps) - 1 ? S_OK : S_FALSE)
        << "after step " << &step - steps;
  }
}

// The class is creatable with _Matr its default interface; the dual
// interface's function table holds one function per method, in order, with
// the method's dispid, slot, name, help and argument names, and marks the
// arguments the method table calls optional and the result, which clients
// that read the library (early-bound Visual Basic) rely on. The library's
// own attributes are checked through what regsvr32 wrote (registry_test.cpp).
TEST(TypeLibrary, FollowsTheMethodTable) {
  ComPtr<ITypeLib> library;
  ComPtr<ITypeInfo> coclass, dispatch, info;
  TYPEATTR* attributes = nullptr;
  HREFTYPE reference = 0;
  INT flags = 0;
  BSTR name = nullptr;
  ASSERT_EQ(LoadTypeLibEx(dll_path().c_str(), REGKIND_NONE, library.put()), S_OK);
  ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_Matr, coclass.put()), S_OK);
  ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(text_of(name), L"Matr");
  SysFreeString(name);
  ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
  ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->wTypeFlags & TYPEFLAG_FCANCREATE, TYPEFLAG_FCANCREATE);
  coclass->ReleaseTypeAttr(attributes);
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID__Matr, dispatch.put()), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeInfo(reference, info.put()), S_OK);
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
  EXPECT_EQ(attributes->wTypeFlags & TYPEFLAG_FDUAL, TYPEFLAG_FDUAL);
  ASSERT_EQ(attributes->cFuncs, methods().size());
  info->ReleaseTypeAttr(attributes);
  for (UINT index = 0; index < methods().size(); ++index) {
    const MethodInfo& method = methods()[index];
    // "name|help|argument names|flags": o optional, r the result, - any other argument.
    std::string expected = std::string(method.name) + "|" + std::string(method.help) + "|";
    for (const ArgumentInfo& a : method.args) expected += std::string(a.name) + ",";
    expected += "|";
    for (const ArgumentInfo& a : method.args) expected += a.optional ? 'o' : '-';
    if (method.result != ResultKind::kNone) expected += 'r';
    FUNCDESC* function = nullptr;
    ASSERT_EQ(info->GetFuncDesc(index, &function), S_OK);
    EXPECT_EQ(function->memid, method.dispid) << method.name;
    EXPECT_EQ(function->oVft, static_cast<SHORT>((7 + index) * sizeof(void*))) << method.name;
    BSTR names[16] = {}, help = nullptr;
    UINT count = 0;
    info->GetDocumentation(function->memid, nullptr, &help, nullptr, nullptr);
    info->GetNames(function->memid, names, 16, &count);
    std::wstring seen = text_of(names[0]) + L"|" + text_of(help) + L"|";
    for (UINT k = 1; k <= method.args.size() && k < count; ++k) seen += text_of(names[k]) + L",";
    seen += L"|";
    for (SHORT p = 0; p < function->cParams; ++p) {
      const USHORT f = function->lprgelemdescParam[p].paramdesc.wParamFlags;
      seen += (f & PARAMFLAG_FRETVAL) != 0 ? L'r' : (f & PARAMFLAG_FOPT) != 0 ? L'o' : L'-';
    }
    EXPECT_EQ(seen, std::wstring(expected.begin(), expected.end()));
    for (BSTR n : names) SysFreeString(n);
    SysFreeString(help);
    info->ReleaseFuncDesc(function);
  }
}

}  // namespace
}  // namespace nodrel::com::test
