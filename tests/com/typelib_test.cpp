// The type library inside nodrel.dll against the method table of
// <nodrel/dispatch.hpp>: same methods in the same order, same dispatch
// identifiers, argument names, kinds, optional flags and results.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/com_support.hpp"
#include "nodrel/dispatch.hpp"

namespace nodrel::com::test {
namespace {

ComPtr<ITypeLib> load_library() {
  ComPtr<ITypeLib> library;
  EXPECT_EQ(LoadTypeLibEx(dll_path().c_str(), REGKIND_NONE, library.put()), S_OK);
  return library;
}

std::wstring widen(std::string_view text) { return std::wstring(text.begin(), text.end()); }

// The type a parameter of that kind has in the function table: every
// argument is passed by reference.
VARTYPE referenced_type(ArgKind kind) {
  switch (kind) {
    case ArgKind::kDoubleArray: return VT_SAFEARRAY;
    case ArgKind::kDouble: return VT_R8;
    case ArgKind::kLong: return VT_I4;
    case ArgKind::kString: return VT_BSTR;
    case ArgKind::kVariant: return VT_VARIANT;
  }
  return VT_EMPTY;
}

// The type a type refers to: an implemented interface (index 0 of a class),
// or the function table of a dual interface (index -1).
ComPtr<ITypeInfo> referred(ITypeInfo* info, UINT index) {
  HREFTYPE reference = 0;
  ComPtr<ITypeInfo> result;
  if (info != nullptr && SUCCEEDED(info->GetRefTypeOfImplType(index, &reference))) {
    info->GetRefTypeInfo(reference, result.put());
  }
  return result;
}

TEST(TypeLibrary, LibraryClassAndInterfaceAttributes) {
  ComPtr<ITypeLib> library = load_library();
  ASSERT_TRUE(library);
  TLIBATTR* lib = nullptr;
  ASSERT_EQ(library->GetLibAttr(&lib), S_OK);
  EXPECT_TRUE(IsEqualGUID(lib->guid, LIBID_Nodrel));
  EXPECT_EQ(lib->wMajorVerNum * 100 + lib->wMinorVerNum, 2900);
  EXPECT_EQ(lib->lcid, 0x0409u);
  library->ReleaseTLibAttr(lib);
  BSTR name = nullptr;
  BSTR help = nullptr;
  ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
  EXPECT_EQ(text_of(name) + L"|" + text_of(help),
            L"Nodrel|Nodrel - ActiveX DLL of matrix functions");
  SysFreeString(name);
  SysFreeString(help);
  EXPECT_EQ(library->GetTypeInfoCount(), 2u);

  // Matr: creatable, _Matr its default interface; _Matr: a dual, hidden,
  // nonextensible dispatch interface over a function table whose argument
  // types the automation marshaller knows.
  ComPtr<ITypeInfo> coclass;
  ComPtr<ITypeInfo> dispatch;
  ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_Matr, coclass.put()), S_OK);
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID__Matr, dispatch.put()), S_OK);
  INT flags = 0;
  ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
  const WORD dual = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN;
  const struct {
    ComPtr<ITypeInfo> info;
    TYPEKIND kind;
    WORD flags;
  } types[] = {
      {coclass, TKIND_COCLASS, TYPEFLAG_FCANCREATE},
      {referred(coclass.get(), 0), TKIND_DISPATCH, 0},
      {dispatch, TKIND_DISPATCH, dual | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE},
      {referred(dispatch.get(), static_cast<UINT>(-1)), TKIND_INTERFACE,
       dual | TYPEFLAG_FOLEAUTOMATION},
  };
  for (const auto& e : types) {
    SCOPED_TRACE(&e - types);
    ASSERT_TRUE(e.info);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(e.info->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, e.kind);
    EXPECT_EQ(attributes->wTypeFlags & e.flags, e.flags);
    const bool coclass_kind = e.kind == TKIND_COCLASS;
    EXPECT_TRUE(IsEqualGUID(attributes->guid, coclass_kind ? CLSID_Matr : IID__Matr));
    e.info->ReleaseTypeAttr(attributes);
    ASSERT_EQ(e.info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(text_of(name), coclass_kind ? L"Matr" : L"_Matr");
    SysFreeString(name);
  }
}

// The function table behind the dual interface: IUnknown and IDispatch's
// seven slots, then the 36 methods in the order of the method table.
TEST(TypeLibrary, FunctionTableFollowsTheMethodTable) {
  ComPtr<ITypeLib> library = load_library();
  ASSERT_TRUE(library);
  ComPtr<ITypeInfo> dispatch;
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID__Matr, dispatch.put()), S_OK);
  ComPtr<ITypeInfo> info = referred(dispatch.get(), static_cast<UINT>(-1));
  ASSERT_TRUE(info);

  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
  const auto table = methods();
  ASSERT_EQ(attributes->cFuncs, table.size());
  EXPECT_EQ(attributes->cbSizeVft, (7 + table.size()) * sizeof(void*));
  info->ReleaseTypeAttr(attributes);

  for (UINT index = 0; index < table.size(); ++index) {
    const MethodInfo& method = table[index];
    SCOPED_TRACE(std::string(method.name));
    FUNCDESC* function = nullptr;
    ASSERT_EQ(info->GetFuncDesc(index, &function), S_OK);
    EXPECT_EQ(function->memid, method.dispid);
    EXPECT_EQ(function->oVft, static_cast<SHORT>((7 + index) * sizeof(void*)));
    EXPECT_EQ(function->funckind, FUNC_PUREVIRTUAL);
    EXPECT_EQ(function->invkind, INVOKE_FUNC);
    EXPECT_EQ(function->elemdescFunc.tdesc.vt, VT_HRESULT);
    const bool has_result = method.result != ResultKind::kNone;
    ASSERT_EQ(function->cParams, static_cast<SHORT>(method.args.size() + (has_result ? 1 : 0)));
    std::size_t optional = 0;
    for (const ArgumentInfo& argument : method.args) optional += argument.optional ? 1 : 0;
    EXPECT_EQ(function->cParamsOpt, static_cast<SHORT>(optional));

    std::vector<BSTR> names(function->cParams + 1);
    UINT count = 0;
    ASSERT_EQ(
        info->GetNames(function->memid, names.data(), static_cast<UINT>(names.size()), &count),
        S_OK);
    ASSERT_EQ(count, names.size());
    EXPECT_EQ(text_of(names[0]), widen(method.name));
    // Object browsers show the method's line of help.
    BSTR help = nullptr;
    ASSERT_EQ(info->GetDocumentation(function->memid, nullptr, &help, nullptr, nullptr), S_OK);
    EXPECT_FALSE(method.help.empty());
    EXPECT_EQ(text_of(help), widen(method.help));
    SysFreeString(help);

    for (std::size_t a = 0; a < method.args.size(); ++a) {
      const ArgumentInfo& argument = method.args[a];
      SCOPED_TRACE(std::string(argument.name));
      const ELEMDESC& element = function->lprgelemdescParam[a];
      EXPECT_EQ(text_of(names[a + 1]), widen(argument.name));
      ASSERT_EQ(element.tdesc.vt, VT_PTR);
      const TYPEDESC& referenced = *element.tdesc.lptdesc;
      EXPECT_EQ(referenced.vt, referenced_type(argument.kind));
      if (argument.kind == ArgKind::kDoubleArray) {
        EXPECT_EQ(referenced.lptdesc->vt, VT_R8);
      }
      const USHORT flags = element.paramdesc.wParamFlags;
      EXPECT_EQ(flags & (PARAMFLAG_FIN | PARAMFLAG_FOUT), PARAMFLAG_FIN | PARAMFLAG_FOUT);
      EXPECT_EQ((flags & PARAMFLAG_FOPT) != 0, argument.optional);
      EXPECT_EQ(flags & PARAMFLAG_FRETVAL, 0);
    }
    if (has_result) {
      const ELEMDESC& element = function->lprgelemdescParam[method.args.size()];
      EXPECT_EQ(element.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
      ASSERT_EQ(element.tdesc.vt, VT_PTR);
      EXPECT_EQ(element.tdesc.lptdesc->vt, method.result == ResultKind::kBool ? VT_BOOL : VT_R8);
    }
    for (BSTR name : names) SysFreeString(name);
    info->ReleaseFuncDesc(function);
  }
}

}  // namespace
}  // namespace nodrel::com::test
