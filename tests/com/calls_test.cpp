// Calls of Matr's methods as its three kinds of client make them:
//   - bound early: through the function table of _Matr, with typed pointers
//     to the caller's variables (DispCallFunc calls the slot as compiled
//     code does);
//   - bound late: IDispatch::Invoke with typed references (VT_BYREF | VT_R8,
//     VT_BYREF | VT_ARRAY | VT_R8, ...), as a compiled controller passes them;
//   - as a script: every variable a VARIANT, arrays of variants, each passed
//     as VT_BYREF | VT_VARIANT; arrays come back as arrays of variants.
// The arithmetic is the core's and has its own tests; these check what
// crosses the boundary: bounds, elements written in place or arrays
// replaced, results, run-time errors with their descriptions, and what stays
// written when a call fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "com/com_support.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"

namespace nodrel::com::test {
namespace {

enum class Way { kEarly, kLate, kScript };

// One argument: the caller's variable before the call and after it.
struct Arg {
  enum class Kind { kArray, kDouble, kLong, kText, kVariant } kind;
  Matrix before;
  Matrix after;
  double number = 0;
  double number_after = 0;
  const wchar_t* text = nullptr;
  USHORT features = 0;  // of the caller's array; FADF_AUTO here: locked instead
};
Arg io(Matrix before, Matrix after) { return {Arg::Kind::kArray, before, after}; }
Arg in(Matrix m) { return io(m, m); }
Arg out(Matrix after) { return io({}, after); }
Arg fixed(Matrix m, USHORT features) {
  Arg a = in(m);
  a.features = features;
  return a;
}
Arg real(double x, double after) { return {Arg::Kind::kDouble, {}, {}, x, after}; }
Arg real(double x) { return real(x, x); }
Arg integer(LONG n) { return {Arg::Kind::kLong, {}, {}, static_cast<double>(n)}; }
Arg text(const wchar_t* t) { return {Arg::Kind::kText, {}, {}, 0, 0, t}; }
// A VARIANT* argument: an array of variants, or left out (no bounds).
Arg table(Matrix m) { return {Arg::Kind::kVariant, m, m}; }
Arg left_out() { return table({}); }

struct Case {
  std::string name;
  std::vector<Arg> args;
  VARTYPE result_type = VT_EMPTY;  // VT_R8 or VT_BOOL for a method with a result
  double result = 0;
  int error = 0;  // 0: the call succeeds; else the run-time error, with its standard text
};

// The caller's variables of one call, each a VARIANT: a script passes a
// reference to it; a typed caller a typed reference to its value (every
// value of a VARIANT sits at the same address).
class Variables {
 public:
  Variables(const std::vector<Arg>& args, Way way) : args_(args), script_(way == Way::kScript) {
    for (const Arg& a : args) {
      VARIANT& v = values_.emplace_back();
      VariantInit(&v);
      switch (a.kind) {
        case Arg::Kind::kArray:
        case Arg::Kind::kVariant: {
          const bool variants = script_ || a.kind == Arg::Kind::kVariant;
          V_ARRAY(&v) = make_array(a.before, variants ? VT_VARIANT : VT_R8);
          V_VT(&v) = VT_ARRAY | (variants ? VT_VARIANT : VT_R8);
          if (V_ARRAY(&v) != nullptr) V_ARRAY(&v)->fFeatures |= a.features & ~FADF_AUTO;
          if ((a.features & FADF_AUTO) != 0) SafeArrayLock(V_ARRAY(&v));
          if (V_ARRAY(&v) == nullptr && variants) V_VT(&v) = VT_EMPTY;
          if (V_ARRAY(&v) == nullptr && a.kind == Arg::Kind::kVariant) {
            V_VT(&v) = VT_ERROR;  // left out
            V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
          }
          break;
        }
        case Arg::Kind::kDouble: V_VT(&v) = VT_R8, V_R8(&v) = a.number; break;
        case Arg::Kind::kLong: V_VT(&v) = VT_I4, V_I4(&v) = static_cast<LONG>(a.number); break;
        case Arg::Kind::kText: V_VT(&v) = VT_BSTR, V_BSTR(&v) = SysAllocString(a.text); break;
      }
    }
  }
  Variables(const Variables&) = delete;
  Variables& operator=(const Variables&) = delete;
  ~Variables() {
    for (std::size_t i = 0; i < values_.size(); ++i) {
      if (SAFEARRAY* array = current(i); array != nullptr) {
        array->fFeatures &= static_cast<USHORT>(~args_[i].features);
        if ((args_[i].features & FADF_AUTO) != 0) SafeArrayUnlock(array);
      }
      VariantClear(&values_[i]);
    }
  }

  // What the call passes, in the method's order.
  std::vector<VARIANT> references() {
    std::vector<VARIANT> refs(values_.size());
    for (std::size_t i = 0; i < values_.size(); ++i) {
      if (script_ || args_[i].kind == Arg::Kind::kVariant) {
        V_VT(&refs[i]) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&refs[i]) = &values_[i];
      } else {
        V_VT(&refs[i]) = VT_BYREF | V_VT(&values_[i]);
        V_BYREF(&refs[i]) = &V_R8(&values_[i]);
      }
    }
    return refs;
  }

  void expect_after() {
    for (std::size_t i = 0; i < values_.size(); ++i) {
      SCOPED_TRACE("argument " + std::to_string(i + 1));
      const Arg& a = args_[i];
      if (a.kind == Arg::Kind::kArray) {
        if (script_ && !a.after.bounds.empty()) {
          EXPECT_EQ(V_VT(&values_[i]), VT_ARRAY | VT_VARIANT) << "scripts read arrays of variants";
        }
        EXPECT_EQ(read_array(current(i)), a.after);
      } else if (a.kind == Arg::Kind::kDouble) {
        EXPECT_EQ(V_VT(&values_[i]), VT_R8);
        EXPECT_EQ(V_R8(&values_[i]), a.number_after);
      }
    }
  }

 private:
  SAFEARRAY* current(std::size_t i) {
    return (V_VT(&values_[i]) & VT_ARRAY) != 0 ? V_ARRAY(&values_[i]) : nullptr;
  }

  const std::vector<Arg>& args_;
  bool script_;
  std::deque<VARIANT> values_;
};

// Every method once, each argument of lower bound `lower`; run every way.
std::vector<Case> cases(LONG lower) {
  const auto m = [lower](const Rows& rows) { return in_matrix(rows, lower); };
  const auto v = [lower](const std::vector<double>& values) { return in_vector(values, lower); };
  const Matrix one = m({{7}});  // a dimensioned destination that must be replaced
  const Matrix square = m({{1, 2}, {3, 4}});
  const double big = std::numeric_limits<double>::max();
  const double inf = std::numeric_limits<double>::infinity();
  // A 1 x 2 Matrix of lower bounds 1 whatever `lower`; a 2 x 2 one of lower bounds 2.
  const auto row = [](double a, double b) { return Matrix{{{1, 1}, {1, 2}}, {a, b}}; };
  const Matrix from2{{{2, 3}, {2, 3}}, {1, 2, 3, 4}}, flat = m({{1, 1}, {1, 1}});
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
      {"mPolin", {out(made_vector({1, 2})), in(m({{0, 1}, {1, 3}})), integer(2), left_out()}},
      {"mGetYPolin", {real(2), in(v({1, 2, 3}))}, VT_R8, 17},
      // The roots of x^2 + 2x - 3 = 0 go into the caller's x1 and x2; MaxF left out.
      {"mGetXsOfQuadr", {real(42, 1), real(42, -3), real(0), in(v({-3, 2, 1})), left_out()}},

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
  const std::pair<const char*, USHORT> holds[] = {{"FADF_FIXEDSIZE", FADF_FIXEDSIZE},
                                                  {"FADF_STATIC", FADF_STATIC},
                                                  {"FADF_EMBEDDED", FADF_EMBEDDED},
                                                  {"locked", FADF_AUTO}};
  for (const auto& [name, features] : holds) {
    c.push_back(
        {std::string("mMakeMatrI, ") + name, {fixed(square, features), integer(3)}, 0, 0, 10});
    Arg negated = fixed(square, features);
    negated.after = m({{-1, -2}, {-3, -4}});
    c.push_back({std::string("mOpp, ") + name, {negated}});
  }
  return c;
}

// A client holding one Matr, early bound (matr_) and late bound (dispatch_).
class Client : public testing::Test {
 protected:
  void SetUp() override {
    matr_ = create_matr();
    ASSERT_EQ(matr_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch_.put())),
              S_OK);
  }

  // Invokes `id` with `args` in the method's order (Invoke takes them last
  // first): the HRESULT, or the scode of a run-time error, whose source and
  // description land in error_.
  HRESULT invoke(DISPID id, std::vector<VARIANT> args) {
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    EXCEPINFO exception{};
    bad_argument_ = 99;
    VariantClear(result_.ptr());
    HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                   result_.ptr(), &exception, &bad_argument_);
    // A late-bound caller finds a run-time error in EXCEPINFO, never as the HRESULT.
    EXPECT_NE(HRESULT_FACILITY(hr), FACILITY_CONTROL);
    if (hr == DISP_E_EXCEPTION) hr = exception.scode;
    error_ = {hr != S_OK, text_of(exception.bstrSource), text_of(exception.bstrDescription), {}};
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
  }
  HRESULT call(const wchar_t* name, const std::vector<VARIANT*>& args) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    std::vector<VARIANT> values;
    for (VARIANT* a : args) values.push_back(*a);
    return invoke(id, values);
  }

  ComPtr<_Matr> matr_;
  ComPtr<IDispatch> dispatch_;
  Var result_;
  ErrorObject error_;
  UINT bad_argument_ = 99;  // puArgErr of the latest invoke(), 99 when not set
};
using EarlyBound = Client;
using LateBound = Client;

class Calls : public Client, public testing::WithParamInterface<LONG> {
 protected:
  // Makes the call `c` in `way`: the HRESULT, the result or the error's
  // description, and every argument afterwards.
  void run(const Case& c, Way way) {
    const MethodInfo* info = find_method(c.name.substr(0, c.name.find_first_of(" ,")));
    ASSERT_NE(info, nullptr);
    Variables variables(c.args, way);
    std::vector<VARIANT> refs = variables.references();
    HRESULT hr = S_OK;
    if (way == Way::kEarly) {
      double real = 7;
      VARIANT_BOOL flag = 7;
      if (c.result_type != VT_EMPTY) {
        VARIANT& r = refs.emplace_back();
        V_VT(&r) = VT_BYREF | c.result_type;
        V_BYREF(&r) = c.result_type == VT_BOOL ? static_cast<void*>(&flag) : &real;
      }
      std::vector<VARTYPE> types;
      std::vector<VARIANT*> pointers;
      for (VARIANT& a : refs) types.push_back(V_VT(&a)), pointers.push_back(&a);
      const auto slot = static_cast<ULONG_PTR>((7 + (info - methods().data())) * sizeof(void*));
      VARIANT returned;
      VariantInit(&returned);
      ASSERT_EQ(DispCallFunc(matr_.get(), slot, CC_STDCALL, VT_I4, static_cast<UINT>(refs.size()),
                             types.data(), pointers.data(), &returned),
                S_OK);
      hr = V_I4(&returned);
      error_ = take_error_object();
      EXPECT_TRUE(c.error == 0 || IsEqualGUID(error_.guid, IID__Matr));
      if (c.result_type == VT_R8) {
        EXPECT_EQ(real, c.error != 0 ? 0.0 : c.result);
      } else if (c.result_type == VT_BOOL) {
        EXPECT_EQ(flag, c.result != 0 ? VARIANT_TRUE : VARIANT_FALSE);
      }
    } else {
      hr = invoke(info->dispid, refs);
      if (c.error == 0 && c.result_type != VT_EMPTY) {
        EXPECT_EQ(V_VT(result_.ptr()), c.result_type);
        EXPECT_EQ(c.result_type == VT_BOOL ? V_BOOL(result_.ptr()) : V_R8(result_.ptr()),
                  c.result_type == VT_BOOL ? -c.result : c.result);
      }
    }
    EXPECT_EQ(hr, c.error != 0 ? runtime_error(c.error) : S_OK);
    if (c.error != 0) {
      const std::string_view text = describe(static_cast<ErrorNumber>(c.error));
      EXPECT_EQ(error_.source, L"Nodrel.Matr");
      EXPECT_EQ(error_.description, std::wstring(text.begin(), text.end()));
    }
    variables.expect_after();
  }
};

TEST_P(Calls, EveryMethodEveryWay) {
  for (const Case& c : cases(GetParam())) {
    for (const Way way : {Way::kEarly, Way::kLate, Way::kScript}) {
      SCOPED_TRACE(c.name + (way == Way::kEarly  ? ", early"
                             : way == Way::kLate ? ", late"
                                                 : ", script"));
      run(c, way);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(LowerBounds, Calls, testing::Values(0, 1),
                         [](const testing::TestParamInfo<LONG>& p) {
                           return "LowerBound" + std::to_string(p.param);
                         });

// A C++ client bound early, where the table above cannot reach: one array
// given for several arguments, null pointers, the error object of each call.
TEST_F(EarlyBound, OneArrayPassedTwiceIsOneArray) {
  SAFEARRAY* a = make_array(in_matrix({{1, 2}, {3, 4}}, 1), VT_R8);
  ASSERT_EQ(matr_->mSum(&a, &a, &a), S_OK);
  EXPECT_EQ(read_array(a), in_matrix({{2, 4}, {6, 8}}, 1));
  // Two arguments the method re-dimensions, one array: replaced once.
  ASSERT_EQ(matr_->mSwap(&a, &a), S_OK);
  EXPECT_EQ(read_array(a), made({{2, 4}, {6, 8}}));
  // Two variables holding one array: after the replacement both hold the new one.
  SAFEARRAY* alias = a;
  ASSERT_EQ(matr_->mSwap(&a, &alias), S_OK);
  EXPECT_EQ(alias, a);
  SafeArrayDestroy(a);
}

TEST_F(EarlyBound, NullPointersAndTheErrorObjectOfEachCall) {
  double r = 7;
  EXPECT_EQ(matr_->mDet(nullptr, &r), runtime_error(5));
  SAFEARRAY* v = make_array(in_vector({3, 4}, 1), VT_R8);
  EXPECT_EQ(matr_->mMod(&v, nullptr), runtime_error(5));
  // A left-out optional argument is a null VARIANT*.
  double x1 = 0;
  double x2 = 0;
  double y = 0;
  EXPECT_EQ(matr_->mGetXsOfQuadr(&x1, &x2, &y, &v, nullptr), S_OK);
  EXPECT_FALSE(take_error_object().present) << "each call clears the thread's error object";
  SAFEARRAY* dest = nullptr;
  EXPECT_EQ(matr_->mDuplVar(&dest, nullptr), runtime_error(449));
  EXPECT_EQ(take_error_object().description, L"Argument not optional");
  // A stale description never describes a later call.
  ASSERT_EQ(matr_->mDet(&v, &r), runtime_error(9));
  EXPECT_EQ(r, 0.0) << "a failed call leaves its result defined";
  ASSERT_EQ(matr_->mMod(&v, &r), S_OK);
  EXPECT_FALSE(take_error_object().present);
  // An array of longs is no array of doubles.
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  SAFEARRAY* longs = SafeArrayCreate(VT_I4, 2, bounds);
  EXPECT_EQ(matr_->mDet(&longs, &r), runtime_error(13));
  SafeArrayDestroy(longs);
  SafeArrayDestroy(v);
}

Var reference_to(VARIANT* variable) {
  Var v;
  V_VT(v.ptr()) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(v.ptr()) = variable;
  return v;
}

Var array_of(const Matrix& m, VARTYPE type) {
  Var v;
  V_VT(v.ptr()) = VT_ARRAY | type;
  V_ARRAY(v.ptr()) = make_array(m, type);
  return v;
}

// A C++ client's typed reference to the value `variable` holds.
Var typed_reference_to(VARIANT* variable) {
  Var v;
  V_VT(v.ptr()) = VT_BYREF | V_VT(variable);
  V_BYREF(v.ptr()) = &V_R8(variable);
  return v;
}

// One fault, one failure: a value of the wrong kind is run-time error 13 in
// EXCEPINFO whether it comes by value or as a script's reference, and
// puArgErr names it. A by-value argument is only read: never converted in
// place, never freed (a BSTR freed twice shows as a heap warning, which
// fails the suite: it runs with WINEDEBUG=warn+heap).
TEST_F(LateBound, ValuesAndReferencesFailAlike) {
  Var array = array_of(in_matrix({{2, 0}, {0, 5}}, 1), VT_R8);
  SAFEARRAY* const held = V_ARRAY(array.ptr());
  ASSERT_EQ(call(L"mDet", {array.ptr()}), S_OK);
  EXPECT_EQ(V_R8(result_.ptr()), 10.0);
  EXPECT_EQ(V_ARRAY(array.ptr()), held);
  Var null;
  V_VT(null.ptr()) = VT_NULL;
  Var abc = Var::text(L"abc");
  Var order = Var::text(L"3");
  Var identity;
  Var identity_ref = reference_to(identity.ptr());
  struct Row {
    const wchar_t* method;
    std::vector<VARIANT*> args;  // the one of the wrong kind at `wrong`
    std::size_t wrong;
    HRESULT hr;
  };
  const Row rows[] = {
      {L"mDet", {null.ptr()}, 0, runtime_error(13)},
      {L"mDet", {abc.ptr()}, 0, runtime_error(13)},
      {L"mMakeMatrI", {identity_ref.ptr(), abc.ptr()}, 1, runtime_error(13)},
      {L"mMakeMatrI", {array.ptr(), null.ptr()}, 1, runtime_error(13)},
      // A value converts as a reference does, and stays the caller's.
      {L"mMakeMatrI", {array.ptr(), order.ptr()}, 1, S_OK},
      {L"mMakeMatrI", {identity_ref.ptr(), order.ptr()}, 1, S_OK},
  };
  for (const Row& row : rows) {
    for (const bool by_reference : {false, true}) {
      SCOPED_TRACE(std::wstring(row.method) + L" " + std::to_wstring(&row - rows) +
                   (by_reference ? L" by reference" : L" by value"));
      std::vector<VARIANT*> args = row.args;
      Var ref = reference_to(args[row.wrong]);
      if (by_reference) args[row.wrong] = ref.ptr();
      EXPECT_EQ(call(row.method, args), row.hr);
      if (FAILED(row.hr)) {
        EXPECT_EQ(error_.description, L"Type mismatch");
        EXPECT_EQ(bad_argument_, args.size() - 1 - row.wrong) << "counted last to first";
      }
    }
  }
  EXPECT_EQ(V_ARRAY(array.ptr()), held) << "an array passed by value is never replaced";
  EXPECT_EQ(read_array(held), in_matrix({{2, 0}, {0, 5}}, 1));
  EXPECT_EQ(read_array(V_ARRAY(identity.ptr())), made({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}));
  EXPECT_EQ(V_VT(order.ptr()), VT_BSTR);
  EXPECT_EQ(call(L"mDet", {array.ptr(), array.ptr(), array.ptr()}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(call(L"mDet", {array.ptr(), array.ptr()}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(call(L"mDet", {}), DISP_E_BADPARAMCOUNT);
  // One script variable given three times is one array.
  Var a = array_of(in_matrix({{1, 2}, {3, 4}}, 1), VT_VARIANT);
  Var a_ref = reference_to(a.ptr());
  ASSERT_EQ(call(L"mSum", {a_ref.ptr(), a_ref.ptr(), a_ref.ptr()}), S_OK);
  EXPECT_EQ(read_array(V_ARRAY(a.ptr())), in_matrix({{2, 4}, {6, 8}}, 1));
}

// The selector a script's reference to a text, RC1 a text by value, the
// array a typed reference: RC1's text was freed once by the call and again
// by its owner, whatever the text.
TEST_F(LateBound, ByValueTextIsNeverFreed) {
  const struct {
    const wchar_t* first;
    HRESULT hr;
    Matrix after;
  } rows[] = {
      {L"1", S_OK, made({{0, 1, 0}, {1, 0, 0}, {0, 0, 1}})},
      // Rows 255 and 10 are no rows: ErrCode says so, nothing is swapped.
      {L"&HFF", S_OK, made({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}})},
      {L"1e1", S_OK, made({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}})},
      {L" 2 ", S_OK, made({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}})},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.first);
    Var matrix = array_of(made({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}), VT_R8);
    Var matrix_ref = typed_reference_to(matrix.ptr());
    Var selector = Var::text(L"R");
    Var selector_ref = reference_to(selector.ptr());
    Var first = Var::text(row.first);
    const BSTR text = V_BSTR(first.ptr());
    Var second;
    V_VT(second.ptr()) = VT_I4;
    V_I4(second.ptr()) = 2;
    EXPECT_EQ(call(L"mSwapRC", {matrix_ref.ptr(), selector_ref.ptr(), first.ptr(), second.ptr()}),
              row.hr);
    EXPECT_EQ(read_array(V_ARRAY(matrix.ptr())), row.after);
    EXPECT_EQ(V_VT(first.ptr()), VT_BSTR);
    EXPECT_EQ(V_BSTR(first.ptr()), text);
    EXPECT_EQ(text_of(text), row.first);
  }
}

// Every method with a result, late bound on a 3 x 3 matrix a script made,
// from a thread of its own apartment with an object of its own: the results
// and errors as text.
std::wstring every_result() {
  std::wstring seen;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return L"no apartment";
  {
    ComPtr<_Matr> matr = create_matr();
    Var a = array_of(in_matrix({{4, 7, 1}, {2, 6, 0}, {1, 0, 3}}, 1), VT_VARIANT);
    for (int round = 0; round < 20; ++round) {
      for (const MethodInfo& method : methods()) {
        if (method.result == ResultKind::kNone) continue;
        Var ref;
        V_VT(ref.ptr()) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(ref.ptr()) = a.ptr();
        std::vector<VARIANT> args(method.args.size(), *ref.ptr());
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        Var result;
        EXCEPINFO exception{};
        const HRESULT hr = matr->Invoke(method.dispid, IID_NULL, LOCALE_USER_DEFAULT,
                                        DISPATCH_METHOD, &params, result.ptr(), &exception, nullptr);
        seen += std::to_wstring(hr) + L" " + text_of(exception.bstrDescription) + L" " +
                std::to_wstring(V_VT(result.ptr()) == VT_R8 ? V_R8(result.ptr()) : 0.0) + L"\n";
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
      }
    }
  }
  CoUninitialize();
  return seen;
}

// Clients on several threads at once, each in its own apartment with its own
// object, get what one gets alone.
TEST(ConcurrentClients, EachInItsOwnApartment) {
  const std::wstring alone = every_result();
  ASSERT_NE(alone.find(L"Type mismatch"), std::wstring::npos);  // mGetYPolin's x is an array
  std::vector<std::wstring> seen(4);
  std::vector<std::thread> threads;
  for (std::wstring& s : seen) threads.emplace_back([&s] { s = every_result(); });
  for (std::thread& t : threads) t.join();
  for (const std::wstring& s : seen) EXPECT_EQ(s, alone);
}

// Type information that tells a name and nothing else, made in memory.
ComPtr<ITypeInfo> named_type(const wchar_t* name) {
  ComPtr<ICreateTypeLib2> library;
  ComPtr<ICreateTypeInfo> created;
  ComPtr<ITypeInfo> info;
  const SYSKIND system = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
  if (name != nullptr && SUCCEEDED(CreateTypeLib2(system, L"widgets.tlb", library.put())) &&
      SUCCEEDED(
          library->CreateTypeInfo(const_cast<LPOLESTR>(name), TKIND_DISPATCH, created.put()))) {
    created->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(info.put()));
  }
  return info;
}

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
      : type_(named_type(kind)), failure_(failure) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ? this : nullptr;
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
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
  ComPtr<ITypeInfo> type_;
  MemberFailure failure_;
  std::wstring value_;
};

// mPrint to a client's object: the kind its type information names decides
// which members are called; a member's failure reaches the caller as a
// run-time error; the server keeps no reference to the object.
TEST_F(LateBound, PrintToClientObjects) {
  const std::wstring text = L"A\r\n1.0000E+00  ";  // the number 1 under the comment "A"
  struct Row {
    const wchar_t* kind;
    MemberFailure failure;
    std::vector<std::wstring> calls;
    std::wstring error;  // "number: description"; empty when the call succeeds
  };
  const std::wstring print = L"Print(" + text + L")";
  const std::wstring unsupported = L"438: Object doesn't support this property or method";
  const MemberFailure picture{L"Print", DISP_E_EXCEPTION, runtime_error(380), 0, L"Bad picture"};
  const MemberFailure paper{L"EndDoc", DISP_E_EXCEPTION, 0, 1001, L"Out of paper"};
  const MemberFailure read_only{L"Text", DISP_E_EXCEPTION, E_FAIL, 0, L"Read only"};
  const Row rows[] = {
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
  for (const Row& row : rows) {
    SCOPED_TRACE(&row - rows);
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
    if (row.error.empty()) {
      EXPECT_EQ(hr, S_OK);
    } else {
      EXPECT_EQ(static_cast<ULONG>(hr) & 0xFFFF0000u, 0x800A0000u) << "a run-time error";
      EXPECT_EQ(std::to_wstring(hr & 0xFFFF) + L": " + error_.description, row.error);
    }
    VariantClear(object.ptr());
    EXPECT_EQ(widget.references, 1u) << "the server released the client's object";
  }
}

}  // namespace
}  // namespace nodrel::com::test
