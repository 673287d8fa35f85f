// A client bound late: names looked up with GetIDsOfNames and calls made
// with IDispatch::Invoke, arguments as VARIANTs referring to the caller's
// variables, as automation controllers pass them.
#include <gtest/gtest.h>

#include <cwctype>
#include <limits>
#include <string>
#include <vector>

#include "com/com_support.hpp"
#include "nodrel/dispatch.hpp"

namespace nodrel::com::test {
namespace {

class LateBound : public testing::Test {
 protected:
  void SetUp() override {
    ComPtr<_Matr> matr = create_matr();
    ASSERT_EQ(matr->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch_.put())), S_OK);
  }
  void TearDown() override { clear_exception(); }

  void clear_exception() {
    SysFreeString(exception_.bstrSource);
    SysFreeString(exception_.bstrDescription);
    SysFreeString(exception_.bstrHelpFile);
    exception_ = EXCEPINFO{};
  }

  DISPID id_of(const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK)
        << std::wstring(name);
    return id;
  }

  // Calls `name` with `args` in the method's order (Invoke takes them last
  // first); the result lands in result_, a failure's details in exception_.
  HRESULT call(const wchar_t* name, std::vector<VARIANT*> args) {
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    VariantClear(result_.ptr());
    UINT bad_argument = 0;
    return dispatch_->Invoke(id_of(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                             result_.ptr(), &exception_, &bad_argument);
  }

  ComPtr<IDispatch> dispatch_;
  Var result_;
  EXCEPINFO exception_{};
};

std::wstring widen(std::string_view text) { return std::wstring(text.begin(), text.end()); }

TEST_F(LateBound, EveryMethodNameResolvesToItsDispatchIdentifier) {
  for (const MethodInfo& method : methods()) {
    SCOPED_TRACE(std::string(method.name));
    std::wstring name = widen(method.name);
    EXPECT_EQ(id_of(name.c_str()), method.dispid);
    for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
    EXPECT_EQ(id_of(name.c_str()), method.dispid) << "names are looked up without regard to case";
  }
}

TEST_F(LateBound, PrivateRoutinesHaveNoName) {
  for (const wchar_t* name : {L"SwapValues", L"DetOrder3", L"VectModulus", L"ErrCode"}) {
    SCOPED_TRACE(std::wstring(name));
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
              DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
  }
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  for (DISPID gap : {0x60030001, 0x60030016, 0x60030021, 0x60030025}) {
    SCOPED_TRACE(gap);
    EXPECT_EQ(dispatch_->Invoke(gap, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                                nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
  }
}

TEST_F(LateBound, ArraysByReferenceAreWrittenBack) {
  for (const LONG lower : {0, 1}) {
    SCOPED_TRACE(lower);
    Array a = in_matrix({{4, 7}, {2, 6}}, lower);
    Var ref = Var::reference_to(a.address());
    ASSERT_EQ(call(L"mInv", {ref.ptr()}), S_OK);
    EXPECT_EQ(a.bounds(), (Bounds{{0, 2}, {0, 2}}));
    EXPECT_EQ(a.rows(), made({{0.6, -0.7}, {-0.2, 0.4}}));

    Array b = in_matrix({{1, 2}, {3, 4}}, lower);
    Var b_ref = Var::reference_to(b.address());
    Var factor = Var::number(-1);
    ASSERT_EQ(call(L"mProdScal", {b_ref.ptr(), factor.ptr()}), S_OK);
    EXPECT_EQ(b.rows(), in_place({{-1, -2}, {-3, -4}}, lower));

    Array never;
    Var order;
    V_VT(order.ptr()) = VT_I4;
    V_I4(order.ptr()) = 2;
    Var never_ref = Var::reference_to(never.address());
    ASSERT_EQ(call(L"mMakeVectI", {never_ref.ptr(), order.ptr()}), S_OK);
    EXPECT_EQ(never.values(), (std::vector<double>{0, 1, 1}));
  }
}

TEST_F(LateBound, ResultsComeBackAsVariants) {
  Array a = Array::matrix({{1, 2}, {3, 4}}, 1);
  Var ref = Var::reference_to(a.address());
  ASSERT_EQ(call(L"mDet", {ref.ptr()}), S_OK);
  ASSERT_EQ(V_VT(result_.ptr()), VT_R8);
  EXPECT_EQ(V_R8(result_.ptr()), -2.0);

  Array v = Array::vector({1, 2}, 0);
  Var v_ref = Var::reference_to(v.address());
  ASSERT_EQ(call(L"mMatrIsVect", {v_ref.ptr()}), S_OK);
  ASSERT_EQ(V_VT(result_.ptr()), VT_BOOL);
  EXPECT_EQ(V_BOOL(result_.ptr()), VARIANT_TRUE);

  // An array passed by value is read as well.
  Array diagonal = Array::matrix({{2, 0}, {0, 5}}, 1);
  Var by_value;
  ASSERT_EQ(SafeArrayCopy(diagonal.get(), &V_ARRAY(by_value.ptr())), S_OK);
  V_VT(by_value.ptr()) = VT_ARRAY | VT_R8;
  ASSERT_EQ(call(L"mDet", {by_value.ptr()}), S_OK);
  EXPECT_EQ(V_R8(result_.ptr()), 10.0);
}

TEST_F(LateBound, ScalarsByReferenceAndOptionalArgumentsLeftOut) {
  Array a = Array::matrix({{1, 2}, {3, 4}, {5, 6}}, 1);
  BSTR selector = SysAllocString(L"R");
  LONG first = 1;
  LONG second = 2;
  Var a_ref = Var::reference_to(a.address());
  Var rc = Var::reference_to(&selector);
  Var rc1 = Var::reference_to(&first);
  Var rc2 = Var::reference_to(&second);
  EXPECT_EQ(call(L"mSwapRC", {a_ref.ptr(), rc.ptr(), rc1.ptr(), rc2.ptr()}), S_OK);
  SysFreeString(selector);
  EXPECT_EQ(a.rows(), (Rows{{3, 4}, {1, 2}, {5, 6}}));

  // mGetXsOfQuadr without its optional MaxF: the roots go into the
  // caller's variables.
  Array coefficients = Array::vector({0, 0, 1}, 1);
  double x1 = 7;
  double x2 = 7;
  double y = 4;
  Var x1_ref = Var::reference_to(&x1);
  Var x2_ref = Var::reference_to(&x2);
  Var y_ref = Var::reference_to(&y);
  Var c_ref = Var::reference_to(coefficients.address());
  ASSERT_EQ(call(L"mGetXsOfQuadr", {x1_ref.ptr(), x2_ref.ptr(), y_ref.ptr(), c_ref.ptr()}), S_OK);
  EXPECT_EQ(x1, 2.0);
  EXPECT_EQ(x2, -2.0);

  // A number by value where the interface asks for a long.
  Array dest;
  Var dest_ref = Var::reference_to(dest.address());
  Var order = Var::number(2.0);
  ASSERT_EQ(call(L"mMakeMatrI", {dest_ref.ptr(), order.ptr()}), S_OK);
  EXPECT_EQ(dest.bounds(), (Bounds{{0, 2}, {0, 2}}));
}

TEST_F(LateBound, RunTimeErrorsArriveInExcepinfo) {
  for (const LONG lower : {0, 1}) {
    SCOPED_TRACE(lower);
    Array v = Array::vector({1, 2}, lower);
    Var ref = Var::reference_to(v.address());
    ASSERT_EQ(call(L"mDet", {ref.ptr()}), DISP_E_EXCEPTION);
    EXPECT_EQ(exception_.scode, runtime_error(9));
    EXPECT_EQ(exception_.wCode, 0);
    EXPECT_EQ(text_of(exception_.bstrSource), L"Nodrel.Matr");
    EXPECT_EQ(text_of(exception_.bstrDescription), L"Subscript out of range");
    clear_exception();
  }

  // Written before the error, kept after it.
  Array x = Array::vector({0, 0}, 1);
  Array a = Array::matrix({{1, 1}, {1, 1}}, 1);
  Array b = Array::vector({1, 2}, 1);
  Var x_ref = Var::reference_to(x.address());
  Var a_ref = Var::reference_to(a.address());
  Var b_ref = Var::reference_to(b.address());
  ASSERT_EQ(call(L"mSist", {x_ref.ptr(), a_ref.ptr(), b_ref.ptr()}), DISP_E_EXCEPTION);
  EXPECT_EQ(exception_.scode, runtime_error(11));
  EXPECT_EQ(text_of(exception_.bstrDescription), L"Division by zero");
  EXPECT_EQ(x.values()[0], -std::numeric_limits<double>::infinity())
      << "x(1) holds the faulty quotient";
}

TEST_F(LateBound, WrongArgumentsAreRefusedByTheDispatcher) {
  Array a = Array::matrix({{1}}, 1);
  Var ref = Var::reference_to(a.address());
  EXPECT_EQ(call(L"mDet", {ref.ptr(), ref.ptr()}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(call(L"mDet", {}), DISP_E_BADPARAMCOUNT);
  Var text = Var::text(L"no array");
  EXPECT_EQ(call(L"mDet", {text.ptr()}), DISP_E_TYPEMISMATCH);
}

// The type information of a client object: its name alone.
class NamedType final : public ITypeInfo {
 public:
  explicit NamedType(const wchar_t* name) : name_(name) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITypeInfo) ? this : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID id, BSTR* name, BSTR*, DWORD*,
                                             BSTR*) override {
    if (id != MEMBERID_NIL || name == nullptr) return E_INVALIDARG;
    *name = SysAllocString(name_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT, FUNCDESC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT, VARDESC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID, BSTR*, UINT, UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT, HREFTYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT, INT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR*, UINT, MEMBERID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, PVOID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, PVOID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib**, UINT*) override { return E_NOTIMPL; }
  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR*) override {}
  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC*) override {}
  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC*) override {}

 private:
  const wchar_t* name_;
};

// How a member of a fake client object fails: DISP_E_UNKNOWNNAME from
// GetIDsOfNames (the member is missing), any other HRESULT from Invoke,
// with EXCEPINFO filled in for DISP_E_EXCEPTION.
struct MemberFailure {
  const wchar_t* member = nullptr;
  HRESULT hr = S_OK;
  SCODE scode = 0;
  WORD wcode = 0;
  const wchar_t* description = nullptr;
};

// A client's print destination as a late-bound client passes it: type
// information naming its kind (none for a null kind), the members Cls,
// Print, Text, Caption and EndDoc, each call recorded.
class FakeWidget final : public IDispatch {
 public:
  FakeWidget(const wchar_t* kind, MemberFailure failure)
      : kind_(kind), type_(kind != nullptr ? kind : L""), failure_(failure) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ? this : nullptr;
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = kind_ != nullptr ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = kind_ != nullptr ? &type_ : nullptr;
    return kind_ != nullptr ? S_OK : TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* id) override {
    *id = DISPID_UNKNOWN;
    for (DISPID k = 0; k < 5; ++k) {
      if (_wcsicmp(names[0], kMembers[k]) == 0) *id = k;
    }
    if (*id == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
    return failing(*id) && failure_.hr == DISP_E_UNKNOWNNAME ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    if (failing(id)) {
      exception->scode = failure_.scode;
      exception->wCode = failure_.wcode;
      exception->bstrDescription =
          failure_.description != nullptr ? SysAllocString(failure_.description) : nullptr;
      return failure_.hr;
    }
    std::wstring call = kMembers[id];
    if (flags == DISPATCH_PROPERTYGET) {
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = SysAllocString(value_.c_str());
      calls.push_back(call + L"?");
      return S_OK;
    }
    if (params->cArgs == 1 && V_VT(&params->rgvarg[0]) != VT_BSTR) return DISP_E_TYPEMISMATCH;
    const std::wstring argument = params->cArgs == 1 ? text_of(V_BSTR(&params->rgvarg[0])) : L"";
    if (flags == DISPATCH_PROPERTYPUT) {
      if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return DISP_E_PARAMNOTFOUND;
      }
      value_ = argument;
      calls.push_back(call + L"=" + argument);
    } else {
      calls.push_back(params->cArgs == 1 ? call + L"(" + argument + L")" : call);
    }
    return S_OK;
  }

  ULONG references = 1;
  std::vector<std::wstring> calls;

 private:
  static constexpr const wchar_t* kMembers[] = {L"Cls", L"Print", L"Text", L"Caption", L"EndDoc"};
  bool failing(DISPID id) const {
    return failure_.member != nullptr && wcscmp(failure_.member, kMembers[id]) == 0;
  }
  const wchar_t* kind_;
  NamedType type_;
  MemberFailure failure_;
  std::wstring value_;
};

// mPrint to a client's object: the kind its type information names decides
// which members are called; a member's failure reaches the caller as a
// run-time error; the server keeps no reference to the object.
TEST_F(LateBound, PrintToClientObjects) {
  const std::wstring text = L"A\r\n1.0000E+00  ";  // the number 1 under the comment "A"
  struct Row {
    const char* name;
    const wchar_t* kind;
    MemberFailure failure;
    std::vector<std::wstring> calls;
    int error;  // 0: the call succeeds
    const wchar_t* description;
  };
  const Row rows[] = {
      {"form", L"Form", {}, {L"Cls", L"Print(" + text + L")"}, 0, nullptr},
      {"picture box", L"PictureBox", {}, {L"Cls", L"Print(" + text + L")"}, 0, nullptr},
      {"text box, any case",
       L"textbox",
       {},
       {L"Text=", L"Text?", L"Text=" + text + L"\r\n"},
       0,
       nullptr},
      {"label", L"Label", {}, {L"Caption=", L"Caption?", L"Caption=" + text}, 0, nullptr},
      {"printer", L"Printer", {}, {L"Print(" + text + L")", L"EndDoc"}, 0, nullptr},
      {"another kind", L"ListBox", {}, {}, 0, nullptr},
      {"no type information", nullptr, {}, {}, 0, nullptr},
      {"client's run-time error",
       L"Form",
       {L"Print", DISP_E_EXCEPTION, runtime_error(380), 0, L"Bad picture"},
       {L"Cls"},
       380,
       L"Bad picture"},
      {"client's wCode",
       L"Printer",
       {L"EndDoc", DISP_E_EXCEPTION, 0, 1001, L"Out of paper"},
       {L"Print(" + text + L")"},
       1001,
       L"Out of paper"},
      {"foreign scode keeps its text",
       L"TextBox",
       {L"Text", DISP_E_EXCEPTION, E_FAIL, 0, L"Read only"},
       {},
       440,
       L"Read only"},
      {"foreign HRESULT", L"PictureBox", {L"Cls", E_ACCESSDENIED}, {}, 440, L"Automation error"},
      {"member missing",
       L"Label",
       {L"Caption", DISP_E_UNKNOWNNAME},
       {},
       438,
       L"Object doesn't support this property or method"},
      {"member not found",
       L"Printer",
       {L"Print", DISP_E_MEMBERNOTFOUND},
       {},
       438,
       L"Object doesn't support this property or method"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeWidget widget(row.kind, row.failure);
    Var number = Var::number(1);
    Var object;
    V_VT(object.ptr()) = VT_DISPATCH;
    V_DISPATCH(object.ptr()) = &widget;
    widget.AddRef();
    Var missing = Var::missing();
    Var comment = Var::text(L"A");
    Var append;
    V_VT(append.ptr()) = VT_BOOL;
    V_BOOL(append.ptr()) = VARIANT_FALSE;
    const HRESULT hr = call(L"mPrint", {number.ptr(), object.ptr(), missing.ptr(), missing.ptr(),
                                        comment.ptr(), missing.ptr(), append.ptr()});
    EXPECT_EQ(widget.calls, row.calls);
    if (row.error == 0) {
      EXPECT_EQ(hr, S_OK);
    } else {
      ASSERT_EQ(hr, DISP_E_EXCEPTION);
      EXPECT_EQ(exception_.scode, runtime_error(row.error));
      EXPECT_EQ(text_of(exception_.bstrDescription), row.description);
      clear_exception();
    }
    VariantClear(object.ptr());
    EXPECT_EQ(widget.references, 1u) << "the server released the client's object";
  }
}

}  // namespace
}  // namespace nodrel::com::test
