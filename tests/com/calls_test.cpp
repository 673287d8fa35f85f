// Calls of Matr's methods as its clients make them:
//   - late bound with typed references (VT_BYREF | VT_R8, VT_BYREF | VT_ARRAY
//     | VT_R8, ...), as a compiled controller passes them: ITypeInfo::Invoke
//     hands them to the function table unchanged, so this is also the path of
//     a client bound early;
//   - as a script: every variable a VARIANT, arrays of variants, each passed
//     as VT_BYREF | VT_VARIANT; arrays come back as arrays of variants;
//   - bound early, through _Matr itself, where the table cannot reach.
// The arithmetic is the core's and has its own tests; these check what
// crosses the boundary: bounds, elements written in place or arrays
// replaced, results, run-time errors with their descriptions, and what stays
// written when a call fails. The suite runs with WINEDEBUG=warn+heap: an
// argument freed twice (a by-value one freed by the server) fails it.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "com/com_support.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"

namespace nodrel::com::test {
namespace {

// One argument: the caller's variable before the call and after it. `type`
// is VT_ARRAY for a SAFEARRAY(double)*, VT_VARIANT for an array of variants
// given to a VARIANT* (left out when it has no bounds), else the scalar's.
struct Arg {
  VARTYPE type;
  Matrix before, after;
  double number = 0, number_after = 0;
  const wchar_t* text = nullptr;
  USHORT features = 0;  // of the caller's array; FADF_AUTO here: locked instead
};
Arg io(Matrix before, Matrix after) { return {VT_ARRAY, before, after}; }
Arg in(Matrix m) { return io(m, m); }
Arg out(Matrix after) { return io({}, after); }
Arg real(double x, double after) { return {VT_R8, {}, {}, x, after}; }
Arg real(double x) { return real(x, x); }
Arg integer(LONG n) { return {VT_I4, {}, {}, static_cast<double>(n)}; }
Arg text(const wchar_t* t) { return {VT_BSTR, {}, {}, 0, 0, t}; }
Arg table(Matrix m) { return {VT_VARIANT, m, m}; }

struct Case {
  std::string name;  // the method's, then what the case is
  std::vector<Arg> args;
  VARTYPE result_type = VT_EMPTY;  // VT_R8 or VT_BOOL for a method with a result
  double result = 0;
  int error = 0;  // 0: the call succeeds; else the run-time error, with its standard text
};

// Every method once, each argument of lower bound `lower`; run both ways.
std::vector<Case> cases(LONG lower) {
  const auto m = [lower](const Rows& rows) { return in_matrix(rows, lower); };
  const auto v = [lower](const std::vector<double>& values) { return in_vector(values, lower); };
  const Matrix one = m({{7}});  // a dimensioned destination that must be replaced
  const Matrix square = m({{1, 2}, {3, 4}}), flat = m({{1, 1}, {1, 1}});
  const double big = std::numeric_limits<double>::max();
  const double inf = std::numeric_limits<double>::infinity();
  // A 1 x 2 Matrix of lower bounds 1 whatever `lower`; a 2 x 2 one of lower bounds 2.
  const auto row = [](double a, double b) { return Matrix{{{1, 1}, {1, 2}}, {a, b}}; };
  const Matrix from2{{{2, 3}, {2, 3}}, {1, 2, 3, 4}};
  std::vector<Case> c = {
      {"Initialize_dMatr", {}},
      {"mMatrIsVect", {in(v({1, 2, 3}))}, VT_BOOL, 1},
      {"mMatrIsQuadr", {in(m({{1, 2, 3}, {4, 5, 6}}))}, VT_BOOL, 0},
      {"mDet", {in(m({{1, 2, 0}, {3, 4, 0}, {0, 0, 10}}))}, VT_R8, -20},
      {"mSum",
       {io(m({{0, 0}, {0, 0}}), m({{11, 22}, {33, 44}})), in(square), in(m({{10, 20}, {30, 40}}))}},
      {"mDiff",
       {io(m({{0, 0}, {0, 0}}), m({{-9, -18}, {-27, -36}})), in(square),
        in(m({{10, 20}, {30, 40}}))}},
      {"mMult", {out(made({{19, 22, 1}, {43, 50, 3}})), in(square), in(m({{5, 6, 1}, {7, 8, 0}}))}},
      {"mMultVett", {out(made_vector({17, 39})), in(square), in(v({5, 6}))}},
      {"mMatrIsSing", {in(m({{1, 2}, {2, 4}}))}, VT_BOOL, 1},
      {"mDivd", {out(made({{0.5, 0.5}, {1, 1}})), in(flat), in(m({{2, 0}, {0, 1}}))}},
      {"mTrasp", {io(one, made({{1, 4}, {2, 5}, {3, 6}})), in(m({{1, 2, 3}, {4, 5, 6}}))}},
      {"mOpp", {io(m({{1, -2}, {3, 0}}), m({{-1, 2}, {-3, -0.0}}))}},
      {"mSwapRC", {io(square, m({{3, 4}, {1, 2}})), text(L"r"), integer(1), integer(2)}},
      {"mDiag", {io(m({{2, 1}, {4, 3}}), m({{2, 0}, {0, 1}}))}},
      {"mSwap",
       {io(square, made({{5}, {6}, {7}})), io(m({{5}, {6}, {7}}), made({{1, 2}, {3, 4}}))}},
      {"mSist", {io(v({0, 0}), v({0.8, 1.4})), in(m({{2, 1}, {1, 3}})), in(v({3, 5}))}},
      {"mMakeMatrNul", {out(made({{0, 0, 0}, {0, 0, 0}})), integer(2), integer(3)}},
      {"mMakeVectNul", {io(one, made_vector({0, 0, 0})), integer(3)}},
      {"mMakeMatrI", {out(made({{1, 0}, {0, 1}})), integer(2)}},
      {"mMakeVectI", {out(made_vector({1, 1, 1})), integer(3)}},
      {"mMod", {in(v({3, 4}))}, VT_R8, 5},
      {"mProdScal", {io(square, m({{2.5, 5}, {7.5, 10}})), real(2.5)}},
      {"mTrace", {in(m({{1, 2, 0}, {3, 4, 0}, {0, 0, 10}}))}, VT_R8, 15},
      {"mIdentical", {in(square), in(m({{1, 2}, {3, 5}}))}, VT_BOOL, 0},
      {"mMatrIsOrt", {in(m({{0, -1}, {1, 0}}))}, VT_BOOL, 1},
      {"mMatrAreOrt", {in(m({{1, 0, 0}, {0, 1, 0}})), in(m({{1, 0}, {0, 1}, {0, 0}}))}, VT_BOOL, 1},
      {"mMatrIsUnit", {in(m({{1, 0}, {0, 1}}))}, VT_BOOL, 1},
      {"mMatrIsZero", {in(m({{0, 0}, {0, 1}}))}, VT_BOOL, 0},
      {"mInv", {io(m({{4, 7}, {2, 6}}), made({{0.6, -0.7}, {-0.2, 0.4}}))}},
      {"mDupl", {io(one, made({{1, 2}, {3, 4}})), in(square)}},
      // The copy starts at index 1 of the variant, row 0 and column 0 left out.
      {"mDuplVar", {out(made({{1.5, 2}, {3, 4}})), table(m({{1.5, 2}, {3, 4}}))}},
      // Points (x, y) on y = 1 + 2x; NoPoints left out.
      {"mPolin", {out(made_vector({1, 2})), in(m({{0, 1}, {1, 3}})), integer(2), table({})}},
      {"mGetYPolin", {real(2), in(v({1, 2, 3}))}, VT_R8, 17},
      // The roots of x^2 + 2x - 3 = 0 go into the caller's x1 and x2; MaxF left out.
      {"mGetXsOfQuadr", {real(42, 1), real(42, -3), real(0), in(v({-3, 2, 1})), table({})}},

      {"mDet of a vector", {in(v({1, 2}))}, VT_R8, 0, 9},
      {"mTrace of nothing", {in({})}, VT_R8, 0, 9},
      {"mMakeVectI of order -1", {out({}), integer(-1)}, {}, 0, 9},
      // x(1) holds the faulty quotient.
      {"mSist singular", {io(v({0, 0}), v({-inf, 0})), in(flat), in(v({1, 2}))}, 0, 0, 11},
      // Written before the error stays written: element (1, 1), then the overflow.
      {"mSum overflowing", {io(row(0, 0), row(3, inf)), in(row(1, big)), in(row(2, big))}, 0, 0, 6},
      // Re-dimensioned before the failure: the destination comes back so.
      {"mDupl of lower bounds 2", {io(one, made(Rows(3, {0, 0, 0}))), in(from2)}, 0, 0, 9},
      {"mDuplVar of nothing", {out({}), table({})}, 0, 0, 449}};
  // Arrays the caller holds fixed, or locked, are never replaced: a
  // re-dimensioning fails with error 10; their elements are written in place.
  for (const USHORT features : {FADF_FIXEDSIZE, FADF_STATIC, FADF_EMBEDDED, FADF_AUTO}) {
    Arg held = in(square);
    held.features = features;
    c.push_back({"mMakeMatrI, features " + std::to_string(features), {held, integer(3)}, 0, 0, 10});
    held.after = m({{-1, -2}, {-3, -4}});
    c.push_back({"mOpp, features " + std::to_string(features), {held}});
  }
  return c;
}

SAFEARRAY* array_of(VARIANT* v) { return (V_VT(v) & VT_ARRAY) != 0 ? V_ARRAY(v) : nullptr; }

// A client holding one Matr, late bound.
class Client {
 public:
  // Invokes `id` with `args` in the method's order (Invoke takes them last
  // first): the HRESULT, or the scode of a run-time error, whose source and
  // description land in source_ and description_.
  HRESULT invoke(DISPID id, std::vector<VARIANT> args) {
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    EXCEPINFO exception{};
    bad_argument_ = 99;
    VariantClear(result_.ptr());
    HRESULT hr = matr_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                               result_.ptr(), &exception, &bad_argument_);
    // A late-bound caller finds a run-time error in EXCEPINFO, never as the HRESULT.
    EXPECT_NE(HRESULT_FACILITY(hr), FACILITY_CONTROL);
    if (hr == DISP_E_EXCEPTION) hr = exception.scode;
    source_ = text_of(exception.bstrSource);
    description_ = text_of(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
  }
  HRESULT call(const wchar_t* name, const std::vector<VARIANT*>& args) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    matr_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    std::vector<VARIANT> values;
    for (VARIANT* a : args) values.push_back(*a);
    return invoke(id, values);
  }

  // Makes the call `c` with the caller's variables, each a VARIANT, passed
  // as a script's references or as typed references to their values (every
  // value of a VARIANT sits at the same address); checks the HRESULT, the
  // result or the error's description, and every argument afterwards.
  void run(const Case& c, bool script) {
    SCOPED_TRACE(c.name + (script ? ", script" : ", typed"));
    const MethodInfo* info = find_method(c.name.substr(0, c.name.find_first_of(" ,")));
    ASSERT_NE(info, nullptr);
    const std::size_t n = c.args.size();
    std::vector<Var> values(n);
    std::vector<VARIANT> refs(n);
    std::vector<SAFEARRAY*> before(n);
    for (std::size_t i = 0; i < n; ++i) {
      const Arg& a = c.args[i];
      VARIANT* v = values[i].ptr();
      const bool variants = script || a.type == VT_VARIANT;
      const VARTYPE elements = variants ? VT_VARIANT : VT_R8;
      if (a.type == VT_R8) {
        V_VT(v) = VT_R8, V_R8(v) = a.number;
      } else if (a.type == VT_I4) {
        V_VT(v) = VT_I4, V_I4(v) = static_cast<LONG>(a.number);
      } else if (a.type == VT_BSTR) {
        V_VT(v) = VT_BSTR, V_BSTR(v) = SysAllocString(a.text);
      } else if (SAFEARRAY* array = make_array(a.before, elements); array != nullptr) {
        V_VT(v) = VT_ARRAY | elements, V_ARRAY(v) = array;
        array->fFeatures |= a.features & ~FADF_AUTO;
        if ((a.features & FADF_AUTO) != 0) SafeArrayLock(array);
      } else if (a.type == VT_VARIANT) {
        V_VT(v) = VT_ERROR, V_ERROR(v) = DISP_E_PARAMNOTFOUND;  // left out
      } else if (!script) {
        V_VT(v) = VT_ARRAY | VT_R8;  // a null array
      }
      V_VT(&refs[i]) = VT_BYREF | (variants ? VARTYPE{VT_VARIANT} : V_VT(v));
      V_BYREF(&refs[i]) = variants ? static_cast<void*>(v) : &V_R8(v);
      before[i] = array_of(v);
    }
    EXPECT_EQ(invoke(info->dispid, refs), c.error != 0 ? runtime_error(c.error) : S_OK);
    if (c.error != 0) {
      const std::string_view text = describe(static_cast<ErrorNumber>(c.error));
      EXPECT_EQ(source_ + L": " + description_, L"Nodrel.Matr: " + std::wstring(text.begin(), text.end()));
    } else if (c.result_type != VT_EMPTY) {
      EXPECT_EQ(V_VT(result_.ptr()), c.result_type);
      EXPECT_EQ(c.result_type == VT_BOOL ? V_BOOL(result_.ptr()) : V_R8(result_.ptr()),
                c.result_type == VT_BOOL ? -c.result : c.result);
    }
    for (std::size_t i = 0; i < n; ++i) {
      SCOPED_TRACE("argument " + std::to_string(i + 1));
      const Arg& a = c.args[i];
      VARIANT* v = values[i].ptr();
      SAFEARRAY* array = array_of(v);
      if (a.type == VT_ARRAY) {
        if (script && !a.after.bounds.empty()) {
          EXPECT_EQ(V_VT(v), VT_ARRAY | VT_VARIANT) << "scripts read arrays of variants";
        }
        EXPECT_EQ(read_array(array), a.after);
      } else if (a.type == VT_VARIANT) {
        EXPECT_EQ(array, before[i]) << "a Variant only read is never replaced";
      } else if (a.type == VT_R8) {
        EXPECT_EQ(V_VT(v), VT_R8);
        EXPECT_EQ(V_R8(v), a.number_after);
      }
      if (array != nullptr) {
        array->fFeatures &= static_cast<USHORT>(~a.features);
        if ((a.features & FADF_AUTO) != 0) SafeArrayUnlock(array);
      }
    }
  }

 protected:
  ComPtr<_Matr> matr_ = create_matr();
  Var result_;
  std::wstring source_, description_;
  UINT bad_argument_ = 99;  // puArgErr of the latest invoke(), 99 when not set
};
class LateBound : public testing::Test, protected Client {};
using EarlyBound = LateBound;

class Calls : public testing::TestWithParam<LONG>, protected Client {};

TEST_P(Calls, EveryMethodBothWays) {
  for (const Case& c : cases(GetParam())) {
    for (const bool script : {false, true}) run(c, script);
  }
}

INSTANTIATE_TEST_SUITE_P(LowerBounds, Calls, testing::Values(0, 1),
                         [](const testing::TestParamInfo<LONG>& p) {
                           return "LowerBound" + std::to_string(p.param);
                         });

// Clients on several threads at once, each in its own apartment with its own
// object, get what one gets alone.
TEST(ConcurrentClients, EachInItsOwnApartment) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
      {
        Client client;
        for (const Case& c : cases(1)) client.run(c, true);
      }
      CoUninitialize();
    });
  }
  for (std::thread& t : threads) t.join();
}

// Bound early, where the table cannot reach: one array in two variables,
// null pointers, the error object of each call.
TEST_F(EarlyBound, OneArrayNullPointersAndTheErrorObject) {
  SAFEARRAY* a = make_array(in_matrix({{1, 2}, {3, 4}}, 1), VT_R8);
  SAFEARRAY* alias = a;  // both re-dimensioned, one array: replaced once
  ASSERT_EQ(matr_->mSwap(&a, &alias), S_OK);
  EXPECT_EQ(alias, a);
  EXPECT_EQ(read_array(a), made({{1, 2}, {3, 4}}));
  double r = 7, x1 = 0, x2 = 0, y = 0;
  EXPECT_EQ(matr_->mDet(nullptr, &r), runtime_error(5));
  SAFEARRAY* v = make_array(in_vector({3, 4}, 1), VT_R8);
  EXPECT_EQ(matr_->mMod(&v, nullptr), runtime_error(5));
  // A left-out optional argument is a null VARIANT*; each call clears the error object.
  EXPECT_EQ(matr_->mGetXsOfQuadr(&x1, &x2, &y, &v, nullptr), S_OK);
  ComPtr<IErrorInfo> info;
  EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE);
  SAFEARRAY* none = nullptr;
  EXPECT_EQ(matr_->mDuplVar(&none, nullptr), runtime_error(449));
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  BSTR source = nullptr, description = nullptr;
  GUID guid{};
  info->GetSource(&source), info->GetDescription(&description), info->GetGUID(&guid);
  EXPECT_EQ(text_of(source) + L": " + text_of(description), L"Nodrel.Matr: Argument not optional");
  EXPECT_TRUE(IsEqualGUID(guid, IID__Matr));
  SysFreeString(source), SysFreeString(description);
  r = 7;
  ASSERT_EQ(matr_->mDet(&v, &r), runtime_error(9));
  EXPECT_EQ(r, 0.0) << "a failed call leaves its result defined";
  // An array of longs is no array of doubles.
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  SAFEARRAY* longs = SafeArrayCreate(VT_I4, 2, bounds);
  EXPECT_EQ(matr_->mDet(&longs, &r), runtime_error(13));
  SafeArrayDestroy(longs), SafeArrayDestroy(v), SafeArrayDestroy(a);
}

// One fault, one failure: a value of the wrong kind is run-time error 13 in
// EXCEPINFO whether it comes by value or as a script's reference, and
// puArgErr names it. A by-value argument is only read: never converted in
// place, replaced or freed.
TEST_F(LateBound, ValuesAndReferencesFailAlike) {
  Var array = Var::array(in_matrix({{2, 0}, {0, 5}}, 1), VT_R8);
  SAFEARRAY* const held = V_ARRAY(array.ptr());
  ASSERT_EQ(call(L"mDet", {array.ptr()}), S_OK);
  EXPECT_EQ(V_R8(result_.ptr()), 10.0);
  Var null, abc = Var::text(L"abc"), order = Var::text(L"3"), identity;
  V_VT(null.ptr()) = VT_NULL;
  Var identity_ref = Var::reference(identity.ptr());
  const struct {
    const wchar_t* method;
    std::vector<VARIANT*> args;  // the one of the wrong kind at `wrong`
    std::size_t wrong;
    HRESULT hr;
  } rows[] = {
      {L"mDet", {null.ptr()}, 0, runtime_error(13)},
      {L"mDet", {abc.ptr()}, 0, runtime_error(13)},
      {L"mMakeMatrI", {identity_ref.ptr(), abc.ptr()}, 1, runtime_error(13)},
      {L"mMakeMatrI", {array.ptr(), null.ptr()}, 1, runtime_error(13)},
      // A value converts as a reference does, and stays the caller's.
      {L"mMakeMatrI", {array.ptr(), order.ptr()}, 1, S_OK},
      {L"mMakeMatrI", {identity_ref.ptr(), order.ptr()}, 1, S_OK},
  };
  for (const auto& row : rows) {
    for (const bool by_reference : {false, true}) {
      SCOPED_TRACE(std::to_string(&row - rows) + (by_reference ? " by reference" : " by value"));
      std::vector<VARIANT*> args = row.args;
      Var ref = Var::reference(args[row.wrong]);
      if (by_reference) args[row.wrong] = ref.ptr();
      EXPECT_EQ(call(row.method, args), row.hr);
      if (FAILED(row.hr)) {
        EXPECT_EQ(description_, L"Type mismatch");
        EXPECT_EQ(bad_argument_, args.size() - 1 - row.wrong) << "counted last to first";
      }
    }
  }
  EXPECT_EQ(V_ARRAY(array.ptr()), held) << "an array passed by value is never replaced";
  EXPECT_EQ(read_array(held), in_matrix({{2, 0}, {0, 5}}, 1));
  EXPECT_EQ(read_array(V_ARRAY(identity.ptr())), made({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}));
  EXPECT_EQ(V_VT(order.ptr()), VT_BSTR);
  for (std::size_t count : {0, 2, 3}) {
    EXPECT_EQ(call(L"mDet", std::vector<VARIANT*>(count, array.ptr())), DISP_E_BADPARAMCOUNT);
  }
}

// One set of conversion rules: a value that reaches a String or a Long
// argument by value or as a script's reference gives what the core's late
// binding gives the same value: the selector of mSwapRC, the order of
// mMakeVectNul.
TEST_F(LateBound, ValuesConvertAsInTheCore) {
  const struct {
    Variant core;
    VARTYPE type;
    double number;  // a VT_DATE's serial, a VT_BOOL's value
    const wchar_t* text;
  } values[] = {{true, VT_BOOL, -1, nullptr}, {Date{3.5}, VT_DATE, 3.5, nullptr},
                {"&HFF", VT_BSTR, 0, L"&HFF"}, {"1e1", VT_BSTR, 0, L"1e1"},
                {" 2 ", VT_BSTR, 0, L" 2 "},   {"r", VT_BSTR, 0, L"r"}};
  Var rc1 = Var::number(1), rc2 = Var::number(2);
  for (const auto& v : values) {
    Var value = v.text != nullptr ? Var::text(v.text) : Var::number(v.number);
    V_VT(value.ptr()) = v.type;
    if (v.type == VT_BOOL) V_BOOL(value.ptr()) = VARIANT_TRUE;
    Var value_ref = Var::reference(value.ptr());
    for (const bool by_reference : {false, true}) {
      for (const char* name : {"mSwapRC", "mMakeVectNul"}) {
        SCOPED_TRACE(std::to_string(&v - values) + (by_reference ? " by reference " : " by value ") + name);
        const MethodInfo& method = *find_method(name);
        const bool swap = method.args.size() == 4;
        // Through the core: the error, and the array argument afterwards.
        std::vector<Variant> args = {swap ? Variant(DoubleArray::matrix({{1, 2}, {3, 4}})) : Variant(), v.core, 1, 2};
        std::vector<Variant*> pointers;
        for (Variant& a : args) pointers.push_back(&a);
        pointers.resize(method.args.size());
        Matr matr;
        int error = 0;
        try {
          nodrel::invoke(matr, method.dispid, pointers);
        } catch (const Error& e) {
          error = e.code();
        }
        Matrix expected;
        if (const DoubleArray* a = args[0].double_array()) {
          for (const ArrayBound& b : a->bounds()) {
            expected.bounds.emplace_back(b.lower, b.lower + static_cast<LONG>(b.count) - 1);
          }
          expected.elements = a->storage();
        }
        // Through IDispatch, the array a script's variable.
        Var variable = swap ? Var::array(in_matrix({{1, 2}, {3, 4}}, 1), VT_VARIANT) : Var();
        Var variable_ref = Var::reference(variable.ptr());
        std::vector<VARIANT> com = {*variable_ref.ptr(), by_reference ? *value_ref.ptr() : *value.ptr(),
                                    *rc1.ptr(), *rc2.ptr()};
        com.resize(method.args.size());
        EXPECT_EQ(invoke(method.dispid, com), error != 0 ? runtime_error(error) : S_OK);
        EXPECT_EQ(read_array(array_of(variable.ptr())), expected);
      }
    }
  }
}

// A client's print destination as a late-bound client passes it: type
// information naming its kind (none for a null kind), the members Cls,
// Print, Text, Caption and EndDoc, each call recorded. The failing member
// fails with `hr`: DISP_E_UNKNOWNNAME from GetIDsOfNames (the member is
// missing), any other from Invoke, with EXCEPINFO filled in.
struct MemberFailure {
  const wchar_t* member = L"";
  HRESULT hr = S_OK;
  SCODE scode = 0;
  WORD wcode = 0;
  const wchar_t* description = nullptr;
};

class FakeWidget final : public IDispatch {
 public:
  FakeWidget(const wchar_t* kind, MemberFailure failure) : failure_(failure) {
    ComPtr<ICreateTypeLib2> library;
    ComPtr<ICreateTypeInfo> created;
    if (kind != nullptr &&
        SUCCEEDED(CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, L"w.tlb", library.put())) &&
        SUCCEEDED(library->CreateTypeInfo(const_cast<LPOLESTR>(kind), TKIND_DISPATCH, created.put()))) {
      created->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(type_.put()));
    }
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ? this : nullptr;
    return *out != nullptr ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = type_ ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = ComPtr<ITypeInfo>(type_).detach();
    return type_ ? S_OK : TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) override {
    *id = DISPID_UNKNOWN;
    for (DISPID k = 0; k < 5; ++k) *id = _wcsicmp(names[0], kMembers[k]) == 0 ? k : *id;
    const bool missing = failing(*id) && failure_.hr == DISP_E_UNKNOWNNAME;
    return *id == DISPID_UNKNOWN || missing ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    if (failing(id)) {
      exception->scode = failure_.scode, exception->wCode = failure_.wcode;
      exception->bstrDescription = SysAllocString(failure_.description);
      return failure_.hr;
    }
    std::wstring call = kMembers[id];
    const bool put = flags == DISPATCH_PROPERTYPUT, one = params->cArgs == 1;
    if (flags == DISPATCH_PROPERTYGET) {
      V_VT(result) = VT_BSTR, V_BSTR(result) = SysAllocString(value_.c_str());
      calls.push_back(call + L"?");
      return S_OK;
    }
    // A property's new value is the one named argument DISPID_PROPERTYPUT.
    if (put != (params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT)) {
      return DISP_E_PARAMNOTFOUND;
    }
    if (one && V_VT(&params->rgvarg[0]) != VT_BSTR) return DISP_E_TYPEMISMATCH;
    const std::wstring argument = one ? text_of(V_BSTR(&params->rgvarg[0])) : L"";
    if (put) value_ = argument;
    calls.push_back(put ? call + L"=" + argument : one ? call + L"(" + argument + L")" : call);
    return S_OK;
  }

  ULONG references = 1;
  std::vector<std::wstring> calls;

 private:
  static constexpr const wchar_t* kMembers[] = {L"Cls", L"Print", L"Text", L"Caption", L"EndDoc"};
  bool failing(DISPID id) const { return id >= 0 && wcscmp(failure_.member, kMembers[id]) == 0; }
  ComPtr<ITypeInfo> type_;
  MemberFailure failure_;
  std::wstring value_;
};

// mPrint to a client's object: the kind its type information names decides
// which members are called; a member's failure reaches the caller as a
// run-time error; the server keeps no reference to the object.
TEST_F(LateBound, PrintToClientObjects) {
  const std::wstring text = L"A\r\n1.0000E+00  ";  // the number 1 under the comment "A"
  const std::wstring print = L"Print(" + text + L")";
  const std::wstring unsupported = L"438: Object doesn't support this property or method";
  const MemberFailure picture{L"Print", DISP_E_EXCEPTION, runtime_error(380), 0, L"Bad picture"};
  const MemberFailure paper{L"EndDoc", DISP_E_EXCEPTION, 0, 1001, L"Out of paper"};
  const MemberFailure read_only{L"Text", DISP_E_EXCEPTION, E_FAIL, 0, L"Read only"};
  const struct {
    const wchar_t* kind;
    MemberFailure failure;
    std::vector<std::wstring> calls;
    std::wstring error;  // "number: description"; empty when the call succeeds
  } rows[] = {
      {L"Form", {}, {L"Cls", print}, L""},
      {L"PictureBox", {}, {L"Cls", print}, L""},
      {L"textbox", {}, {L"Text=", L"Text?", L"Text=" + text + L"\r\n"}, L""},  // any case
      {L"Label", {}, {L"Caption=", L"Caption?", L"Caption=" + text}, L""},
      {L"Printer", {}, {print, L"EndDoc"}, L""},
      {L"ListBox", {}, {}, L""},
      {nullptr, {}, {}, L""},  // no type information
      // The client's run-time error, its wCode, a foreign scode with its text.
      {L"Form", picture, {L"Cls"}, L"380: Bad picture"},
      {L"Printer", paper, {print}, L"1001: Out of paper"},
      {L"TextBox", read_only, {}, L"440: Read only"},
      {L"PictureBox", {L"Cls", E_ACCESSDENIED}, {}, L"440: Automation error"},
      {L"Label", {L"Caption", DISP_E_UNKNOWNNAME}, {}, unsupported},
      {L"Printer", {L"Print", DISP_E_MEMBERNOTFOUND}, {}, unsupported},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    FakeWidget widget(row.kind, row.failure);
    Var number = Var::number(1), object, missing, comment = Var::text(L"A"), append;
    V_VT(object.ptr()) = VT_DISPATCH, V_DISPATCH(object.ptr()) = &widget;
    V_VT(missing.ptr()) = VT_ERROR, V_ERROR(missing.ptr()) = DISP_E_PARAMNOTFOUND;
    V_VT(append.ptr()) = VT_BOOL, V_BOOL(append.ptr()) = VARIANT_FALSE;
    widget.AddRef();
    const HRESULT hr = call(L"mPrint", {number.ptr(), object.ptr(), missing.ptr(), missing.ptr(),
                                        comment.ptr(), missing.ptr(), append.ptr()});
    EXPECT_EQ(widget.calls, row.calls);
    EXPECT_EQ(hr == S_OK ? L"" : std::to_wstring(hr & 0xFFFF) + L": " + description_, row.error);
    EXPECT_TRUE(hr == S_OK || (static_cast<ULONG>(hr) & 0xFFFF0000u) == 0x800A0000u) << hr;
    VariantClear(object.ptr());
    EXPECT_EQ(widget.references, 1u) << "the server released the client's object";
  }
}

}  // namespace
}  // namespace nodrel::com::test
