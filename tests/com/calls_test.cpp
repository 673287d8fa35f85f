// The COM server as its clients see it, from nodrel.dll loaded by the test
// program itself (no registry needed) or through what regsvr32 registered.
//
// The server: the entry points called directly (the class factory, the
// counts behind DllCanUnloadNow, the object's interfaces), the type library
// inside the DLL against the method table, and what regsvr32 leaves in the
// registry: Registration.* runs with the DLL registered, Unregistered.* after
// regsvr32 /u (ctest orders them around the regsvr32 calls).
//
// Calls of Matr's methods as its clients make them:
//   - late bound with typed references (VT_BYREF | VT_R8, VT_BYREF | VT_ARRAY
//     | VT_R8, ...), as a compiled controller passes them: ITypeInfo::Invoke
//     hands them to the function table unchanged, so this is also the path of
//     a client bound early;
//   - as a script: every variable a VARIANT, arrays of variants, each passed
//     as VT_BYREF | VT_VARIANT; arrays come back as arrays of variants;
//   - by value, where the argument stays the caller's;
//   - bound early, through _Matr itself, where the table cannot reach.
// The arithmetic is the core's and has its own tests, and every method goes
// through one Invoke, its dispatch identifier checked against the type
// library (TypeLibrary.*): these check what crosses the boundary, one method
// for each shape of arguments and result: bounds, elements written in place
// or arrays replaced, results, run-time errors with their descriptions, and
// what stays written when a call fails, and that what crosses has one owner.
// The suite runs with WINEDEBUG=warn+heap: a text freed twice fails it, and
// so does an array (see Var).
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "com/com_ptr.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "nodrel_h.h"

namespace nodrel::com::test {
namespace {

// nodrel.dll next to the test program (the build puts both in one folder).
std::wstring dll_path() {
  wchar_t buffer[MAX_PATH] = {};
  const std::wstring path(buffer, GetModuleFileNameW(nullptr, buffer, MAX_PATH));
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"nodrel.dll";
}

// nodrel.dll loaded from there once, for the program's life, and its
// entry points (null when it cannot be loaded).
struct Dll {
  HRESULT(STDAPICALLTYPE* get_class_object)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* can_unload_now)() = nullptr;
};
const Dll& dll() {
  // GetProcAddress returns a generic function pointer; the detour through
  // void* keeps the conversion to the real signature free of warnings.
  static const HMODULE module = LoadLibraryW(dll_path().c_str());
  static const Dll loaded{reinterpret_cast<decltype(Dll::get_class_object)>(
                              reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject"))),
                          reinterpret_cast<decltype(Dll::can_unload_now)>(
                              reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")))};
  return loaded;
}

// Matr's class factory, from nodrel.dll itself.
ComPtr<IClassFactory> factory() {
  ComPtr<IClassFactory> result;
  EXPECT_EQ(dll().get_class_object(CLSID_Matr, IID_PPV_ARGS(result.put())), S_OK);
  return result;
}

// The text of a BSTR that may be null.
std::wstring text_of(BSTR text) { return {text != nullptr ? text : L"", SysStringLen(text)}; }

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
  factory()->LockServer(FALSE);  // and none left: see UnloadCheck
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

// The class is an apartment in-process server of this DLL, named Matr, and
// its type library is this DLL's, registered from the library's own
// attributes. (The interface's keys are what registering any library
// writes; Unregistered.* checks that they go.)
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

using Rows = std::vector<std::vector<double>>;

// An array's contents: (lower, upper) per dimension, first dimension first,
// and the elements as automation stores them, the first index fastest. No
// bounds: a variable that was never dimensioned.
struct Matrix {
  std::vector<std::pair<LONG, LONG>> bounds;
  std::vector<double> elements;
  friend bool operator==(const Matrix&, const Matrix&) = default;
  friend void PrintTo(const Matrix& m, std::ostream* out) {
    for (const auto& [low, high] : m.bounds) *out << low << ".." << high << " ";
    *out << testing::PrintToString(m.elements);
  }
};

// Matrices and vectors hold their data at indices 1..n. With lower bound 0
// the caller's array also has a row 0 and a column 0 (an element 0) filled
// with 99, a value no method may read, and that a method working in place
// leaves there. With a fill of 0 they are arrays as the component makes
// them (made()): bounds from 0, zeros in row 0 and column 0.
Matrix in_matrix(const Rows& rows, LONG lower, double fill = 99) {
  const LONG b = lower == 0 ? 1 : 0, r = static_cast<LONG>(rows.size()) + b;
  const LONG c = (rows.empty() ? 0 : static_cast<LONG>(rows[0].size())) + b;
  Matrix m{{{lower, lower + r - 1}, {lower, lower + c - 1}}, {}};
  for (LONG k = 0; k < r * c; ++k) {
    const LONG i = k % r, j = k / r;
    m.elements.push_back(i < b || j < b ? fill : rows[i - b][j - b]);
  }
  return m;
}
Matrix in_vector(std::vector<double> values, LONG lower, double fill = 99) {
  if (lower == 0) values.insert(values.begin(), fill);
  return {{{lower, lower + static_cast<LONG>(values.size()) - 1}}, values};
}
Matrix made(const Rows& rows) { return in_matrix(rows, 0, 0); }

// A new SAFEARRAY of doubles (VT_R8) or of variants holding doubles
// (VT_VARIANT); null for a Matrix without bounds.
SAFEARRAY* make_array(const Matrix& m, VARTYPE element_type) {
  if (m.bounds.empty()) return nullptr;
  SAFEARRAYBOUND b[2] = {};
  for (std::size_t d = 0; d < m.bounds.size(); ++d) {
    b[d] = {static_cast<ULONG>(m.bounds[d].second - m.bounds[d].first + 1), m.bounds[d].first};
  }
  SAFEARRAY* array = SafeArrayCreate(element_type, static_cast<UINT>(m.bounds.size()), b);
  for (std::size_t k = 0; k < m.elements.size(); ++k) {
    VARIANT* element = static_cast<VARIANT*>(array->pvData) + k;  // of variants
    if (element_type == VT_R8) static_cast<double*>(array->pvData)[k] = m.elements[k];
    if (element_type == VT_VARIANT) V_VT(element) = VT_R8, V_R8(element) = m.elements[k];
  }
  return array;
}

// The contents of an array of doubles, or of variants that must all hold doubles.
Matrix read_array(SAFEARRAY* array) {
  Matrix m;
  std::size_t count = array != nullptr ? 1 : 0;
  for (UINT d = 1; count != 0 && d <= SafeArrayGetDim(array); ++d) {
    LONG low = 0, high = 0;
    SafeArrayGetLBound(array, d, &low), SafeArrayGetUBound(array, d, &high);
    m.bounds.emplace_back(low, high);
    count *= static_cast<std::size_t>(high - low + 1);
  }
  VARTYPE type = VT_EMPTY;
  if (count != 0) SafeArrayGetVartype(array, &type);
  for (std::size_t k = 0; k < count; ++k) {
    const VARIANT* element = static_cast<const VARIANT*>(array->pvData) + k;  // of variants
    // Anything but a double reads as NAN, equal to no element.
    m.elements.push_back(type == VT_R8 ? static_cast<const double*>(array->pvData)[k]
                                       : (V_VT(element) == VT_R8 ? V_R8(element) : NAN));
  }
  return m;
}
SAFEARRAY* array_of(VARIANT* v) { return (V_VT(v) & VT_ARRAY) != 0 ? V_ARRAY(v) : nullptr; }

// An owned VARIANT: of `type` holding `number` (a Boolean true when it is
// not 0, a Date its serial) or `text`, or for VT_ERROR an argument left out;
// a reference to `variable`, a script's (to the VARIANT) or a typed one (to
// its value, which every type keeps at one address); an array made by
// make_array().
class Var {
 public:
  explicit Var(VARTYPE type = VT_EMPTY, double number = 0, const wchar_t* text = nullptr) {
    VariantInit(&value_);
    switch (V_VT(&value_) = type) {
      case VT_BSTR: V_BSTR(&value_) = SysAllocString(text); break;
      case VT_I4: V_I4(&value_) = static_cast<LONG>(number); break;
      case VT_BOOL: V_BOOL(&value_) = number != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
      case VT_ERROR: V_ERROR(&value_) = DISP_E_PARAMNOTFOUND; break;
      default: V_R8(&value_) = number;  // a Date's serial too
    }
  }
  Var(VARIANT* variable, bool script)
      : Var(VT_BYREF | (script ? VARTYPE{VT_VARIANT} : V_VT(variable))) {
    V_BYREF(&value_) = script ? static_cast<void*>(variable) : &V_R8(variable);
  }
  Var(const Matrix& m, VARTYPE t) : Var(VT_ARRAY | t) { V_ARRAY(&value_) = make_array(m, t); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  // Fails on an array the server freed already (its freed block, filled by
  // Wine's heap checking, reads as locked).
  ~Var() { EXPECT_EQ(VariantClear(&value_), S_OK) << "a value of the caller's cannot be freed"; }
  VARIANT* ptr() noexcept { return &value_; }

 private:
  VARIANT value_;
};

// 0x800A0000 + number.
constexpr HRESULT runtime_error(int n) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, n); }

// One argument: the caller's variable before the call and after it. `type`
// is VT_ARRAY for a SAFEARRAY(double)*, VT_VARIANT for an array of variants
// given to a VARIANT* (left out when it has no bounds), else the scalar's.
struct Arg {
  VARTYPE type;
  Matrix before, after;
  double number = 0, number_after = 0;
  const wchar_t* text = nullptr;
  USHORT features = 0;    // of the caller's array; FADF_AUTO here: locked instead
  bool by_value = false;  // passed by value both ways: the caller's, only read
};
Arg io(Matrix before, Matrix after) { return {VT_ARRAY, before, after}; }
Arg in(Matrix m) { return io(m, m); }
Arg out(Matrix after) { return io({}, after); }
Arg real(double x, double after) { return {VT_R8, {}, {}, x, after}; }
Arg integer(LONG n) { return {VT_I4, {}, {}, static_cast<double>(n)}; }
Arg table(Matrix m) { return {VT_VARIANT, m, m}; }
Arg scalar(VARTYPE type, double x, const wchar_t* text = nullptr) {
  return {type, {}, {}, x, x, text};
}
Arg value(Arg a) { return a.after = a.before, a.by_value = true, a; }

struct Case {
  std::string name;  // the method's, then what the case is
  std::vector<Arg> args;
  VARTYPE result_type = VT_EMPTY;  // VT_R8 or VT_BOOL for a method with a result
  double result = 0;
  int error = 0;  // 0: the call succeeds; else the run-time error, with its standard text
};

// Each shape of call once, each argument of lower bound `lower`; run both ways.
std::vector<Case> cases(LONG lower) {
  const auto m = [lower](const Rows& rows) { return in_matrix(rows, lower); };
  const auto v = [lower](const std::vector<double>& values) { return in_vector(values, lower); };
  const Matrix one = m({{7}});  // a dimensioned destination that must be replaced
  const Matrix square = m({{1, 2}, {3, 4}}), flat = m({{1, 1}, {1, 1}}), zero = m({{0, 0}, {0, 0}});
  const Matrix from2{{{2, 3}, {2, 3}}, {1, 2, 3, 4}};  // of lower bounds 2 whatever `lower`
  std::vector<Case> c = {
      {"Initialize_dMatr", {}},
      {"mMatrIsVect", {in(v({1, 2, 3}))}, VT_BOOL, 1},
      {"mIdentical", {in(square), in(m({{1, 2}, {3, 5}}))}, VT_BOOL, 0},
      {"mDet", {in(m({{1, 2, 0}, {3, 4, 0}, {0, 0, 10}}))}, VT_R8, -20},
      {"mSum", {io(zero, m({{11, 22}, {33, 44}})), in(square), in(m({{10, 20}, {30, 40}}))}},
      {"mMult", {out(made({{19, 22, 1}, {43, 50, 3}})), in(square), in(m({{5, 6, 1}, {7, 8, 0}}))}},
      {"mMultVett", {out(in_vector({17, 39}, 0, 0)), in(square), in(v({5, 6}))}},
      {"mTrasp", {io(one, made({{1, 4}, {2, 5}, {3, 6}})), in(m({{1, 2, 3}, {4, 5, 6}}))}},
      {"mOpp", {io(m({{1, -2}, {3, 0}}), m({{-1, 2}, {-3, -0.0}}))}},
      {"mSwapRC",
       {io(square, m({{3, 4}, {1, 2}})), scalar(VT_BSTR, 0, L"r"), integer(1), integer(2)}},
      {"mSwap",
       {io(square, made({{5}, {6}, {7}})), io(m({{5}, {6}, {7}}), made({{1, 2}, {3, 4}}))}},
      {"mSist", {io(v({0, 0}), v({0.8, 1.4})), in(m({{2, 1}, {1, 3}})), in(v({3, 5}))}},
      {"mMakeMatrI", {out(made({{1, 0}, {0, 1}})), integer(2)}},
      {"mProdScal", {io(square, m({{2.5, 5}, {7.5, 10}})), real(2.5, 2.5)}},
      // The copy starts at index 1 of the variant, row 0 and column 0 left out.
      {"mDuplVar", {out(made({{1.5, 2}, {3, 4}})), table(m({{1.5, 2}, {3, 4}}))}},
      // Points (x, y) on y = 1 + 2x; NoPoints left out.
      {"mPolin", {out(in_vector({1, 2}, 0, 0)), in(m({{0, 1}, {1, 3}})), integer(2), table({})}},
      {"mGetYPolin", {real(2, 2), in(v({1, 2, 3}))}, VT_R8, 17},
      // The roots of x^2 + 2x - 3 = 0 go into the caller's x1 and x2; MaxF left out.
      {"mGetXsOfQuadr", {real(42, 1), real(42, -3), real(0, 0), in(v({-3, 2, 1})), table({})}},

      {"mTrace of nothing", {in({})}, VT_R8, 0, 9},
      // What was written before the error stays written: x(1) holds the faulty quotient.
      {"mSist singular", {io(v({0, 0}), v({-HUGE_VAL, 0})), in(flat), in(v({1, 2}))}, 0, 0, 11},
      // Re-dimensioned before the failure: the destination comes back so.
      {"mDupl of lower bounds 2", {io(one, made(Rows(3, {0, 0, 0}))), in(from2)}, 0, 0, 9},
      {"mDuplVar of nothing", {out({}), table({})}, 0, 0, 449},
      // A value that reaches a Long argument (the order of mMakeVectNul)
      // converts as the core converts it (the texts are the core's, with
      // their own tests); one that does not is error 13.
      {"mMakeVectNul of a text",
       {io(one, in_vector({0, 0, 0}, 0, 0)), value(scalar(VT_BSTR, 0, L"3"))}},
      {"mMakeVectNul of a Date",
       {io(one, in_vector({0, 0, 0, 0}, 0, 0)), value(scalar(VT_DATE, 3.5))}},
      {"mMakeVectNul of True", {in(one), value(scalar(VT_BOOL, 1))}, 0, 0, 9},
      {"mMakeVectNul of no number", {in(one), scalar(VT_BSTR, 0, L"abc")}, 0, 0, 13},
      {"mMakeVectNul of Null", {in(one), value(scalar(VT_NULL, 0))}, 0, 0, 13},
      // An array passed by value is read, never replaced nor written.
      {"mMakeVectNul into a value", {value(in(square)), integer(3)}},
      {"mDet of a value", {value(in(m({{2, 0}, {0, 5}})))}, VT_R8, 10}};
  // Arrays the caller holds fixed, or locked, are never replaced: a
  // re-dimensioning fails with error 10; their elements are written in place.
  for (const USHORT features : {FADF_FIXEDSIZE, FADF_STATIC, FADF_EMBEDDED, FADF_AUTO}) {
    Arg held = in(square);
    held.features = features;
    c.push_back({"mMakeMatrI, features " + std::to_string(features), {held, integer(3)}, 0, 0, 10});
    held.after = m({{-1, -2}, {-3, -4}});
    c.push_back({"mOpp, features " + std::to_string(features), {held}});
  }
  for (Case& k : c) k.name += ", lower bound " + std::to_string(lower);
  return c;
}

// A client holding one Matr, late bound.
class Client : public testing::Test {
 protected:
  Client() { factory()->CreateInstance(nullptr, IID_PPV_ARGS(matr_.put())); }

  // Calls `method` with `args` in the method's order (Invoke takes them last
  // first): the HRESULT, or the scode of a run-time error, whose source and
  // description land in source_ and description_.
  HRESULT call(std::string_view method, const std::vector<VARIANT*>& args) {
    std::wstring name(method.begin(), method.end());
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    matr_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    std::vector<VARIANT> values;
    for (auto a = args.rbegin(); a != args.rend(); ++a) values.push_back(**a);
    DISPPARAMS params{values.data(), nullptr, static_cast<UINT>(values.size()), 0};
    EXCEPINFO exception{};
    bad_argument_ = 99;
    VariantClear(result_.ptr());
    HRESULT hr = matr_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                               result_.ptr(), &exception, &bad_argument_);
    // A late-bound caller finds a run-time error in EXCEPINFO, never as the HRESULT.
    EXPECT_NE(HRESULT_FACILITY(hr), FACILITY_CONTROL);
    // A value passed is only read: it comes back bit for bit, never converted in place
    // or replaced (nor freed: see Var).
    for (std::size_t k = 0; k < values.size(); ++k) {
      const VARIANT& a = *args[values.size() - 1 - k];
      EXPECT_TRUE((V_VT(&a) & VT_BYREF) != 0 || std::memcmp(&a, &values[k], sizeof a) == 0)
          << method << " changed its argument " << values.size() - k;
    }
    if (hr == DISP_E_EXCEPTION) hr = exception.scode;
    source_ = text_of(exception.bstrSource), description_ = text_of(exception.bstrDescription);
    SysFreeString(exception.bstrSource), SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
  }

  // Makes the call `c` with the caller's variables, each a VARIANT, passed
  // as a script's references or as typed references to their values; checks
  // the HRESULT, the result or the error's description, and every variable
  // afterwards.
  void run(const Case& c, bool script) {
    SCOPED_TRACE(c.name + (script ? ", script" : ", typed"));
    std::deque<Var> values, refs;
    std::vector<VARIANT*> pointers;
    std::vector<SAFEARRAY*> before;
    for (const Arg& a : c.args) {
      const bool variants = script || a.type == VT_VARIANT;
      VARIANT* v = (a.type == VT_ARRAY || a.type == VT_VARIANT
                        ? values.emplace_back(a.before, variants ? VT_VARIANT : VT_R8)
                        : values.emplace_back(a.type, a.number, a.text))
                       .ptr();
      if (a.before.bounds.empty() && a.type == VT_VARIANT) *v = *Var(VT_ERROR).ptr();  // left out
      if (a.before.bounds.empty() && a.type == VT_ARRAY && script) V_VT(v) = VT_EMPTY;
      if (array_of(v) != nullptr) array_of(v)->fFeatures |= a.features & ~FADF_AUTO;
      if (a.features == FADF_AUTO) SafeArrayLock(array_of(v));
      pointers.push_back(a.by_value ? v : refs.emplace_back(v, variants).ptr());
      before.push_back(array_of(v));
    }
    EXPECT_EQ(call(c.name.substr(0, c.name.find_first_of(" ,")), pointers),
              c.error != 0 ? runtime_error(c.error) : S_OK);
    // An argument that does not bind (13, 449: the last one in these cases) is
    // named in puArgErr, counted last to first; the method's own errors name none.
    EXPECT_EQ(bad_argument_, c.error == 13 || c.error == 449 ? 0u : 99u);
    if (c.error != 0) {
      const std::string_view text = describe(static_cast<ErrorNumber>(c.error));
      EXPECT_EQ(source_ + L": " + description_,
                L"Nodrel.Matr: " + std::wstring(text.begin(), text.end()));
    } else if (c.result_type != VT_EMPTY) {
      EXPECT_EQ(V_VT(result_.ptr()), c.result_type);
      EXPECT_EQ(c.result_type == VT_BOOL ? V_BOOL(result_.ptr()) : V_R8(result_.ptr()),
                c.result_type == VT_BOOL ? -c.result : c.result);
    }
    for (std::size_t i = 0; i < c.args.size(); ++i) {
      SCOPED_TRACE("argument " + std::to_string(i + 1));
      const Arg& a = c.args[i];
      VARIANT* v = values[i].ptr();
      if (a.type == VT_ARRAY) {
        EXPECT_TRUE(!script || a.after.bounds.empty() || V_VT(v) == (VT_ARRAY | VT_VARIANT))
            << "scripts read arrays of variants";
        EXPECT_EQ(read_array(array_of(v)), a.after);
      }
      EXPECT_TRUE((a.type != VT_VARIANT && !a.by_value) || array_of(v) == before[i]) << "kept";
      EXPECT_TRUE(a.type != VT_R8 || (V_VT(v) == VT_R8 && V_R8(v) == a.number_after)) << V_R8(v);
      if (array_of(v) != nullptr) array_of(v)->fFeatures &= static_cast<USHORT>(~a.features);
      if (a.features == FADF_AUTO) SafeArrayUnlock(array_of(v));
    }
  }

  ComPtr<_Matr> matr_;
  Var result_;
  std::wstring source_, description_;
  UINT bad_argument_ = 99;  // puArgErr of the latest call(), 99 when not set
};
using Stress = Client;

TEST_F(Client, EachShapeBothWaysFromBothLowerBounds) {
  for (const LONG lower : {0, 1}) {
    for (const Case& c : cases(lower)) run(c, false), run(c, true);
  }
  Var array(in_matrix({{2, 0}, {0, 5}}, 1), VT_R8);
  for (std::size_t count : {0, 2, 3}) {
    EXPECT_EQ(call("mDet", std::vector<VARIANT*>(count, array.ptr())), DISP_E_BADPARAMCOUNT);
  }
}

// A careless client in a loop, run as its own test (nodrel_com_stress):
// every method but mPrint and mShowAbout (a window, the clipboard or a
// file), with arguments picked at random (one fixed seed) among numbers,
// texts, nothing and arrays of doubles or of variants of lower bound 0 or 1,
// each passed by value, as a script's reference or as a typed reference.
// Methods fill or replace the caller's arrays and fail halfway: the paths
// where the server frees, copies and hands over. Every by-value argument
// comes back as it went (see Client::call); the caller frees everything it
// owns afterwards, what the server handed back included (see Var); and what
// the server copies it frees: private memory does not grow when the same
// calls are made a third time after a second (what the first took stays
// with the heap).
TEST_F(Stress, WhatCrossesHasOneOwner) {
  constexpr int kCalls = 4000;  // a round: a copy leaked now and then grows it beyond the noise
  SIZE_T after[3] = {};
  for (SIZE_T& bytes : after) {
    const char* seed = std::getenv("NODREL_STRESS_SEED");  // others: see scripts/fuzz.sh
    std::minstd_rand random(seed != nullptr ? std::atoi(seed) : 1);
    for (int k = 0; k < kCalls; ++k) {
      const MethodInfo& method = methods()[random() % methods().size()];
      if (method.name == "mPrint" || method.name == "mShowAbout") continue;
      std::deque<Var> variables;
      std::vector<VARIANT*> args;
      for (std::size_t i = 0; i < method.args.size(); ++i) {
        const unsigned kind = random() % 6, way = random() % 3;
        const LONG lower = static_cast<LONG>(random() % 2);
        const Matrix m = kind == 3 ? in_vector({1, 2}, lower) : in_matrix({{1, 2}, {3, 4}}, lower);
        const VARTYPE scalar = kind == 0 ? VT_R8 : kind == 1 ? VT_BSTR : VT_EMPTY;
        VARIANT* v = (kind < 3 ? variables.emplace_back(scalar, 2, lower == 0 ? L"2" : L"R")
                               : variables.emplace_back(m, kind == 5 ? VT_VARIANT : VT_R8))
                         .ptr();
        // A script's reference, or a typed one where the value has a type.
        if (way != 0) v = variables.emplace_back(v, way == 1 || V_VT(v) == VT_EMPTY).ptr();
        args.push_back(v);
      }
      call(method.name, args);
    }
    MEMORY_BASIC_INFORMATION info;  // the committed private memory (Wine has no PrivateUsage)
    for (const char* p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;
         p = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
      if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) bytes += info.RegionSize;
    }
  }
  EXPECT_LE(after[2], after[1] + kCalls / 2 + 65536)
      << "private memory grew from " << after[0] << " to " << after[1] << " and " << after[2];
}

// Bound early, where the table cannot reach: one array in two variables,
// null pointers, the error object of each call.
TEST_F(Client, EarlyBoundOneArrayNullPointersAndTheErrorObject) {
  SAFEARRAY* a = make_array(in_matrix({{1, 2}, {3, 4}}, 1), VT_R8);
  SAFEARRAY *alias = a, *none = nullptr;  // both re-dimensioned, one array: replaced once
  ASSERT_EQ(matr_->mSwap(&a, &alias), S_OK);
  EXPECT_EQ(alias, a);
  EXPECT_EQ(read_array(a), made({{1, 2}, {3, 4}}));
  double r = 7;
  EXPECT_EQ(matr_->mDet(nullptr, &r), runtime_error(5));  // a null pointer is no argument
  EXPECT_EQ(matr_->mMod(&a, nullptr), runtime_error(5));  // nor a null result
  EXPECT_EQ(r, 0.0) << "a failed call leaves its result defined";
  // The error object, whose texts late-bound callers get in EXCEPINFO; taking
  // it (GetErrorInfo) clears it.
  ComPtr<IErrorInfo> info;
  EXPECT_EQ(matr_->mDet(&a, &r), S_OK);
  EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE) << "each call clears the error object";
  EXPECT_EQ(matr_->mDuplVar(&none, nullptr), runtime_error(449));  // a null VARIANT*: left out
  GUID guid{};
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  EXPECT_TRUE(info->GetGUID(&guid) == S_OK && IsEqualGUID(guid, IID__Matr));
  // An array of longs is no array of doubles.
  SAFEARRAY* longs = SafeArrayCreateVector(VT_I4, 1, 3);
  EXPECT_EQ(matr_->mDet(&longs, &r), runtime_error(13));
  SafeArrayDestroy(longs), SafeArrayDestroy(a);
}

// A print destination of the client's, as a late-bound client passes it:
// type information naming its `kind` (none for a null kind), the members
// Cls, Print, Text, Caption and EndDoc, each call recorded. The member
// `failing` fails with `hr`: DISP_E_UNKNOWNNAME from GetIDsOfNames (the
// member is missing), any other from Invoke, with EXCEPINFO filled in.
struct MemberFailure {
  const wchar_t* member = L"";
  HRESULT hr = S_OK;
  SCODE scode = 0;
  WORD wcode = 0;
  const wchar_t* description = nullptr;
};

class FakeWidget final : public IDispatch {
 public:
  FakeWidget(const wchar_t* kind, MemberFailure failure) : f_(failure) {
    ComPtr<ICreateTypeLib2> library;
    ComPtr<ICreateTypeInfo> made;
    if (kind == nullptr) return;
    CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, L"w", library.put());
    library->CreateTypeInfo(const_cast<LPOLESTR>(kind), TKIND_DISPATCH, made.put());
    made->QueryInterface(IID_PPV_ARGS(type_.put()));
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ? this : nullptr;
    return *out != nullptr ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = !!type_, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = ComPtr<ITypeInfo>(type_).detach();
    return type_ ? S_OK : TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* id) override {
    *id = DISPID_UNKNOWN;
    for (DISPID k = 0; k < 5; ++k) *id = _wcsicmp(names[0], kMembers[k]) == 0 ? k : *id;
    const bool missing = failing(*id) && f_.hr == DISP_E_UNKNOWNNAME;
    return *id == DISPID_UNKNOWN || missing ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    if (failing(id)) {
      exception->scode = f_.scode, exception->wCode = f_.wcode;
      exception->bstrDescription = SysAllocString(f_.description);
      return f_.hr;
    }
    const std::wstring member = kMembers[id];
    if (flags == DISPATCH_PROPERTYGET) {
      V_VT(result) = VT_BSTR, V_BSTR(result) = SysAllocString(value_.c_str());
      return calls.push_back(member + L"?"), S_OK;
    }
    // A property's new value is the one named argument DISPID_PROPERTYPUT.
    const bool put = flags == DISPATCH_PROPERTYPUT, one = params->cArgs == 1;
    if (put != (params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT)) {
      return DISP_E_PARAMNOTFOUND;
    }
    if (one && V_VT(&params->rgvarg[0]) != VT_BSTR) return DISP_E_TYPEMISMATCH;
    const std::wstring argument = one ? text_of(V_BSTR(&params->rgvarg[0])) : L"";
    if (put) value_ = argument;
    calls.push_back(put ? member + L"=" + argument : member + (one ? L"(" + argument + L")" : L""));
    return S_OK;
  }

  ULONG references = 1;
  std::vector<std::wstring> calls;

 private:
  static constexpr const wchar_t* kMembers[] = {L"Cls", L"Print", L"Text", L"Caption", L"EndDoc"};
  bool failing(DISPID id) const { return id >= 0 && wcscmp(f_.member, kMembers[id]) == 0; }
  MemberFailure f_;
  ComPtr<ITypeInfo> type_;
  std::wstring value_;
};

// mPrint to a client's object: the kind its type information names decides
// which members are called; a member's failure reaches the caller as a
// run-time error; the server keeps no reference to the object.
TEST_F(Client, PrintToClientObjects) {
  const std::wstring text = L"A\r\n1.0000E+00  ";  // the number 1 under the comment "A"
  const std::wstring print = L"Print(" + text + L")";
  const std::wstring unsupported = L"438: Object doesn't support this property or method";
  const MemberFailure picture{L"Print", DISP_E_EXCEPTION, runtime_error(380), 0, L"Bad picture"};
  const MemberFailure paper{L"EndDoc", DISP_E_EXCEPTION, 0, 1001, L"Out of paper"};
  const struct {
    const wchar_t* kind;
    std::vector<std::wstring> calls;
    std::wstring error;  // "number: description"; empty when the call succeeds
    MemberFailure failure;
  } rows[] = {
      {L"Form", {L"Cls", print}, L"", {}},
      {L"PictureBox", {L"Cls", print}, L"", {}},
      {L"textbox", {L"Text=", L"Text?", L"Text=" + text + L"\r\n"}, L"", {}},  // any case
      {L"Label", {L"Caption=", L"Caption?", L"Caption=" + text}, L"", {}},
      {L"Printer", {print, L"EndDoc"}, L"", {}},
      {L"ListBox", {}, L"", {}},
      {nullptr, {}, L"", {}},  // no type information
      // The client's run-time error, its wCode, a foreign scode with its text.
      {L"Form", {L"Cls"}, L"380: Bad picture", picture},
      {L"Printer", {print}, L"1001: Out of paper", paper},
      {L"TextBox", {}, L"440: Read only", {L"Text", DISP_E_EXCEPTION, E_FAIL, 0, L"Read only"}},
      {L"PictureBox", {}, L"440: Automation error", {L"Cls", E_ACCESSDENIED}},
      {L"Label", {}, unsupported, {L"Caption", DISP_E_UNKNOWNNAME}},
      {L"Printer", {}, unsupported, {L"Print", DISP_E_MEMBERNOTFOUND}},
  };
  Var number(VT_R8, 1), missing(VT_ERROR), comment(VT_BSTR, 0, L"A"), keep(VT_BOOL, 0);
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    FakeWidget widget(row.kind, row.failure);
    VARIANT object;
    V_VT(&object) = VT_DISPATCH, V_DISPATCH(&object) = &widget;
    const HRESULT hr = call("mPrint", {number.ptr(), &object, missing.ptr(), missing.ptr(),
                                       comment.ptr(), missing.ptr(), keep.ptr()});
    EXPECT_EQ(widget.calls, row.calls);
    EXPECT_EQ(hr == S_OK ? L"" : std::to_wstring(hr & 0xFFFF) + L": " + description_, row.error);
    EXPECT_EQ(widget.references, 1u) << "the server released the client's object";
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
