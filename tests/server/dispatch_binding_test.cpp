// Late binding at the boundary: how the caller's Variants are checked,
// converted, handed to a method and written back.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "server/show_variant.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

using test::show;

// A value that binds to an argument of that kind without error.
Variant valid_value(ArgKind kind) {
  switch (kind) {
    case ArgKind::kDoubleArray: return DoubleArray::matrix({{1, 2}, {3, 4}});
    case ArgKind::kDouble: return 1.0;
    case ArgKind::kLong: return 1;
    case ArgKind::kString: return "R";
    case ArgKind::kVariant: return 1.0;
  }
  return {};
}

std::vector<Variant> valid_arguments(const MethodInfo& m) {
  std::vector<Variant> values;
  for (const ArgumentInfo& a : m.args) values.push_back(valid_value(a.kind));
  return values;
}

std::vector<Variant*> pointers(std::vector<Variant>& values) {
  std::vector<Variant*> p;
  for (Variant& v : values) p.push_back(&v);
  return p;
}

std::vector<std::string> shown(const std::vector<Variant>& values) {
  std::vector<std::string> text;
  for (const Variant& v : values) text.push_back(show(v));
  return text;
}

// Errors of binding come before the method runs: nothing of the call may
// be visible afterwards, neither in ErrCode nor in the arguments.
class Binding : public ::testing::Test {
 protected:
  void SetUp() override {
    DoubleArray dest = DoubleArray::zeros(2, 2);
    m_.mSum(dest, DoubleArray::zeros(2, 2), DoubleArray::zeros(3, 3));
    ASSERT_EQ(m_.ErrCode(), 1);
  }

  void expect_refused(const MethodInfo& method, std::vector<Variant>& values, int number) {
    const auto before = shown(values);
    auto p = pointers(values);
    EXPECT_RUNTIME_ERROR(invoke(m_, method.dispid, p), number);
    EXPECT_EQ(m_.ErrCode(), 1) << "the method ran";
    EXPECT_EQ(shown(values), before) << "an argument changed";
  }

  Matr m_;
};

TEST_F(Binding, TooManyArgumentsFailWith450BeforeAnyArgumentIsLookedAt) {
  for (const MethodInfo& method : methods()) {
    SCOPED_TRACE(method.name);
    auto values = valid_arguments(method);
    values.emplace_back(1.0);
    expect_refused(method, values, 450);
    // Even when the first argument is of a wrong kind or missing.
    if (!values.empty() && method.args.size() > 0) {
      values.front() = Variant::missing();
      expect_refused(method, values, 450);
    }
  }
}

TEST_F(Binding, ARequiredArgumentLeftOutFailsWith449) {
  for (const MethodInfo& method : methods()) {
    for (std::size_t k = 0; k < method.args.size(); ++k) {
      if (method.args[k].optional) continue;
      SCOPED_TRACE(std::string(method.name) + " " + std::string(method.args[k].name));
      // Left off the end of the list.
      auto values = valid_arguments(method);
      values.resize(k);
      expect_refused(method, values, 449);
      // Passed as a missing value, with valid arguments after it.
      values = valid_arguments(method);
      values[k] = Variant::missing();
      expect_refused(method, values, 449);
      // Passed as a null pointer.
      values = valid_arguments(method);
      auto p = pointers(values);
      p[k] = nullptr;
      EXPECT_RUNTIME_ERROR(invoke(m_, method.dispid, p), 449);
      EXPECT_EQ(m_.ErrCode(), 1);
    }
  }
}

TEST_F(Binding, AnArgumentOfTheWrongKindFailsWithTheConversionError) {
  struct Bad {
    ArgKind kind;
    Variant value;
    int number;
  };
  const std::vector<Bad> bad = {
      {ArgKind::kDoubleArray, "abc", 13},
      {ArgKind::kDoubleArray, 2.0, 13},
      {ArgKind::kDoubleArray, Variant::null(), 13},
      {ArgKind::kDoubleArray, true, 13},
      {ArgKind::kDoubleArray, VariantArray::vector({1, "x"}), 13},
      {ArgKind::kDoubleArray, VariantArray::vector({1, Variant::null()}), 94},
      {ArgKind::kDoubleArray, VariantArray::vector({"1e999"}), 6},
      {ArgKind::kDouble, "abc", 13},
      {ArgKind::kDouble, ErrorValue{5}, 13},
      {ArgKind::kDouble, DoubleArray::vector({1}), 13},
      {ArgKind::kDouble, Variant::null(), 94},
      {ArgKind::kLong, "abc", 13},
      {ArgKind::kLong, DoubleArray::vector({1}), 13},
      {ArgKind::kLong, Variant::null(), 13},
      {ArgKind::kLong, 3e9, 6},
      {ArgKind::kString, ErrorValue{5}, 13},
      {ArgKind::kString, DoubleArray::vector({1}), 13},
      {ArgKind::kString, VariantArray::vector({"R"}), 13},
      {ArgKind::kString, Date{1.0}, 13},
      {ArgKind::kString, Variant::null(), 94},
  };
  int checked = 0;
  for (const MethodInfo& method : methods()) {
    for (std::size_t k = 0; k < method.args.size(); ++k) {
      for (const Bad& b : bad) {
        if (b.kind != method.args[k].kind) continue;
        SCOPED_TRACE(std::string(method.name) + " " + std::string(method.args[k].name) + " = " +
                     show(b.value));
        auto values = valid_arguments(method);
        values[k] = b.value;
        expect_refused(method, values, b.number);
        ++checked;
      }
    }
  }
  // The interface has 51 array, 5 double, 8 long and 1 string arguments.
  EXPECT_EQ(checked, 51 * 7 + 5 * 4 + 8 * 4 + 1 * 5);
}

// Which names and identifiers are unknown is method_table_test.cpp's; here,
// that invoke refuses them before anything runs.
TEST_F(Binding, UnknownNamesAndIdentifiersFailWith438) {
  std::vector<Variant> values;
  auto p = pointers(values);
  EXPECT_RUNTIME_ERROR(invoke(m_, "SwapValues", p), 438);
  EXPECT_RUNTIME_ERROR(invoke(m_, kDispidBase + 0x21, p), 438);
  EXPECT_EQ(m_.ErrCode(), 1);
}

TEST(DispatchWriteBack, AnEmptyVariantIsANeverDimensionedArray) {
  Matr m;
  Variant dest;
  Variant order = 2;
  call(m, "mMakeMatrI", dest, order);
  EXPECT_EQ(show(dest), "DoubleArray 0..2,0..2 [0,0,0;0,1,0;0,0,1]");

  // Not dimensioned by a failing call: still Empty, as the caller had it.
  Variant never;
  Variant source = DoubleArray::matrix({{1}});
  EXPECT_RUNTIME_ERROR(call(m, "mSum", never, source, source), 9);
  EXPECT_EQ(never.kind(), VariantKind::kEmpty);
  EXPECT_RUNTIME_ERROR(call(m, "mDet", never), 9);
  EXPECT_EQ(never.kind(), VariantKind::kEmpty);
}

TEST(DispatchWriteBack, AnArrayOfVariantsIsConvertedAndComesBackAsDoubles) {
  Matr m;
  Variant a = VariantArray::matrix({{4, "7"}, {true, 6.0}});
  // Read only: the caller's array of variants is left as it is.
  EXPECT_EQ(show(call(m, "mDet", a)), "Double 31");
  EXPECT_EQ(a.kind(), VariantKind::kArray);
  // Written: the caller finds the method's array of doubles.
  call(m, "mOpp", a);
  EXPECT_EQ(show(a), "DoubleArray 1..2,1..2 [-4,-7;1,-6]");
}

TEST(DispatchWriteBack, AMalformedArrayOfVariantsIsATypeMismatch) {
  Matr m;
  VariantArray short_of_elements = VariantArray::vector({1, 2, 3});
  short_of_elements.bounds[0].count = 4;
  Variant a = short_of_elements;
  EXPECT_RUNTIME_ERROR(call(m, "mMod", a), 13);
  // Bounds that promise far more than is there: refused before anything is
  // allocated for them.
  VariantArray huge = VariantArray::matrix({{1, 2}});
  huge.bounds = {ArrayBound{1, 0xFFFFFFFFu}, ArrayBound{1, 0xFFFFFFFFu}};
  a = huge;
  EXPECT_RUNTIME_ERROR(call(m, "mMod", a), 13);
}

TEST(DispatchWriteBack, OneVariantPassedTwiceIsOneArray) {
  Matr m;
  Variant b = DoubleArray::matrix({{1, 1}, {1, 1}});
  for (Variant a : {Variant(DoubleArray::matrix({{4, 7}, {2, 6}})),
                    Variant(VariantArray::matrix({{4, 7}, {2, "6"}}))}) {
    SCOPED_TRACE(show(a));
    call(m, "mSum", a, a, b);
    EXPECT_EQ(show(a), "DoubleArray 1..2,1..2 [5,8;3,7]");
  }
}

TEST(DispatchWriteBack, WhatAFailingMethodWroteStaysWritten) {
  Matr m;
  Variant a = DoubleArray::matrix({{4, 7}, {2, 6}});
  Variant b = DoubleArray::matrix({{1, 1}, {1, 1}});
  // Destinations with one column: the sum fails at (1, 2), after (1, 1).
  for (Variant dest :
       {Variant(DoubleArray::matrix({{0}, {0}})), Variant(VariantArray::matrix({{0}, {0}}))}) {
    SCOPED_TRACE(show(dest));
    try {
      call(m, "mSum", dest, a, b);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), 9);
      EXPECT_EQ(e.description(), "Subscript out of range");
    }
    EXPECT_EQ(show(dest), "DoubleArray 1..2,1..1 [5;0]");
  }

  // The straight line 5 + 0x never reaches 6: the quotient is stored in x1
  // before the division by zero fails the call.
  Variant x1 = 0, x2 = 0, y = 6;
  Variant coeff = DoubleArray::vector({5, 0});
  EXPECT_RUNTIME_ERROR(call(m, "mGetXsOfQuadr", x1, x2, y, coeff), 11);
  EXPECT_EQ(show(x1), "Double inf");
  EXPECT_EQ(show(x2), "Double 0");
}

TEST(DispatchWriteBack, ScalarsConvertAsAutomationConvertsThem) {
  Matr m;
  struct Case {
    Variant order;
    std::string expected;  // the vector mMakeVectNul makes, or the error
  };
  const std::vector<Case> cases = {
      {2, "DoubleArray 0..2 [0,0,0]"},
      {2.5, "DoubleArray 0..2 [0,0,0]"},
      {3.5, "DoubleArray 0..4 [0,0,0,0,0]"},
      {"1", "DoubleArray 0..1 [0,0]"},
      {Variant(), "DoubleArray 0..0 [0]"},
      {false, "DoubleArray 0..0 [0]"},
      {true, "error 9"},  // -1: an upper bound below 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(show(c.order));
    Variant dest;
    Variant order = c.order;
    try {
      call(m, "mMakeVectNul", dest, order);
      EXPECT_EQ(show(dest), c.expected);
    } catch (const Error& e) {
      EXPECT_EQ("error " + std::to_string(e.code()), c.expected);
    }
    EXPECT_EQ(show(order), show(c.order)) << "a long is only read";
  }
}

TEST(DispatchWriteBack, TextArgumentsReadAnyTextLikeValue) {
  Matr m;
  struct Case {
    Variant rc;
    bool swaps;
  };
  const std::vector<Case> cases = {
      {"r", true}, {"C", true}, {Variant(), false}, {true, false}, {1.5, false}, {"RC", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(show(c.rc));
    Variant a = DoubleArray::matrix({{1, 2}, {3, 4}});
    Variant rc = c.rc, first = 1, second = "2";
    call(m, "mSwapRC", a, rc, first, second);
    EXPECT_EQ(show(a) != "DoubleArray 1..2,1..2 [1,2;3,4]", c.swaps) << show(a);
  }
}

TEST(DispatchWriteBack, WrittenDoublesComeBackAsDoubles) {
  Matr m;
  Variant x1 = 7, x2 = "x";  // never read: both are outputs
  Variant y = "0";
  Variant coeff = VariantArray::vector({-3, 2, 1});
  EXPECT_RUNTIME_ERROR(call(m, "mGetXsOfQuadr", x1, x2, y, coeff), 13);
  x2 = Variant();
  call(m, "mGetXsOfQuadr", x1, x2, y, coeff);
  EXPECT_EQ(show(x1), "Double 1");
  EXPECT_EQ(show(x2), "Double -3");
  EXPECT_EQ(show(y), "String \"0\"");
  EXPECT_EQ(coeff.kind(), VariantKind::kArray);
}

TEST(DispatchWriteBack, OptionalArgumentsMayBeLeftOutInThreeWays) {
  Matr m;
  Variant pts = DoubleArray::matrix({{0, 1}, {1, 3}, {2, 9}});
  Variant rank = 2;
  const std::string two_points = "DoubleArray 0..2 [0,1,2]";
  {
    Variant coeff;
    call(m, "mPolin", coeff, pts, rank);
    EXPECT_NE(show(coeff), two_points);  // all three points
  }
  {
    Variant coeff, missing = Variant::missing();
    Variant* args[] = {&coeff, &pts, &rank, &missing};
    invoke(m, "mPolin", args);
    EXPECT_NE(show(coeff), two_points);
    Variant* with_null[] = {&coeff, &pts, &rank, nullptr};
    invoke(m, "mPolin", with_null);
    EXPECT_NE(show(coeff), two_points);
  }
  {
    Variant coeff, count = "2";
    call(m, "mPolin", coeff, pts, rank, count);
    EXPECT_EQ(show(coeff), two_points);
  }
}

}  // namespace
}  // namespace nodrel
