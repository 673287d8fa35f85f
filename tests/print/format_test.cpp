#include "print/format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "nodrel/locale.hpp"
#include "support/expect_error.hpp"

namespace nodrel::detail {
namespace {

struct Row {
  double value;
  const char* pattern;
  std::string expected;
};

void expect_rows(const std::vector<Row>& rows, const Locale& locale) {
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "value " << row.value << " pattern [" << row.pattern << "]");
    EXPECT_EQ(format_number(row.value, row.pattern, locale), row.expected);
  }
}

const std::string kExact1e100 =
    "10000000000000000159028911097599180468360808563945281389781327557747838772170381060813469985"
    "856815104";
const std::string kExactMaxDouble =
    "17976931348623157081452742373170435679807056752584499659891747680315726078002853876058955863"
    "27668781715404589535143824642343213268894641827684675467035375169860499105765512820762454900"
    "90389328944075868508455133942304583236903222948165808559332123348274797826204144723168738177"
    "180919299881250404026184124858368";

TEST(FormatNumberTest, DefaultPatternIsExactForEveryKindOfDouble) {
  const double max = std::numeric_limits<double>::max();
  const double min_normal = std::numeric_limits<double>::min();
  const double max_subnormal = std::nextafter(min_normal, 0.0);
  const double min_subnormal = std::numeric_limits<double>::denorm_min();
  expect_rows(
      {
          {1, "0.0000E+00", "1.0000E+00"},
          {-2.5, "0.0000E+00", "-2.5000E+00"},
          {0.0, "0.0000E+00", "0.0000E+00"},
          {-0.0, "0.0000E+00", "0.0000E+00"},  // a zero, not a negative number
          {12345.678, "0.0000E+00", "1.2346E+04"},
          {-0.001, "0.0000E+00", "-1.0000E-03"},
          {3, "0.0000E+00", "3.0000E+00"},
          {0.1, "0.0000E+00", "1.0000E-01"},
          {1e-5, "0.0000E+00", "1.0000E-05"},
          {1e100, "0.0000E+00", "1.0000E+100"},
          {-1e-100, "0.0000E+00", "-1.0000E-100"},
          // Rounding that carries the mantissa to 10 moves the exponent.
          {9.99995, "0.0000E+00", "1.0000E+01"},
          {-9.99995, "0.0000E+00", "-1.0000E+01"},
          {9.99994, "0.0000E+00", "9.9999E+00"},
          {0.000999995, "0.0000E+00", "1.0000E-03"},
          // Exact ties (these doubles are exactly the decimal shown) go away
          // from zero, where half-to-even would give 1.2344E+04 and 1.0000E+00.
          {12344.5, "0.0000E+00", "1.2345E+04"},
          {-12344.5, "0.0000E+00", "-1.2345E+04"},
          {1.00005, "0.0000E+00", "1.0001E+00"},  // really 1.00005000000000010551...
          {99999.5, "0.0000E+00", "1.0000E+05"},
          {123456789012345678.0, "0.0000E+00", "1.2346E+17"},
          {max, "0.0000E+00", "1.7977E+308"},
          {-max, "0.0000E+00", "-1.7977E+308"},
          {min_normal, "0.0000E+00", "2.2251E-308"},
          {max_subnormal, "0.0000E+00", "2.2251E-308"},
          {min_subnormal, "0.0000E+00", "4.9407E-324"},
          {-min_subnormal, "0.0000E+00", "-4.9407E-324"},
      },
      Locale::c());
}

TEST(FormatNumberTest, RowAndColumnNumberPatternGivesEveryDigit) {
  expect_rows(
      {
          {1, "00", "01"},
          {12, "00", "12"},
          {100, "00", "100"},
          {0, "00", "00"},
          {2147483647, "00", "2147483647"},
          {1.5, "00", "02"},
          {2.5, "00", "03"},  // tie away from zero
          {0.49, "00", "00"},
          {-1, "00", "-01"},
          {1e22, "00", "10000000000000000000000"},
          // The exact value of the double, not a rounded-off image of it.
          {1e100, "00", kExact1e100},
          {std::numeric_limits<double>::max(), "00", kExactMaxDouble},
      },
      Locale::c());
  EXPECT_EQ(format_number(1e100, "00", Locale::c()).size(), 101u);
}

TEST(FormatNumberTest, FixedPointRoundsTheExactValueHalfAwayFromZero) {
  expect_rows(
      {
          {0.5, "0", "1"},
          {-0.5, "0", "-1"},
          {2.5, "0", "3"},
          {-2.5, "0", "-3"},
          {0.4, "0", "0"},
          {0.125, "0.00", "0.13"},    // exact tie
          {2.675, "0.00", "2.67"},    // 2.67499999999999982236...
          {1.005, "0.00", "1.00"},    // 1.00499999999999989341...
          {12.345, "0.00", "12.35"},  // 12.34500000000000063948...
          {0.015, "0.00", "0.01"},
          {999.995, "0.00", "1000.00"},
          {-1.2345, "000.000", "-001.234"},
          {1e-7, "0.00", "0.00"},
          {1e-7, "0.000000000", "0.000000100"},
          {std::numeric_limits<double>::denorm_min(), "0.00", "0.00"},
          // The section is chosen before rounding: a small negative keeps its sign.
          {-0.001, "0.00", "-0.00"},
          {-std::numeric_limits<double>::denorm_min(), "0.00", "-0.00"},
          {-0.0, "0.00", "0.00"},
          {123456, "0", "123456"},
          {5, "000", "005"},
      },
      Locale::c());
}

TEST(FormatNumberTest, DigitPlaceholders) {
  expect_rows(
      {
          {0.5, "#.##", ".5"},
          {5, "#.##", "5."},  // the decimal separator is always shown
          {12.5, "#.##", "12.5"},
          {1.5, "0.0#", "1.5"},
          {1.25, "0.0#", "1.25"},
          {1.255, "0.0#", "1.25"},
          {1.5, "0.#0", "1.50"},  // digits up to the last 0 are always shown
          {0, "#", ""},
          {0.4, "#", ""},
          {5, "#0#", "05"},        // from the leftmost 0 on
          {12.5, ".00", "12.50"},  // integer digits have a place even without placeholders
          {0.25, ".00", ".25"},
          // Digits fill the placeholders from the right; literals keep their place.
          {5551234567, "(000) 000-0000", "(555) 123-4567"},
          {123, "0-0", "12-3"},
          {5, "#-#", "-5"},
      },
      Locale::c());
}

TEST(FormatNumberTest, ThousandsSeparatorsAndScaling) {
  expect_rows(
      {
          {1234567.891, "#,##0.00", "1,234,567.89"},
          {-1234.5, "#,##0.00", "-1,234.50"},
          {0, "#,##0.00", "0.00"},
          {999.995, "#,##0.00", "1,000.00"},
          {1234567, "#,##0", "1,234,567"},
          {123, "#,##0", "123"},
          {1000, "#,##0", "1,000"},
          {5, "0,000", "0,005"},
          {1e100, "#,##0",
           "10,000,000,000,000,000,159,028,911,097,599,180,468,360,808,563,945,"
           "281,389,781,327,557,747,838,772,170,381,060,813,469,985,856,815,104"},
          // Commas after the last integer placeholder divide by 1000 each,
          // exactly: 1234567 / 1000 = 1234.567, rounded once.
          {1234567, "#,##0,", "1,235"},
          {1234567890, "0,,", "1235"},
          {1234567, "0,.0", "1234.6"},
          {1500, "0,", "2"},  // 1.5 is a tie
          {1234567, "0,\" k\"", "1235 k"},
      },
      Locale::c());
}

TEST(FormatNumberTest, Percent) {
  expect_rows(
      {
          {0.256, "0.0%", "25.6%"},
          {0.125, "0%", "13%"},  // 12.5 exactly: a tie
          {0.5, "%0", "%50"},
          {-0.5, "0%", "-50%"},
          {0.01, "0%%", "100%%"},  // once per sign
      },
      Locale::c());
}

TEST(FormatNumberTest, ScientificNotation) {
  expect_rows(
      {
          {0.000123, "0.00E+00", "1.23E-04"},
          {12345, "0.00E+00", "1.23E+04"},
          {12345, "0.00e-00", "1.23e04"},
          {0.000123, "0.00E-0", "1.23E-4"},
          {0.000123, "0.00e+0", "1.23e-4"},
          {12345, "00.00E+00", "12.35E+03"},  // two integer digits, exact tie up
          {1e100, "0.000E+0", "1.000E+100"},
          {std::numeric_limits<double>::denorm_min(), "0E+00", "5E-324"},
          {1.5, "0.0E+000", "1.5E+000"},
          {9.96, "0.0E+00", "1.0E+01"},
          {1, "0E+#", "1E+0"},  // at least one exponent digit
          {0, "0.00E+00", "0.00E+00"},
          {12345, "#.##E+00", "1.23E+04"},
          {1.5, "0.0#E+00", "1.5E+00"},
          {12345, ".00E+00", ".12E+05"},
          {1234567, "#,##0.0E+0", "1,234.6E+3"},
          {0.5, "0.0E+00%", "5.0E+01%"},
          {-12345, "0.00E+00 \"m\"", "-1.23E+04 m"},
      },
      Locale::c());
}

TEST(FormatNumberTest, Sections) {
  expect_rows(
      {
          {5, "0;(0)", "5"},
          {-5, "0;(0)", "(5)"},
          {0, "0;(0)", "0"},
          {-0.04, "0.0;(0.0)", "(0.0)"},
          {0, "0;(0);\"zero\"", "zero"},
          {-0.0, "0;(0);\"zero\"", "zero"},
          {0.001, "0;(0);\"zero\"", "0"},  // chosen before rounding
          {-3, "0;\"neg\"", "neg"},
          // An empty negative or zero section stands for the first one.
          {-1.5, "0.00;;\"nil\"", "-1.50"},
          {0, "0.00;;\"nil\"", "nil"},
          {0, "0;-0;;\"null\"", "0"},
          {-2, "0;-0;;\"null\"", "-2"},
          {7, "0;-0;\"z\";\"null\"", "7"},
      },
      Locale::c());
}

TEST(FormatNumberTest, LiteralText) {
  expect_rows(
      {
          {-1234.5, "$#,##0.00", "-$1,234.50"},
          {5, "0 \"kg\"", "5 kg"},
          {5, "\\x0", "x5"},
          {5, "+0", "+5"},
          {5, "(0)", "(5)"},
          {12, "0\";\"0", "1;2"},  // a quoted ; is text, not a section break
          {12, "0\\;0", "1;2"},
          {5, "\"abc\"", "abc"},
          {-5, "\"abc\"", "-abc"},
          {5, "0\\\xE2\x82\xAC", "5\xE2\x82\xAC"},  // a whole UTF-8 character
          {5, "\"\xE2\x82\xAC \"0", "\xE2\x82\xAC 5"},
          {5, "\"\"0", "5"},
      },
      Locale::c());
}

TEST(FormatNumberTest, SeparatorsComeFromTheLocale) {
  const Locale german{",", ".", "EUR"};
  expect_rows(
      {
          {1234.5, "#,##0.00", "1.234,50"},
          {12345.678, "0.0000E+00", "1,2346E+04"},
          {1.5, "0.00", "1,50"},
          {-0.001, "0.00", "-0,00"},
      },
      german);
  expect_rows({{1234567, "#,##0", "1234567"}}, Locale{".", "", ""});
  expect_rows({{1234567.5, "#,##0.0", "1'234'567.5"}}, Locale{".", "'", ""});
  expect_rows({{1.5, "0.0",
                "1\xD9\xAB"
                "5"}},
              Locale{"\xD9\xAB", "", ""});
}

TEST(FormatNumberTest, PatternsOutsideTheSubsetFailWithError5) {
  const std::vector<std::string> patterns = {
      "",           // empty
      ";0",         // empty first section
      "0;0;0;0;0",  // five sections
      "abc",        // letters are not literals unless quoted
      "0x",
      "0:00",  // time separators
      "0/0",
      "d",
      "0\xE2\x82\xAC",  // an unquoted non-ASCII character
      "\"unterminated",
      "0\\",    // trailing backslash
      "0.0.0",  // second decimal separator
      "0E",     // E without sign and placeholder
      "0E0",
      "0E+",
      "0Ee+0",
      "E+00",  // no mantissa placeholder
      ".E+00",
      "0E+00 0",  // a placeholder after the exponent
      "0E+00.",
      "0E+00E+00",
      ",0",    // comma before the first placeholder
      "0.0,",  // comma in the fraction
      "0E+00,",
      "0;abc",  // every section is checked
      "0;0;0;abc",
      std::string("0\0"
                  "0",
                  3),  // a NUL character
  };
  for (const std::string& pattern : patterns) {
    SCOPED_TRACE("pattern [" + pattern + "]");
    EXPECT_RUNTIME_ERROR(format_number(1.5, pattern, Locale::c()), 5);
    EXPECT_RUNTIME_ERROR(format_number(0.0, pattern, Locale::c()), 5);
  }
}

TEST(FormatNumberTest, InfinityAndNanFailWithError6) {
  for (const double x :
       {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(x);
    EXPECT_RUNTIME_ERROR(format_number(x, "0.0000E+00", Locale::c()), 6);
    EXPECT_RUNTIME_ERROR(format_number(x, "00", Locale::c()), 6);
  }
}

TEST(FormatNumberTest, ScalingBeyondAnyTextIsAnOverflow) {
  // Each % multiplies by 100: 1e308 with 600000 of them would need some
  // 1.2 million integer digits.
  EXPECT_RUNTIME_ERROR(format_number(1e308, "0" + std::string(600000, '%'), Locale::c()), 6);
  EXPECT_EQ(format_number(1, "0" + std::string(10, '%'), Locale::c()),
            "1" + std::string(20, '0') + std::string(10, '%'));
}

TEST(TextLengthTest, CountsCharactersNotBytes) {
  EXPECT_EQ(text_length(""), 0u);
  EXPECT_EQ(text_length("0.0000E+00"), 10u);
  EXPECT_EQ(text_length("\"\xE2\x82\xAC\"0"), 4u);
  EXPECT_EQ(text_length("\xF0\x9F\x98\x80"), 1u);
}

// The exact decimal expansion according to glibc's printf, which is exact at
// any precision; used only to recognise exact ties, which printf rounds to
// even under the default rounding mode.
bool is_tie(double x, int significant) {
  char buf[1200];
  std::snprintf(buf, sizeof buf, "%.800e", std::fabs(x));
  std::string digits;
  for (const char* p = buf; *p != 'e'; ++p) {
    if (*p != '.') digits.push_back(*p);
  }
  if (digits.size() <= static_cast<std::size_t>(significant)) return false;
  if (digits[static_cast<std::size_t>(significant)] != '5') return false;
  return digits.find_first_not_of('0', static_cast<std::size_t>(significant) + 1) ==
         std::string::npos;
}

// Random doubles of every magnitude against glibc's correctly rounded printf.
TEST(FormatNumberTest, AgreesWithCorrectlyRoundedPrintfAwayFromTies) {
  std::mt19937_64 random(20240611);
  int compared = 0;
  for (int k = 0; k < 20000; ++k) {
    double x;
    const std::uint64_t bits = random();
    std::memcpy(&x, &bits, sizeof x);
    if (!std::isfinite(x) || x == 0.0) continue;
    char expected[1200];
    if (!is_tie(x, 5)) {
      std::snprintf(expected, sizeof expected, "%.4E", x);
      ASSERT_EQ(format_number(x, "0.0000E+00", Locale::c()), expected) << "bits " << bits;
      ++compared;
    }
    // Fixed notation for moderate magnitudes, where ties sit at the third decimal.
    const double y = std::ldexp(x, -std::ilogb(x) + static_cast<int>(bits % 60) - 20);
    char fixed[1200];
    std::snprintf(fixed, sizeof fixed, "%.3f", y);
    char exact[1200];
    std::snprintf(exact, sizeof exact, "%.900f", std::fabs(y));
    const std::string e(exact);
    const std::size_t point = e.find('.');
    const bool tie =
        e[point + 4] == '5' && e.find_first_not_of('0', point + 5) == std::string::npos;
    if (!tie) {
      ASSERT_EQ(format_number(y, "0.000", Locale::c()), fixed) << "value " << y;
    }
  }
  EXPECT_GT(compared, 19000);
}

}  // namespace
}  // namespace nodrel::detail
