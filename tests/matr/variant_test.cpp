#include "nodrel/variant.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "support/expect_error.hpp"

namespace nodrel {
namespace {

const Locale kPoint = Locale::c();

struct Widget : Object {};

TEST(VariantTest, KindsAndMissing) {
  EXPECT_EQ(Variant().kind(), VariantKind::kEmpty);
  EXPECT_EQ(Variant::missing().kind(), VariantKind::kMissing);
  EXPECT_TRUE(Variant::missing().is_missing());
  // An optional argument passed explicitly is not missing, Empty included.
  EXPECT_FALSE(Variant().is_missing());
  EXPECT_FALSE(Variant::null().is_missing());
  EXPECT_EQ(Variant(ErrorValue{5}).kind(), VariantKind::kError);
  EXPECT_FALSE(Variant(ErrorValue{5}).is_missing());
  EXPECT_TRUE(Variant(DoubleArray()).is_array());
  EXPECT_TRUE(Variant(VariantArray::vector({1, "a"})).is_array());
  EXPECT_FALSE(Variant("1").is_array());
  EXPECT_EQ(Variant(std::shared_ptr<Object>(std::make_shared<Widget>())).kind(),
            VariantKind::kObject);
}

TEST(VariantTest, IsNumeric) {
  struct Row {
    const char* what;
    Variant value;
    bool numeric;
  };
  const Row rows[] = {
      {"double", 2.5, true},
      {"integer", 3, true},
      {"true", true, true},
      {"empty", Variant(), true},
      {"numeric text", "2.5", true},
      {"text", "abc", false},
      {"text out of range", "1e999", false},
      {"null", Variant::null(), false},
      {"date", Date{1.0}, false},
      {"error value", ErrorValue{7}, false},
      {"missing", Variant::missing(), false},
      {"object", std::shared_ptr<Object>(std::make_shared<Widget>()), false},
      {"array", DoubleArray::vector({1}), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(is_numeric(row.value, kPoint), row.numeric);
  }
}

TEST(VariantTest, ToDouble) {
  struct Row {
    const char* what;
    Variant value;
    double expected;
    int error;
  };
  const Row rows[] = {
      {"double", 2.5, 2.5, 0},
      {"integer", std::int64_t{-7}, -7.0, 0},
      {"true", true, -1.0, 0},
      {"false", false, 0.0, 0},
      {"empty", Variant(), 0.0, 0},
      {"text", " 1,234.5 ", 1234.5, 0},
      {"date", Date{36526.5}, 36526.5, 0},
      {"null", Variant::null(), 0, 94},
      {"text not a number", "abc", 0, 13},
      {"text out of range", "1e999", 0, 6},
      {"missing", Variant::missing(), 0, 13},
      {"error value", ErrorValue{1}, 0, 13},
      {"array", DoubleArray::vector({1}), 0, 13},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.error != 0) {
      EXPECT_RUNTIME_ERROR(to_double(row.value, kPoint), row.error);
    } else {
      EXPECT_EQ(to_double(row.value, kPoint), row.expected);
    }
  }
}

TEST(VariantTest, TextFollowsTheLocale) {
  const Locale german{",", ".", "EUR"};
  EXPECT_EQ(to_double(Variant("2,5"), german), 2.5);
  EXPECT_EQ(to_double(Variant("2,5"), kPoint), 25.0);
  EXPECT_RUNTIME_ERROR(to_double(Variant("1,234.5"), german), 13);
}

TEST(VariantTest, ToInt32RoundsHalfToEven) {
  struct Row {
    Variant value;
    std::int32_t expected;
    int error;
  };
  const Row rows[] = {
      {2.5, 2, 0},
      {3.5, 4, 0},
      {-2.5, -2, 0},
      {-3.5, -4, 0},
      {2.4999999999999996, 2, 0},
      {0.5, 0, 0},
      {1.5, 2, 0},
      {"2.5", 2, 0},
      {true, -1, 0},
      {Variant(), 0, 0},
      {2147483647.0, 2147483647, 0},
      {2147483647.4, 2147483647, 0},
      {2147483647.5, 0, 6},
      {-2147483648.0, INT32_MIN, 0},
      {-2147483648.5, INT32_MIN, 0},
      {-2147483648.6, 0, 6},
      {1e300, 0, 6},
      {std::numeric_limits<double>::quiet_NaN(), 0, 6},
      {std::numeric_limits<double>::infinity(), 0, 6},
      {"abc", 0, 13},
      {Variant::null(), 0, 13},
      {Variant::missing(), 0, 13},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value.real() ? std::to_string(*row.value.real()) : "non-double");
    if (row.error != 0) {
      EXPECT_RUNTIME_ERROR(to_int32(row.value, kPoint), row.error);
    } else {
      EXPECT_EQ(to_int32(row.value, kPoint), row.expected);
    }
  }
}

TEST(VariantTest, ToBooleanWithNullAsFalse) {
  struct Row {
    const char* what;
    Variant value;
    bool expected;
    int error;
  };
  const Row rows[] = {
      {"null", Variant::null(), false, 0},
      {"empty", Variant(), false, 0},
      {"true", true, true, 0},
      {"false", false, false, 0},
      {"zero", 0.0, false, 0},
      {"minus zero", -0.0, false, 0},
      {"non-zero", 0.25, true, 0},
      {"integer -1", -1, true, 0},
      {"text True", " True ", true, 0},
      {"text false", "false", false, 0},
      {"numeric text", "0", false, 0},
      {"numeric text 2", "2", true, 0},
      {"other text", "yes", false, 13},
      {"error value", ErrorValue{3}, false, 13},
      {"array", DoubleArray::vector({1}), false, 13},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.error != 0) {
      EXPECT_RUNTIME_ERROR(to_boolean_null_false(row.value, kPoint), row.error);
    } else {
      EXPECT_EQ(to_boolean_null_false(row.value, kPoint), row.expected);
    }
  }
}

TEST(VariantTest, GreaterThanComparesFractionsAsTheyAre) {
  EXPECT_TRUE(greater_than(3.0, Variant(2.5), kPoint));
  EXPECT_FALSE(greater_than(2.0, Variant(2.5), kPoint));
  EXPECT_FALSE(greater_than(2.0, Variant("2"), kPoint));
  EXPECT_RUNTIME_ERROR(greater_than(2.0, Variant("x"), kPoint), 13);
  EXPECT_RUNTIME_ERROR(greater_than(2.0, Variant::null(), kPoint), 94);
}

TEST(VariantRefTest, BindsToTheCallersVariableOrHoldsATemporary) {
  auto write = [](VariantRef v) { *v = Variant("written"); };
  Variant mine = 1.0;
  write(mine);
  ASSERT_NE(mine.string(), nullptr);
  EXPECT_EQ(*mine.string(), "written");
  write(2.0);  // a temporary: nothing to observe, but it must be accepted
  auto missing = [](VariantRef v) { return v->is_missing(); };
  EXPECT_TRUE(missing({}));
  EXPECT_FALSE(missing(Variant()));
}

}  // namespace
}  // namespace nodrel
