// Late binding: the method table's identifiers and names, every method
// reached by name, and how the caller's Variants are checked, converted,
// handed to a method and written back.
#include "nodrel/dispatch.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/fakes.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

std::vector<std::string> shown(const std::vector<Variant>& values) {
  std::vector<std::string> text;
  for (const Variant& v : values) text.push_back(show(v));
  return text;
}

Variant matrix(std::initializer_list<std::initializer_list<double>> rows) {
  return DoubleArray::matrix(rows);
}
Variant vector(std::vector<double> values) { return DoubleArray::vector(std::move(values)); }

// The text of a destination re-dimensioned from 0 and filled from (1, 1).
std::string from0(std::initializer_list<std::initializer_list<double>> rows) {
  DoubleArray a = DoubleArray::zeros(static_cast<std::int32_t>(rows.size()),
                                     static_cast<std::int32_t>(rows.begin()->size()));
  std::int32_t i = 0;
  for (const auto& row : rows) {
    std::int32_t j = 0;
    ++i;
    for (double x : row) a(i, ++j) = x;
  }
  return show(a);
}

TEST(DispatchTest, EveryMethodIsReachedByNameAndWritesBack) {
  const Variant a = matrix({{4, 7}, {2, 6}}), ones = matrix({{1, 1}, {1, 1}}), e;
  const Variant missing = Variant::missing(), zeros = DoubleArray::zeros(2, 2);
  struct Call {
    const char* name;  // spelled as a client might
    std::vector<Variant> args;
    std::string result;
    // The arguments the call changes, by position, as they are afterwards;
    // every other argument must be as it was.
    std::map<std::size_t, std::string> written;
  };
  std::vector<Call> calls = {
      {"Initialize_dMatr", {}, "Empty", {}},
      {"mMatrIsVect", {vector({1, 2})}, "Boolean True", {}},
      {"MMATRISQUADR", {a}, "Boolean True", {}},
      {"mdet", {a}, "Double 10", {}},
      {"mSum", {zeros, a, ones}, "Empty", {{0, from0({{5, 8}, {3, 7}})}}},
      {"mSum", {e, matrix({{1}}), a}, "Empty", {}},  // ErrCode 1: nothing written
      {"mDiff", {zeros, a, ones}, "Empty", {{0, from0({{3, 6}, {1, 5}})}}},
      {"mMult", {e, a, ones}, "Empty", {{0, from0({{11, 11}, {8, 8}})}}},
      {"mMultVett", {e, a, vector({1, 2})}, "Empty", {{0, "DoubleArray 0..2 [0,18,14]"}}},
      {"mMatrIsSing", {matrix({{1, 2}, {2, 4}})}, "Boolean True", {}},
      {"mDivd", {e, a, matrix({{2, 0}, {0, 4}})}, "Empty", {{0, from0({{2, 3.5}, {0.5, 1.5}})}}},
      {"mTrasp", {e, matrix({{1, 2, 3}})}, "Empty", {{0, from0({{1}, {2}, {3}})}}},
      {"mOpp", {a}, "Empty", {{0, "DoubleArray 1..2,1..2 [-4,-7;-2,-6]"}}},
      {"mSwapRC", {a, "r", 1, "2"}, "Empty", {{0, "DoubleArray 1..2,1..2 [2,6;4,7]"}}},
      {"mDiag", {matrix({{2, 1}, {4, 3}})}, "Empty", {{0, "DoubleArray 1..2,1..2 [2,0;0,1]"}}},
      {"mSwap", {a, matrix({{5}})}, "Empty", {{0, from0({{5}})}, {1, from0({{4, 7}, {2, 6}})}}},
      {"mSist",
       {vector({0, 0}), matrix({{2, 1}, {1, 3}}), vector({5, 10})},
       "Empty",
       {{0, "DoubleArray 1..2 [1,3]"}}},
      {"mMakeMatrNul", {e, 2.0, "1"}, "Empty", {{0, from0({{0}, {0}})}}},
      {"mMakeVectNul", {a, 2}, "Empty", {{0, "DoubleArray 0..2 [0,0,0]"}}},
      {"mMakeMatrI", {e, 2}, "Empty", {{0, from0({{1, 0}, {0, 1}})}}},
      // Longs convert as automation converts them (2.5 to 2, 3.5 to 4) and are only read.
      {"mMakeVectNul", {e, 2.5}, "Empty", {{0, "DoubleArray 0..2 [0,0,0]"}}},
      {"mMakeVectNul", {e, 3.5}, "Empty", {{0, "DoubleArray 0..4 [0,0,0,0,0]"}}},
      {"mMakeVectI", {e, 3}, "Empty", {{0, "DoubleArray 0..3 [0,1,1,1]"}}},
      {"mPrint",
       {5, missing, "debug", missing, missing, true},
       "Empty",
       {{2, "String \"DEBUG\""}, {5, "Boolean False"}}},
      {"mMod", {vector({3, 4})}, "Double 5", {}},
      {"mProdScal", {a, "2.5"}, "Empty", {{0, "DoubleArray 1..2,1..2 [10,17.5;5,15]"}}},
      {"mTrace", {matrix({{1, 9}, {9, 2}})}, "Double 3", {}},  // not mDet's 10
      {"mIdentical", {a, ones}, "Boolean False", {}},
      {"mMatrIsOrt", {matrix({{0, 1}, {1, 0}})}, "Boolean True", {}},
      {"mMatrAreOrt", {matrix({{0, -1}, {1, 0}}), matrix({{0, 1}, {-1, 0}})}, "Boolean True", {}},
      {"mMatrIsUnit", {matrix({{1, 0}, {0, 1}})}, "Boolean True", {}},
      {"mMatrIsZero", {DoubleArray::zeros(1, 1)}, "Boolean True", {}},
      {"mInv", {a}, "Empty", {{0, from0({{0.6, -0.7}, {-0.2, 0.4}})}}},
      {"mDupl", {e, a}, "Empty", {{0, from0({{4, 7}, {2, 6}})}}},
      {"mDuplVar", {e, VariantArray::matrix({{1, "2"}})}, "Empty", {{0, from0({{1, 2}})}}},
      {"mPolin", {e, matrix({{0, 1}, {1, 3}}), 2}, "Empty", {{0, "DoubleArray 0..2 [0,1,2]"}}},
      {"mGetYPolin", {4, vector({-1, 2})}, "Double 7", {}},
      {"mGetXsOfQuadr",
       {0, 0, -1, vector({1, -2, 1}), true},
       "Empty",
       {{0, "Double 1"}, {1, "Double 0"}}},
      {"mShowAbout", {}, "Empty", {}},
  };
  fakes::Log about;  // the About box, recorded instead of shown
  set_default_platform(std::make_shared<fakes::FakePlatform>(about));
  std::set<std::string> reached;
  for (Call& c : calls) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> expected = shown(c.args);
    for (const auto& [k, text] : c.written) expected[k] = text;
    Matr m;
    EXPECT_EQ(show(invoke(m, c.name, pointers(c.args))), c.result);
    EXPECT_EQ(shown(c.args), expected);
    reached.insert(std::string(find_method(c.name)->name));
  }
  set_default_platform(nullptr);
  EXPECT_EQ(reached.size(), methods().size());
  EXPECT_EQ(about, fakes::Log{"About(Info on Nodrel)"});
  Matr m;
  leave_code_3(m);
  call(m, "initialize_dmatr");
  EXPECT_EQ(m.ErrCode(), 0);
  EXPECT_EQ(m.ErrMsg(4), "Matrice Singolare");
}

// A value that binds to an argument of that kind without error.
std::vector<Variant> valid_arguments(const MethodInfo& m) {
  std::vector<Variant> values;
  for (const ArgumentInfo& a : m.args) {
    const Variant kinds[] = {DoubleArray::matrix({{1, 2}, {3, 4}}), 1.0, 1, "R", 1.0};
    values.push_back(kinds[static_cast<int>(a.kind)]);
  }
  return values;
}

// Errors of binding come before the method runs: nothing of the call may be
// visible afterwards, neither in ErrCode nor in the arguments; the argument
// at fault is `at`.
void expect_refused(const MethodInfo& method, std::vector<Variant> values, int number,
                    std::size_t at, std::size_t null_at = SIZE_MAX) {
  Matr m;
  leave_code_3(m);
  const auto before = shown(values);
  auto p = pointers(values);
  if (null_at < p.size()) p[null_at] = nullptr;
  std::size_t failed = SIZE_MAX;
  EXPECT_RUNTIME_ERROR(invoke(m, method.dispid, p, &failed), number);
  EXPECT_EQ(failed, at);
  EXPECT_EQ(m.ErrCode(), 3) << "the method ran";
  EXPECT_EQ(shown(values), before) << "an argument changed";
}

TEST(DispatchTest, BindingRefusesBeforeTheMethodRuns) {
  struct Bad {
    ArgKind kind;
    Variant value;
    int number;
  };
  const std::vector<Bad> bad = {
      {ArgKind::kDoubleArray, "abc", 13},
      {ArgKind::kDoubleArray, 2.0, 13},
      {ArgKind::kDoubleArray, Variant::null(), 13},
      {ArgKind::kDoubleArray, VariantArray::vector({1, "x"}), 13},
      {ArgKind::kDoubleArray, VariantArray::vector({1, Variant::null()}), 94},
      {ArgKind::kDoubleArray, VariantArray::vector({"1e999"}), 6},
      {ArgKind::kDouble, "abc", 13},
      {ArgKind::kDouble, ErrorValue{5}, 13},
      {ArgKind::kDouble, Variant::null(), 94},
      {ArgKind::kLong, DoubleArray::vector({1}), 13},
      {ArgKind::kLong, Variant::null(), 13},
      {ArgKind::kLong, 3e9, 6},
      {ArgKind::kString, VariantArray::vector({"R"}), 13},
      {ArgKind::kString, Date{1.0}, 13},
      {ArgKind::kString, Variant::null(), 94},
  };
  int checked = 0;
  for (const MethodInfo& method : methods()) {
    SCOPED_TRACE(method.name);
    auto values = valid_arguments(method);
    values.emplace_back(1.0);
    // Too many, before any argument is looked at.
    expect_refused(method, values, 450, method.args.size());
    if (!method.args.empty()) {
      values.front() = Variant::missing();
      expect_refused(method, values, 450, method.args.size());
    }
    for (std::size_t k = 0; k < method.args.size(); ++k) {
      SCOPED_TRACE(method.args[k].name);
      if (!method.args[k].optional) {
        values = valid_arguments(method);  // left off, missing, or a null pointer: 449
        expect_refused(method, std::vector<Variant>(values.begin(), values.begin() + k), 449, k);
        expect_refused(method, values, 449, k, k);
        values[k] = Variant::missing();
        expect_refused(method, values, 449, k);
      }
      for (const Bad& b : bad) {
        if (b.kind != method.args[k].kind) continue;
        values = valid_arguments(method);
        values[k] = b.value;
        expect_refused(method, values, b.number, k);
        ++checked;
      }
    }
  }
  // The interface has 51 array, 5 double, 8 long and 1 string arguments.
  EXPECT_EQ(checked, 51 * 6 + 5 * 3 + 8 * 3 + 1 * 3);
  Matr m;
  std::vector<Variant*> none;
  EXPECT_RUNTIME_ERROR(invoke(m, "SwapValues", none), 438);
  EXPECT_RUNTIME_ERROR(invoke(m, kDispidBase + 0x21, none), 438);
}

TEST(DispatchTest, WriteBacks) {
  Matr m;
  // Empty is an array never dimensioned, and stays Empty when a call fails.
  Variant never, source = matrix({{1}});
  EXPECT_RUNTIME_ERROR(call(m, "mSum", never, source, source), 9);
  EXPECT_EQ(show(never), "Empty");
  // An array of variants only read stays as it is; written, the caller finds
  // the method's array of doubles.
  Variant a = VariantArray::matrix({{4, "7"}, {true, 6.0}});
  EXPECT_EQ(show(call(m, "mDet", a)), "Double 31");
  EXPECT_EQ(a.kind(), VariantKind::kArray);
  call(m, "mOpp", a);
  EXPECT_EQ(show(a), "DoubleArray 1..2,1..2 [-4,-7;1,-6]");
  // Malformed: fewer elements than the bounds promise, or bounds that
  // promise far more than is there (refused before anything is allocated).
  VariantArray short_of_elements = VariantArray::vector({1, 2, 3});
  short_of_elements.bounds[0].count = 4;
  VariantArray huge = VariantArray::matrix({{1, 2}});
  huge.bounds = {ArrayBound{1, 0xFFFFFFFFu}, ArrayBound{1, 0xFFFFFFFFu}};
  for (Variant bad : {Variant(short_of_elements), Variant(huge)}) {
    EXPECT_RUNTIME_ERROR(call(m, "mMod", bad), 13);
  }
  // One Variant passed twice is one array; what a failing method wrote stays
  // written (the sum fails at (1, 2), after (1, 1)).
  const Variant b = matrix({{1, 1}, {1, 1}});
  for (Variant x : {Variant(DoubleArray::matrix({{4, 7}, {2, 6}})),
                    Variant(VariantArray::matrix({{4, 7}, {2, "6"}}))}) {
    Variant y = b;
    call(m, "mSum", x, x, y);
    EXPECT_EQ(show(x), "DoubleArray 1..2,1..2 [5,8;3,7]");
    Variant dest = VariantArray::matrix({{0}, {0}}), first = matrix({{4, 7}, {2, 6}});
    EXPECT_RUNTIME_ERROR(call(m, "mSum", dest, first, y), 9);
    EXPECT_EQ(show(dest), "DoubleArray 1..2,1..1 [5;0]");
  }
  Variant dest;
  // Written doubles are outputs only: never read, yet of a kind that
  // converts to a double; they come back Double.
  Variant x1 = 7, x2 = "x", y = "0", coeff = VariantArray::vector({-3, 2, 1});
  EXPECT_RUNTIME_ERROR(call(m, "mGetXsOfQuadr", x1, x2, y, coeff), 13);
  x2 = Variant();
  call(m, "mGetXsOfQuadr", x1, x2, y, coeff);
  EXPECT_EQ(show(x1) + ", " + show(x2) + ", " + show(y), "Double 1, Double -3, String \"0\"");
  // The straight line 5 + 0x never reaches 6: the quotient is stored in x1
  // before the division by zero fails the call.
  Variant line = vector({5, 0}), six = 6;
  EXPECT_RUNTIME_ERROR(call(m, "mGetXsOfQuadr", x1, x2, six, line), 11);
  EXPECT_EQ(show(x1), "Double inf");
  // An optional argument left off, missing, or a null pointer: all three
  // points are fitted; a count of "2" fits the first two.
  Variant pts = matrix({{0, 1}, {1, 3}, {2, 9}}), rank = 2, count = "2";
  Variant left_out = Variant::missing();
  call(m, "mPolin", dest, pts, rank, count);
  EXPECT_EQ(show(dest), "DoubleArray 0..2 [0,1,2]");
  std::set<std::string> fits;
  for (std::vector<Variant*> args : std::vector<std::vector<Variant*>>{
           {&dest, &pts, &rank}, {&dest, &pts, &rank, &left_out}, {&dest, &pts, &rank, nullptr}}) {
    invoke(m, "mPolin", args);
    fits.insert(show(dest));
  }
  EXPECT_EQ(fits.size(), 1u);
  EXPECT_NE(*fits.begin(), "DoubleArray 0..2 [0,1,2]");
}

// The identifiers are the places among the 44 procedures, the private
// routines' places left out; names are found without regard to case.
TEST(MethodTableTest, IdentifiersAndNames) {
  std::set<std::int32_t> ids, places;
  for (const MethodInfo& m : methods()) {
    SCOPED_TRACE(m.name);
    EXPECT_FALSE(m.help.empty());
    std::string upper(m.name), lower(m.name);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    for (const std::string& name : {std::string(m.name), upper, lower}) {
      EXPECT_EQ(find_method(name), &m);
      EXPECT_EQ(dispid_of(name), m.dispid);
    }
    EXPECT_EQ(find_method(m.dispid), &m);
    ids.insert(m.dispid);
  }
  const std::set<std::int32_t> gaps = {0x01, 0x16, 0x17, 0x21, 0x25, 0x26, 0x27, 0x28};
  for (std::int32_t k = 0; k < 44; ++k) {
    if (gaps.count(k) == 0) {
      places.insert(kDispidBase + k);
    } else {
      EXPECT_EQ(find_method(kDispidBase + k), nullptr) << k;
    }
  }
  EXPECT_EQ(ids, places);
  for (const char* name : {"SwapValues", "ErrCode", "", "mDe", "mDett", " mDet", "mDet ", "mDet()",
                           "m\xc4\xb0nv", "Invoke"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(find_method(name), nullptr);
    EXPECT_RUNTIME_ERROR(dispid_of(name), 438);
  }
}

}  // namespace
}  // namespace nodrel
