// The caller's arrays, the conversions of automation values and the
// run-time errors: the pieces every method stands on.
#include "support/values.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

#include "nodrel/nodrel.hpp"

namespace nodrel {
namespace {

TEST(DoubleArrayTest, LayoutBoundsAndRefusals) {
  // The first index varies fastest, as automation exchanges arrays.
  const DoubleArray a = DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}}, 0, -3);
  EXPECT_EQ(a.storage(), (std::vector<double>{1, 4, 2, 5, 3, 6}));
  EXPECT_EQ(show(a), "DoubleArray 0..1,-3..-1 [1,2,3;4,5,6]");
  EXPECT_EQ(a(1, -3), 4.0);
  EXPECT_EQ(show(DoubleArray::zeros(1, 0)), "DoubleArray 0..1,0..0 [0;0]");
  EXPECT_RUNTIME_ERROR(DoubleArray::zeros(-1), 9);
  EXPECT_RUNTIME_ERROR(DoubleArray::matrix({{1, 2}, {3}}), 5);  // ragged rows

  DoubleArray m = DoubleArray::matrix({{1, 2}, {3, 4}});  // 1..2, 1..2
  const DoubleArray v = DoubleArray::vector({1, 2}, 0);   // 0..1
  const DoubleArray cube(std::vector<ArrayBound>{{0, 2}, {0, 2}, {0, 2}});
  EXPECT_EQ(m(2, 2) + v(0) + cube.ubound(3), 6.0);
  // Subscripts out of the bounds, or not one for each dimension.
  const std::pair<const DoubleArray*, std::vector<std::int32_t>> refused[] = {
      {&m, {0, 1}},    {&m, {1, 3}},         {&m, {1}},           {&v, {2}}, {&v, {0, 0}},
      {&cube, {0, 0}}, {&m, {INT32_MIN, 1}}, {&m, {1, INT32_MAX}}};
  for (const auto& [x, at] : refused) {
    EXPECT_RUNTIME_ERROR(at.size() == 1 ? (*x)(at[0]) : (*x)(at[0], at[1]), 9);
  }
  for (const std::int32_t dimension : {0, 2}) EXPECT_RUNTIME_ERROR(v.ubound(dimension), 9);
  EXPECT_RUNTIME_ERROR(DoubleArray().ubound(1), 9);
  // Re-dimensioning that fails leaves the array as it was; error 10 is for
  // a fixed array.
  const std::tuple<std::int32_t, std::int32_t, int> rows[] = {
      {-1, 2, 9}, {2, -1, 9}, {3, 3, 10}, {100000, 100000, 7}, {INT32_MAX, INT32_MAX, 7}};
  for (const auto& [u1, u2, error] : rows) {
    SCOPED_TRACE(u1);
    DoubleArray b = m;
    b.set_fixed(error == 10);
    EXPECT_RUNTIME_ERROR(b.redim(u1, u2), error);
    EXPECT_EQ(show(b), show(m) + (error == 10 ? " fixed" : ""));
  }
  m.redim(3);
  m(2) = 7.0;
  m.redim(3);  // the bounds it has: cleared all the same
  EXPECT_EQ(show(m), "DoubleArray 0..3 [0,0,0,0]");
  // An assignment into storage that holds the copy takes bounds, elements
  // and fixedness as any other.
  DoubleArray target = DoubleArray::vector({9, 9, 9, 9, 9});
  target.set_fixed(true);
  m(1) = 1.0;
  target = m;
  EXPECT_EQ(show(target), "DoubleArray 0..3 [0,1,0,0]");
  // Equality compares bounds and bits: NaN equals itself, -0.0 differs from 0.0.
  EXPECT_EQ(DoubleArray::vector({NAN}), DoubleArray::vector({NAN}));
  EXPECT_FALSE(DoubleArray::vector({0.0}) == DoubleArray::vector({-0.0}));
  EXPECT_FALSE(DoubleArray::vector({1.0}, 0) == DoubleArray::vector({1.0}, 1));
  EXPECT_FALSE(DoubleArray() == DoubleArray::zeros(0));
}

// One value through every conversion: to_double, to_int32 (half to even),
// the truth value with Null as false, and whether it reads as a number.
TEST(VariantTest, Conversions) {
  const Locale point = Locale::c();
  const struct {
    Variant value;
    const char *as_double, *as_int32, *as_boolean;
    bool numeric;
  } rows[] = {
      {2.5, "Double 2.5", "Integer 2", "Boolean True", true},
      {3.5, "Double 3.5", "Integer 4", "Boolean True", true},
      {-2.5, "Double -2.5", "Integer -2", "Boolean True", true},
      {std::int64_t{-7}, "Double -7", "Integer -7", "Boolean True", true},
      {true, "Double -1", "Integer -1", "Boolean True", true},
      {false, "Double 0", "Integer 0", "Boolean False", true},
      {Variant(), "Double 0", "Integer 0", "Boolean False", true},
      {" 1,234.5 ", "Double 1234.5", "Integer 1234", "Boolean True", true},
      {" True ", "error 13", "error 13", "Boolean True", false},
      {"abc", "error 13", "error 13", "error 13", false},
      {"1e999", "error 6", "error 6", "error 6", false},
      {Date{36526.5}, "Double 36526.5", "Integer 36526", "Boolean True", false},
      {Variant::null(), "error 94", "error 13", "Boolean False", false},
      {Variant::missing(), "error 13", "error 13", "error 13", false},
      {DoubleArray::vector({1}), "error 13", "error 13", "error 13", false},
      {2147483647.5, "Double 2147483647.5", "error 6", "Boolean True", true},
      {-2147483648.5, "Double -2147483648.5", "Integer -2147483648", "Boolean True", true},
      {-2147483648.6, "Double -2147483648.6", "error 6", "Boolean True", true},
      {NAN, "Double nan", "error 6", "Boolean True", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(show(row.value));
    EXPECT_EQ(outcome([&] { return to_double(row.value, point); }), row.as_double);
    EXPECT_EQ(outcome([&] { return to_int32(row.value, point); }), row.as_int32);
    EXPECT_EQ(outcome([&] { return to_boolean_null_false(row.value, point); }), row.as_boolean);
    EXPECT_EQ(is_numeric(row.value, point), row.numeric);
  }
  // Text follows the locale.
  EXPECT_EQ(to_double(Variant("2,5"), Locale{",", ".", "EUR"}), 2.5);
  // A count compared with Null is refused (mPolin compares fractions as they are).
  EXPECT_RUNTIME_ERROR(greater_than(2.0, Variant::null(), point), 94);
}

// An unknown number gets the generic text, and a description given replaces
// the standard one (the standard texts are the host's table's).
TEST(ErrorTest, NumbersAndDescriptions) {
  EXPECT_STREQ(Error(static_cast<ErrorNumber>(1234)).what(),
               "Run-time error '1234': Application-defined or object-defined error");
  EXPECT_EQ(Error(ErrorNumber::kPathNotFound, "Path: /x").description(), "Path: /x");
}

}  // namespace
}  // namespace nodrel
