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

}  // namespace
}  // namespace nodrel::com::test
