#include "print/compose.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "nodrel/double_array.hpp"
#include "nodrel/locale.hpp"
#include "support/expect_error.hpp"

namespace nodrel::detail {
namespace {

std::string cell(double x, std::string_view pattern, const Locale& locale = Locale::c()) {
  std::string text;
  append_cell(text, x, pattern, locale);
  return text;
}

TEST(ComposeCellTest, PlusGoesBeforeTextsThatReadBackAsNonNegative) {
  struct Row {
    double value;
    const char* pattern;
    const char* expected;
  };
  const Row rows[] = {
      {1, "0.0000E+00", "+1.0000E+00  "},
      {-2.5, "0.0000E+00", "-2.5000E+00  "},
      {0, "0.0000E+00", "+0.0000E+00  "},
      {-0.0, "0.0000E+00", "+0.0000E+00  "},
      {12345.678, "0.0000E+00", "+1.2346E+04  "},
      {-0.001, "0.0000E+00", "-1.0000E-03  "},
      {1e100, "0.0000E+00", "+1.0000E+100  "},
      {-0.0, "0.00", "+0.00  "},
      // "-0.00" reads back as zero, yet it already carries its sign.
      {-0.001, "0.00", "-0.00  "},
      {-1e-300, "0.0000", "-0.0000  "},
      // A negative section without "-" still reads back as negative.
      {-5, "0;(0)", "(5)  "},
      {5, "0;(0)", "+5  "},
      {1234.5, "#,##0.00", "+1,234.50  "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.value << " [" << row.pattern << "]");
    EXPECT_EQ(cell(row.value, row.pattern), row.expected);
  }
}

TEST(ComposeCellTest, ReadsBackInTheSameLocale) {
  const Locale german{",", ".", "EUR"};
  EXPECT_EQ(cell(1234.5, "#,##0.00", german), "+1.234,50  ");
  EXPECT_EQ(cell(-0.5, "0.0", german), "-0,5  ");
}

TEST(ComposeCellTest, TextThatDoesNotReadBackFails) {
  EXPECT_RUNTIME_ERROR(cell(5, "0 \"kg\""), 13);
  EXPECT_RUNTIME_ERROR(cell(0.5, "0%"), 13);
  // Only the section that is used has to read back.
  EXPECT_EQ(cell(5, "0;0;\"zero\""), "+5  ");
  EXPECT_RUNTIME_ERROR(cell(0, "0;0;\"zero\""), 13);
  EXPECT_RUNTIME_ERROR(cell(5, "abc"), 5);
}

TEST(ComposeTextArgumentTest, OnlyTextAndEmptyAreText) {
  EXPECT_EQ(text_argument(Variant("Test")), "Test");
  EXPECT_EQ(text_argument(Variant()), "");
  EXPECT_RUNTIME_ERROR(text_argument(Variant::null()), 94);
  EXPECT_RUNTIME_ERROR(text_argument(Variant(5)), 13);
  EXPECT_RUNTIME_ERROR(text_argument(Variant(2.5)), 13);
  EXPECT_RUNTIME_ERROR(text_argument(Variant(true)), 13);
  EXPECT_RUNTIME_ERROR(text_argument(Variant(Date{1.0})), 13);
}

std::string matrix_text(const DoubleArray& m, std::string_view pattern, bool row_col) {
  std::string text;
  append_matrix(text, m, pattern, row_col, Locale::c());
  return text;
}

TEST(ComposeMatrixTest, LabelFieldsFollowThePatternLength) {
  const DoubleArray m = DoubleArray::matrix({{123.456, -1}});
  // Five characters of pattern: fields of six while the cells take seven, so
  // the labels drift left of their columns.
  EXPECT_EQ(matrix_text(m, "#0.00", true), "        01      02  \r\n01  +123.46  -1.00  ");
  EXPECT_EQ(matrix_text(m, "0", true), "    01  02  \r\n01  +123  -1  ");
  // The field counts characters, not bytes: four here. Literal text does not
  // read back, so the header is complete when the first cell fails.
  std::string text;
  EXPECT_RUNTIME_ERROR(append_matrix(text, m, "0\"\xE2\x82\xAC\"", true, Locale::c()), 13);
  EXPECT_EQ(text, "       01     02  \r\n01  ");
}

TEST(ComposeMatrixTest, ALabelWiderThanItsFieldFailsWithError5) {
  std::string text;
  EXPECT_RUNTIME_ERROR(append_matrix(text, DoubleArray::zeros(1, 1), "", true, Locale::c()), 5);
  // "0" leaves room for two digits, not for column 100.
  text.clear();
  EXPECT_RUNTIME_ERROR(append_matrix(text, DoubleArray::zeros(1, 100), "0", true, Locale::c()), 5);
  EXPECT_EQ(text.substr(0, 12), "    01  02  ");
  // Without labels the pattern's length does not matter.
  EXPECT_EQ(matrix_text(DoubleArray::matrix({{7}}), "0", false), "+7  ");
}

TEST(ComposeMatrixTest, RowNumbersAndLineEnds) {
  const DoubleArray m = DoubleArray::matrix({{1, 2}, {3, 4}, {5, 6}}, 0, 0);  // 0..2, 0..1
  EXPECT_EQ(matrix_text(m, "0", true), "    01  \r\n01  +4  \r\n02  +6  ");
  EXPECT_EQ(matrix_text(m, "0", false), "+4  \r\n+6  ");
  EXPECT_EQ(matrix_text(DoubleArray::zeros(0, 2), "0", true), "    01  02  \r\n");
  EXPECT_EQ(matrix_text(DoubleArray::zeros(0, 0), "0", true), "    \r\n");
  EXPECT_EQ(matrix_text(DoubleArray::zeros(0, 0), "0", false), "");
  EXPECT_EQ(matrix_text(DoubleArray::zeros(2, 0), "0", true), "    \r\n");
}

TEST(ComposeVectorAndNumberTest, Layouts) {
  std::string text;
  append_vector(text, DoubleArray::vector({9, 1, -2}, 0), "0.0", Locale::c());
  EXPECT_EQ(text, "+1.0  -2.0  ");
  text.clear();
  append_vector(text, DoubleArray::zeros(0), "0.0", Locale::c());
  EXPECT_EQ(text, "");
  text = "x";
  append_number(text, 2.5, "0.00", Locale::c());
  append_number(text, -2.5, "0.00", Locale::c());
  append_number(text, 5, "0 \"kg\"", Locale::c());  // a number is not read back
  EXPECT_EQ(text, "x2.50  -2.50  5 kg  ");
}

}  // namespace
}  // namespace nodrel::detail
