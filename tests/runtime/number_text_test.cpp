#include "runtime/number_text.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "support/values.hpp"

namespace nodrel::detail {
namespace {

constexpr auto kNumber = NumberTextStatus::kNumber;
constexpr auto kNot = NumberTextStatus::kNotANumber;
constexpr auto kRange = NumberTextStatus::kOutOfRange;

const Locale kGerman{",", ".", "EUR"};
// A no-break space groups thousands in some locales.
const Locale kFrench{",", "\u00A0", "\u20AC"};

// The grammar in one table: signs before or after, parentheses, currency,
// grouping, exponents (E or D), hexadecimal and octal, correct rounding, the
// range, and the texts refused.
TEST(NumberTextTest, Grammar) {
  const struct {
    const char* text;
    NumberTextStatus status;
    double value;
    const Locale* locale = nullptr;  // the C locale when null
  } rows[] = {
      {"2.5", kNumber, 2.5},
      {"  -1,234.5e1 ", kNumber, -12345.0},
      {"7-", kNumber, -7.0},
      {"(2.50)", kNumber, -2.5},
      {"-$3", kNumber, -3.0},
      {"1E+3", kNumber, 1000.0},
      {"1d-2", kNumber, 0.01},
      {"-0", kNumber, -0.0},
      // The halfway case between two doubles goes to even.
      {"9007199254740993", kNumber, 9007199254740992.0},
      {"1e400", kRange, 0.0},
      {"123456789e300", kNumber, 1.23456789e308},
      {"-1e-400", kNumber, -0.0},
      {"0e99999999999999999999", kNumber, 0.0},
      {"4.9406564584124654e-324", kNumber, std::numeric_limits<double>::denorm_min()},
      {"&hff", kNumber, 255.0},
      {"&HFFFFFFFF", kNumber, -1.0},
      {"&O17", kNumber, 15.0},
      {"1.234,5", kNumber, 1234.5, &kGerman},
      {"3 EUR", kNumber, 3.0, &kGerman},
      {"2.5", kNumber, 25.0, &kGerman},  // the point only groups digits here
      {"1,2,3", kNot, 0, &kGerman},
      {"1,234.5", kNot, 0, &kGerman},
      {"1\u00A0234,5", kNumber, 1234.5, &kFrench},
      {"12\u20AC", kNumber, 12.0, &kFrench},
      {"1 234,5", kNot, 0, &kFrench},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string("\"") + row.text + "\"");
    const NumberText got = parse_number(row.text, row.locale ? *row.locale : Locale::c());
    EXPECT_EQ(got.status, row.status);
    if (row.status == kNumber) {
      EXPECT_EQ(number(got.value), number(row.value));
    }
  }
  for (const char* text :
       {"",    "   ", "abc",  "1.2.3",       "--1", "+-1", "-1-", "(-1)", "(1",  "1)",
        ",1",  "1,",  "1,,0", "1e",          "1e+", "e5",  ".",   "$",    "$3$", "inf",
        "nan", "1 2", "&H",   "&H1FFFFFFFF", "&O8", "&HG", "&X1", "&",    "0x10"}) {
    SCOPED_TRACE(std::string("\"") + text + "\"");
    EXPECT_EQ(parse_number(text, Locale::c()).status, kNot);
  }
}

}  // namespace
}  // namespace nodrel::detail
