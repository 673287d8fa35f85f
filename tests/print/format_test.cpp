#include "print/format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/values.hpp"

namespace nodrel::detail {
namespace {

constexpr double kTiny = std::numeric_limits<double>::denorm_min();
const Locale kGerman{",", ".", "EUR"};

struct Row {
  double value;
  const char* pattern;
  std::string expected;
  Locale locale = Locale::c();
};

// Every feature of the subset; exact values noted where a decimal literal is
// not the double it names.
const std::vector<Row> kRows = {
    // The default pattern, for every kind of double.
    {-2.5, "0.0000E+00", "-2.5000E+00"},
    {-0.0, "0.0000E+00", "0.0000E+00"},     // a zero, not a negative number
    {9.99995, "0.0000E+00", "1.0000E+01"},  // the carry moves the exponent
    {12344.5, "0.0000E+00", "1.2345E+04"},  // an exact tie, away from zero
    {-kTiny, "0.0000E+00", "-4.9407E-324"},
    // Row and column numbers: every digit of the exact value.
    {1, "00", "01"},
    {100, "00", "100"},
    {2.5, "00", "03"},
    // Fixed point.
    {0.5, "0", "1"},
    {-2.5, "0", "-3"},
    {0.125, "0.00", "0.13"},    // exact tie
    {2.675, "0.00", "2.67"},    // 2.67499999999999982236...
    {12.345, "0.00", "12.35"},  // 12.34500000000000063948...
    {1e-7, "0.000000000", "0.000000100"},
    {-0.001, "0.00", "-0.00"},  // the sign follows the value before rounding
    // Digit placeholders and literals between them.
    {0.5, "#.##", ".5"},
    {5, "#.##", "5."},
    {1.255, "0.0#", "1.25"},
    {1.5, "0.#0", "1.50"},
    {0, "#", ""},
    {5, "#0#", "05"},
    {12.5, ".00", "12.50"},
    {5551234567, "(000) 000-0000", "(555) 123-4567"},
    {5, "#-#", "-5"},
    // Thousands: grouping, and scaling by the commas after the last digit.
    {1234567.891, "#,##0.00", "1,234,567.89"},
    {999.995, "#,##0.00", "1,000.00"},
    {5, "0,000", "0,005"},
    {1234567, "#,##0,", "1,235"},
    {1234567890, "0,,", "1235"},
    {1234567, "0,.0", "1234.6"},
    {1234567, "0,\" k\"", "1235 k"},
    // Percent.
    {0.256, "0.0%", "25.6%"},
    {0.5, "%0", "%50"},
    {0.01, "0%%", "100%%"},
    // Scientific.
    {0.000123, "0.00E+00", "1.23E-04"},
    {12345, "0.00e-00", "1.23e04"},
    {0.000123, "0.00E-0", "1.23E-4"},
    {12345, "00.00E+00", "12.35E+03"},
    {kTiny, "0E+00", "5E-324"},
    {1.5, "0.0E+000", "1.5E+000"},
    {9.96, "0.0E+00", "1.0E+01"},
    {1, "0E+#", "1E+0"},
    {12345, "#.##E+00", "1.23E+04"},
    {12345, ".00E+00", ".12E+05"},
    {1234567, "#,##0.0E+0", "1,234.6E+3"},
    {0.5, "0.0E+00%", "5.0E+01%"},
    {-12345, "0.00E+00 \"m\"", "-1.23E+04 m"},
    // Sections.
    {-0.04, "0.0;(0.0)", "(0.0)"},
    {0, "0;(0);\"zero\"", "zero"},
    {-0.0, "0;(0);\"zero\"", "zero"},
    {-3, "0;\"neg\"", "neg"},
    {-1.5, "0.00;;\"nil\"", "-1.50"},  // empty sections stand for the first
    {0, "0;-0;;\"null\"", "0"},
    // Literal text.
    {-1234.5, "$#,##0.00", "-$1,234.50"},
    {5, "+0 \"kg\"", "+5 kg"},
    {5, "\\x0", "x5"},
    {12, "0\";\"0", "1;2"},
    {-5, "\"abc\"", "-abc"},
    {5, "0\\\xE2\x82\xAC", "5\xE2\x82\xAC"},
    {5, "\"\"0", "5"},
    // Separators of the locale (the print table has those of German).
    {1234567, "#,##0", "1234567", Locale{".", "", ""}},
    {1.5, "0.0", "1\u066B5", Locale{"\u066B", "", ""}},  // a separator of two bytes
};

TEST(FormatNumberTest, PatternTable) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(testing::Message() << row.value << " [" << row.pattern << "]");
    EXPECT_EQ(format_number(row.value, row.pattern, row.locale), row.expected);
  }
}

TEST(FormatNumberTest, Failures) {
  // Outside the subset: error 5, whatever the value.
  for (const std::string pattern :
       {"",        ";0",     "0;0;0;0;0", "abc", "0:00", "0/0",    "0\xE2\x82\xAC", "\"open",
        "0\\",     "0.0.0",  "0E",        "0E0", "0E+",  "0Ee+0",  "E+00",          ".E+00",
        "0E+00 0", "0E+00.", "0E+00E+00", ",0",  "0.0,", "0E+00,", "0;0;0;abc"}) {
    SCOPED_TRACE("[" + pattern + "]");
    EXPECT_RUNTIME_ERROR(format_number(1.5, pattern, Locale::c()), 5);
  }
  EXPECT_RUNTIME_ERROR(format_number(0, std::string("0\0", 2), Locale::c()), 5);
  // Not a finite number, or more digits than any text should hold: error 6.
  for (const double x : {INFINITY, -INFINITY, NAN}) {
    EXPECT_RUNTIME_ERROR(format_number(x, "0.0000E+00", Locale::c()), 6);
  }
  EXPECT_RUNTIME_ERROR(format_number(1e308, "0" + std::string(600000, '%'), Locale::c()), 6);
}

}  // namespace
}  // namespace nodrel::detail
