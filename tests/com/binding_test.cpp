// One set of conversion rules: a value that reaches a String or a Long
// argument through IDispatch::Invoke, by value or as a script's reference,
// gives what the core's late binding gives the same value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/com_support.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"

namespace nodrel::com::test {
namespace {

// A call's outcome: its run-time error (0: none), the argument the binding
// refused (-1: none) and the array argument afterwards.
struct Outcome {
  int error = 0;
  int refused = -1;
  Matrix array;
  friend bool operator==(const Outcome&, const Outcome&) = default;
};
void PrintTo(const Outcome& o, std::ostream* out) {
  *out << "error " << o.error << " at " << o.refused << ", ";
  PrintTo(o.array, out);
}

Outcome through_core(const MethodInfo& method, std::vector<Variant> args) {
  Outcome o;
  Matr m;
  std::vector<Variant*> pointers;
  for (Variant& a : args) pointers.push_back(&a);
  std::size_t failed = args.size();
  try {
    invoke(m, method.dispid, pointers, &failed);
  } catch (const Error& e) {
    o.error = e.code();
  }
  o.refused = failed < args.size() ? static_cast<int>(failed) : -1;
  if (const DoubleArray* a = args[0].double_array()) {
    for (const ArrayBound& b : a->bounds()) {
      o.array.bounds.emplace_back(b.lower, b.lower + static_cast<LONG>(b.count) - 1);
    }
    o.array.elements = a->storage();
  }
  return o;
}

// The array a script's variable holding `array` (Empty when it has no
// bounds), `value` by value or as a script's reference, then `rest`.
Outcome through_invoke(const MethodInfo& method, const Matrix& array, VARIANT* value,
                       bool by_reference, std::vector<LONG> rest) {
  Var variable, value_ref;
  if (!array.bounds.empty()) {
    V_VT(variable.ptr()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(variable.ptr()) = make_array(array, VT_VARIANT);
  }
  V_VT(value_ref.ptr()) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(value_ref.ptr()) = value;
  // Invoke takes the arguments last first.
  std::vector<VARIANT> args(rest.size());
  for (std::size_t k = 0; k < rest.size(); ++k) {
    V_VT(&args[rest.size() - 1 - k]) = VT_I4;
    V_I4(&args[rest.size() - 1 - k]) = rest[k];
  }
  args.push_back(by_reference ? *value_ref.ptr() : *value);
  VARIANT& first = args.emplace_back();
  V_VT(&first) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&first) = variable.ptr();
  ComPtr<_Matr> matr = create_matr();
  DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
  EXCEPINFO exception{};
  UINT bad_argument = 99;
  const HRESULT hr = matr->Invoke(method.dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                  &params, nullptr, &exception, &bad_argument);
  Outcome o;
  if (hr == DISP_E_EXCEPTION) o.error = exception.scode - runtime_error(0);
  EXPECT_TRUE(hr == S_OK || (hr == DISP_E_EXCEPTION && o.error > 0 && o.error < 0x10000)) << hr;
  if (bad_argument != 99) o.refused = static_cast<int>(args.size() - 1 - bad_argument);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  o.array = read_array((V_VT(variable.ptr()) & VT_ARRAY) != 0 ? V_ARRAY(variable.ptr()) : nullptr);
  return o;
}

TEST(Binding, ScriptsAndTheCoreConvertAlike) {
  struct Value {
    const char* name;
    Variant core;
    VARTYPE type;
    double number;  // a VT_DATE's serial, a VT_BOOL's value
    const wchar_t* text;
  };
  const Value values[] = {
      {"True", true, VT_BOOL, -1, nullptr},  {"a date", Date{3.5}, VT_DATE, 3.5, nullptr},
      {"&HFF", "&HFF", VT_BSTR, 0, L"&HFF"}, {"1e1", "1e1", VT_BSTR, 0, L"1e1"},
      {" 2 ", " 2 ", VT_BSTR, 0, L" 2 "},    {"r", "r", VT_BSTR, 0, L"r"},
  };
  const Matrix square = in_matrix({{1, 2}, {3, 4}}, 1);
  for (const Value& v : values) {
    Var value = v.type == VT_BSTR ? Var::text(v.text) : Var::number(v.number);
    V_VT(value.ptr()) = v.type;
    if (v.type == VT_BOOL) V_BOOL(value.ptr()) = VARIANT_TRUE;
    if (v.type == VT_DATE) V_DATE(value.ptr()) = v.number;
    for (const bool by_reference : {false, true}) {
      SCOPED_TRACE(std::string(v.name) + (by_reference ? " by reference" : " by value"));
      // The selector of mSwapRC, a String; the order of mMakeVectNul, a Long.
      const MethodInfo& swap = *find_method("mSwapRC");
      EXPECT_EQ(through_invoke(swap, square, value.ptr(), by_reference, {1, 2}),
                through_core(swap, {DoubleArray::matrix({{1, 2}, {3, 4}}), v.core, 1, 2}));
      const MethodInfo& make = *find_method("mMakeVectNul");
      EXPECT_EQ(through_invoke(make, {}, value.ptr(), by_reference, {}),
                through_core(make, {Variant(), v.core}));
    }
  }
}

// Calls no longer pass through the type library, but clients that read it
// (early-bound Visual Basic) may leave out exactly the arguments the table
// calls optional, and find the result where the table has one.
TEST(Binding, TheTypeLibraryMarksOptionalArgumentsAndResults) {
  ComPtr<ITypeLib> library;
  ComPtr<ITypeInfo> dispatch, table;
  HREFTYPE reference = 0;
  ASSERT_EQ(LoadTypeLibEx(dll_path().c_str(), REGKIND_NONE, library.put()), S_OK);
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID__Matr, dispatch.put()), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeInfo(reference, table.put()), S_OK);
  for (UINT index = 0; index < methods().size(); ++index) {
    const MethodInfo& method = methods()[index];
    std::string expected, seen;
    for (const ArgumentInfo& a : method.args) expected += a.optional ? 'o' : '-';
    if (method.result != ResultKind::kNone) expected += 'r';
    FUNCDESC* function = nullptr;
    ASSERT_EQ(table->GetFuncDesc(index, &function), S_OK);
    for (SHORT p = 0; p < function->cParams; ++p) {
      const USHORT flags = function->lprgelemdescParam[p].paramdesc.wParamFlags;
      seen += (flags & PARAMFLAG_FRETVAL) != 0 ? 'r' : (flags & PARAMFLAG_FOPT) != 0 ? 'o' : '-';
    }
    table->ReleaseFuncDesc(function);
    EXPECT_EQ(seen, expected) << method.name;
  }
}

}  // namespace
}  // namespace nodrel::com::test
