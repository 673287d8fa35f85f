// The type library inside nodrel.dll against the method table of
// <nodrel/dispatch.hpp>. The argument kinds and results are not restated
// here: the server's stubs check the function table made from the same IDL
// against the method table when they compile; binding_test.cpp checks the
// optional flags.
#include <gtest/gtest.h>

#include <string>

#include "com/com_support.hpp"
#include "nodrel/dispatch.hpp"

namespace nodrel::com::test {
namespace {

std::wstring widen(std::string_view text) { return std::wstring(text.begin(), text.end()); }

std::wstring documentation(ITypeInfo* info, MEMBERID id) {
  BSTR name = nullptr;
  BSTR help = nullptr;
  const HRESULT hr = info->GetDocumentation(id, &name, &help, nullptr, nullptr);
  const std::wstring text = FAILED(hr) ? L"<failed>" : text_of(name) + L"|" + text_of(help);
  SysFreeString(name);
  SysFreeString(help);
  return text;
}

// The library's own attributes (its GUID, version and helpstring) are
// checked through what RegisterTypeLib wrote (registry_test.cpp).
TEST(TypeLibrary, ClassAndFunctionTableFollowTheMethodTable) {
  ComPtr<ITypeLib> library;
  ASSERT_EQ(LoadTypeLibEx(dll_path().c_str(), REGKIND_NONE, library.put()), S_OK);
  ComPtr<ITypeInfo> coclass, dispatch, info;
  ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_Matr, coclass.put()), S_OK);
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID__Matr, dispatch.put()), S_OK);
  EXPECT_EQ(documentation(coclass.get(), MEMBERID_NIL).substr(0, 5), L"Matr|");
  INT flags = 0;
  ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->wTypeFlags & TYPEFLAG_FCANCREATE, TYPEFLAG_FCANCREATE);
  coclass->ReleaseTypeAttr(attributes);
  // The dual interface's function table: one function per method, in order.
  HREFTYPE reference = 0;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeInfo(reference, info.put()), S_OK);
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  const auto table = methods();
  EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
  EXPECT_EQ(attributes->wTypeFlags & TYPEFLAG_FDUAL, TYPEFLAG_FDUAL);
  ASSERT_EQ(attributes->cFuncs, table.size());
  info->ReleaseTypeAttr(attributes);
  for (UINT index = 0; index < table.size(); ++index) {
    const MethodInfo& method = table[index];
    SCOPED_TRACE(std::string(method.name));
    FUNCDESC* function = nullptr;
    ASSERT_EQ(info->GetFuncDesc(index, &function), S_OK);
    EXPECT_EQ(function->memid, method.dispid);
    EXPECT_EQ(function->oVft, static_cast<SHORT>((7 + index) * sizeof(void*)));
    EXPECT_EQ(documentation(info.get(), function->memid),
              widen(method.name) + L"|" + widen(method.help));
    BSTR names[16] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(function->memid, names, 16, &count), S_OK);
    std::wstring seen;
    std::wstring expected;
    for (UINT k = 1; k <= method.args.size() && k < count; ++k) seen += text_of(names[k]) + L",";
    for (const ArgumentInfo& argument : method.args) expected += widen(argument.name) + L",";
    EXPECT_EQ(seen, expected);
    for (BSTR name : names) SysFreeString(name);
    info->ReleaseFuncDesc(function);
  }
}

}  // namespace
}  // namespace nodrel::com::test
