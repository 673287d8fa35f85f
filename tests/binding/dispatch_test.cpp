// Late binding: every method reached by name, how the caller's Variants are
// checked, converted, handed to a method and written back, and the table's
// identifiers and names.
#include "nodrel/dispatch.hpp"

#include <gtest/gtest.h>

#include <cstdint>
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

Variant mat(std::initializer_list<std::initializer_list<double>> rows) {
  return DoubleArray::matrix(rows);
}
Variant vec(std::vector<double> values) { return DoubleArray::vector(std::move(values)); }
// Upper bounds u1 and u2 and not one element (lower bounds u + 1): a client
// can hold it, and a method that takes its shape for a result must refuse it.
Variant hollow(std::int32_t u1, std::int32_t u2) {
  return DoubleArray(std::vector<ArrayBound>{{u1 + 1, 0}, {u2 + 1, 0}});
}

// A row per method: mSum and mDiff, mTrace and mDet share their signatures,
// so only each method's own result shows that its name reaches it. A
// destination re-dimensioned from 0 is filled from (1, 1).
TEST(DispatchTest, EveryMethodIsReachedByNameAndWritesBack) {
  const Variant a = mat({{4, 7}, {2, 6}}), ones = mat({{1, 1}, {1, 1}}), e;
  const Variant missing = Variant::missing(), zeros = DoubleArray::zeros(2, 2);
  const Variant va = VariantArray::matrix({{4, "7"}, {true, 6.0}});
  VariantArray short_of_elements = VariantArray::vector({1, 2, 3}), huge = short_of_elements;
  short_of_elements.bounds[0].count = 4;
  huge.bounds = {ArrayBound{1, 0xFFFFFFFFu}, ArrayBound{1, 0xFFFFFFFFu}};
  VariantArray huge_table;
  huge_table.bounds = {{100001, 0}, {100001, 0}};
  struct Call {
    const char* name;  // spelled as a client might
    std::vector<Variant> args;
    std::string result;  // or "error N"
    // The arguments the call changes, by position, as they are afterwards.
    std::map<std::size_t, std::string> written;
  };
  // clang-format off
  const std::vector<Call> calls = {
      {"Initialize_dMatr", {}, "Empty", {}},
      {"mMatrIsVect", {vec({1, 2})}, "Boolean True", {}},
      {"MMATRISQUADR", {a}, "Boolean True", {}},
      {"mdet", {va}, "Double 31", {}},  // an array of variants only read stays as it is
      {"mSum", {zeros, a, ones}, "Empty", {{0, "DoubleArray 0..2,0..2 [0,0,0;0,5,8;0,3,7]"}}},
      {"mDiff", {zeros, a, ones}, "Empty", {{0, "DoubleArray 0..2,0..2 [0,0,0;0,3,6;0,1,5]"}}},
      {"mMult", {e, a, ones}, "Empty", {{0, "DoubleArray 0..2,0..2 [0,0,0;0,11,11;0,8,8]"}}},
      {"mMultVett", {e, a, vec({1, 2})}, "Empty", {{0, "DoubleArray 0..2 [0,18,14]"}}},
      {"mMatrIsSing", {mat({{1, 2}, {2, 4}})}, "Boolean True", {}},
      {"mDivd", {e, a, mat({{2, 0}, {0, 4}})}, "Empty", {{0, "DoubleArray 0..2,0..2 [0,0,0;0,2,3.5;0,0.5,1.5]"}}},
      {"mTrasp", {e, mat({{1, 2, 3}})}, "Empty", {{0, "DoubleArray 0..3,0..1 [0,0;0,1;0,2;0,3]"}}},
      {"mOpp", {va}, "Empty", {{0, "DoubleArray 1..2,1..2 [-4,-7;1,-6]"}}},  // written: doubles
      {"mSwapRC", {a, "r", 1, "2"}, "Empty", {{0, "DoubleArray 1..2,1..2 [2,6;4,7]"}}},
      {"mDiag", {mat({{2, 1}, {4, 3}})}, "Empty", {{0, "DoubleArray 1..2,1..2 [2,0;0,1]"}}},
      {"mSwap", {a, mat({{5}})}, "Empty", {{0, "DoubleArray 0..1,0..1 [0,0;0,5]"}, {1, "DoubleArray 0..2,0..2 [0,0,0;0,4,7;0,2,6]"}}},
      {"mSist", {vec({0, 0}), mat({{2, 1}, {1, 3}}), vec({5, 10})}, "Empty", {{0, "DoubleArray 1..2 [1,3]"}}},
      {"mMakeMatrNul", {e, 2.0, "1"}, "Empty", {{0, "DoubleArray 0..2,0..1 [0,0;0,0;0,0]"}}},
      {"mMakeVectNul", {a, 2.5}, "Empty", {{0, "DoubleArray 0..2 [0,0,0]"}}},  // 2.5: 2, to even
      {"mMakeMatrI", {e, 2}, "Empty", {{0, "DoubleArray 0..2,0..2 [0,0,0;0,1,0;0,0,1]"}}},
      {"mMakeVectI", {e, 3}, "Empty", {{0, "DoubleArray 0..3 [0,1,1,1]"}}},
      {"mPrint", {5, missing, "debug", missing, missing, true}, "Empty", {{2, "String \"DEBUG\""}, {5, "Boolean False"}}},
      {"mMod", {vec({3, 4})}, "Double 5", {}},
      {"mProdScal", {a, "2.5"}, "Empty", {{0, "DoubleArray 1..2,1..2 [10,17.5;5,15]"}}},
      {"mTrace", {mat({{1, 9}, {9, 2}})}, "Double 3", {}},
      {"mIdentical", {a, ones}, "Boolean False", {}},
      {"mMatrIsOrt", {mat({{0, 1}, {1, 0}})}, "Boolean True", {}},
      {"mMatrAreOrt", {mat({{0, -1}, {1, 0}}), mat({{0, 1}, {-1, 0}})}, "Boolean True", {}},
      {"mMatrIsUnit", {mat({{1, 0}, {0, 1}})}, "Boolean True", {}},
      {"mMatrIsZero", {DoubleArray::zeros(1, 1)}, "Boolean True", {}},
      {"mInv", {a}, "Empty", {{0, "DoubleArray 0..2,0..2 [0,0,0;0,0.6,-0.7;0,-0.2,0.4]"}}},
      {"mDupl", {e, a}, "Empty", {{0, "DoubleArray 0..2,0..2 [0,0,0;0,4,7;0,2,6]"}}},
      {"mDuplVar", {e, VariantArray::matrix({{1, "2"}})}, "Empty", {{0, "DoubleArray 0..1,0..2 [0,0,0;0,1,2]"}}},
      {"mPolin", {e, mat({{0, 1}, {1, 3}}), 2}, "Empty", {{0, "DoubleArray 0..2 [0,1,2]"}}},
      {"mGetYPolin", {4, vec({-1, 2})}, "Double 7", {}},
      {"mGetXsOfQuadr", {0, 0, -1, vec({1, -2, 1}), true}, "Empty", {{0, "Double 1"}, {1, "Double 0"}}},
      {"mShowAbout", {}, "Empty", {}},
      // Failures: an array never dimensioned stays Empty; what a method wrote
      // before its error stays written (the sum fails at (1, 2)); written
      // doubles are never read, yet must be of a kind that converts; malformed
      // arrays are refused before anything is allocated; an order beyond
      // the array limit is error 7, with the caller's arrays as they were.
      {"mSum", {e, mat({{1}}), mat({{1}})}, "error 9", {}},
      {"mSum", {VariantArray::matrix({{0}, {0}}), a, ones}, "error 9", {{0, "DoubleArray 1..2,1..1 [5;0]"}}},
      {"mGetXsOfQuadr", {7, "x", "0", VariantArray::vector({-3, 2, 1})}, "error 13", {}},
      {"mMod", {short_of_elements}, "error 13", {}},
      {"mMod", {huge}, "error 13", {}},
      {"mMakeMatrNul", {e, INT32_MAX, INT32_MAX}, "error 7", {}},
      {"mMakeMatrNul", {a, "100000", 100000.0}, "error 7", {}},
      {"mMult", {a, hollow(100000, 1), hollow(1, 100000)}, "error 7", {}},
      {"mInv", {hollow(20000, 20000)}, "error 7", {}},  // within the 16-bit order of an inverse
      {"mDupl", {a, huge_table}, "error 7", {}},
      {"mDupl", {a, hollow(100000, 100000)}, "error 7", {}},
      {"mTrasp", {e, hollow(100000, 100000)}, "error 7", {}},
  };
  // clang-format on
  fakes::Log about;  // the About box, recorded instead of shown
  set_default_platform(std::make_shared<fakes::FakePlatform>(about));
  std::set<std::string> reached;
  for (const Call& c : calls) {
    SCOPED_TRACE(c.name);
    std::vector<Variant> args = c.args;
    std::vector<std::string> expected = shown(args);
    for (const auto& [k, text] : c.written) expected[k] = text;
    Matr m;
    EXPECT_EQ(outcome([&] { return invoke(m, c.name, pointers(args)); }), c.result);
    EXPECT_EQ(shown(args), expected);
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
  const Variant kinds[] = {DoubleArray::matrix({{1, 2}, {3, 4}}), 1.0, 1, "R", 1.0};
  std::vector<Variant> values;
  for (const ArgumentInfo& a : m.args) values.push_back(kinds[static_cast<int>(a.kind)]);
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

// Too many arguments, before any is looked at; a required one left off,
// missing or a null pointer; one that does not convert to its kind (the
// conversions are values_test.cpp's: here, that each kind takes its own).
TEST(DispatchTest, BindingRefusesBeforeTheMethodRuns) {
  const Variant bad[] = {VariantArray::vector({1, Variant::null()}), Variant::null(),
                         Variant::null(), VariantArray::vector({"R"})};
  const int number[] = {94, 94, 13, 13};  // by kind: array, Double, Long, String
  for (const MethodInfo& method : methods()) {
    SCOPED_TRACE(method.name);
    auto values = valid_arguments(method);
    values.emplace_back(1.0);
    expect_refused(method, values, 450, method.args.size());
    for (std::size_t k = 0; k < method.args.size(); ++k) {
      SCOPED_TRACE(method.args[k].name);
      values = valid_arguments(method);
      if (!method.args[k].optional) {
        expect_refused(method, std::vector<Variant>(values.begin(), values.begin() + k), 449, k);
        expect_refused(method, values, 449, k, k);
        values[k] = Variant::missing();
        expect_refused(method, values, 449, k);
      }
      const auto kind = static_cast<std::size_t>(method.args[k].kind);
      if (kind < std::size(bad)) {
        values[k] = bad[kind];
        expect_refused(method, values, number[kind], k);
      }
    }
  }
  Matr m;
  std::vector<Variant*> none;
  EXPECT_RUNTIME_ERROR(invoke(m, "SwapValues", none), 438);
  EXPECT_RUNTIME_ERROR(invoke(m, kDispidBase + 0x21, none), 438);
}

// The identifiers are the places among the 44 procedures, the private
// routines' places left out (names are found without regard to case: the
// dispatch table spells some so).
TEST(MethodTableTest, IdentifiersAndNames) {
  const std::set<std::int32_t> gaps = {0x01, 0x16, 0x17, 0x21, 0x25, 0x26, 0x27, 0x28};
  std::int32_t place = 0;
  for (const MethodInfo& m : methods()) {
    SCOPED_TRACE(m.name);
    while (gaps.count(place) != 0) ++place;
    EXPECT_EQ(m.dispid, kDispidBase + place++);
    EXPECT_EQ(dispid_of(m.name), m.dispid);
    EXPECT_EQ(find_method(m.dispid), &m);
  }
  EXPECT_EQ(place, 44);
  for (const char* name : {"SwapValues", "ErrCode", "", "mDe", "mDett", " mDet", "mDet ", "mDet()",
                           "m\xc4\xb0nv", "Invoke"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(find_method(name), nullptr);
    EXPECT_RUNTIME_ERROR(dispid_of(name), 438);
  }
}

}  // namespace
}  // namespace nodrel
