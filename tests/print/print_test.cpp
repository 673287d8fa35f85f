// mPrint's text: the arguments, their defaults and write-backs, the layouts
// and the failures, seen through a label that receives the whole text.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "nodrel/matr.hpp"
#include "print/fakes.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

using testing_fakes::FakeLabel;
using testing_fakes::FakePlatform;
using testing_fakes::Log;
using testing_fakes::object_variant;

const Variant kMissing = Variant::missing();

class PrintTest : public testing::Test {
 protected:
  PrintTest() {
    m_.set_locale(Locale::c());
    m_.set_platform(platform_);
  }

  // mPrint to a label emptied first (Append false): its caption is then the
  // print text exactly, with nothing added by the destination.
  std::string print(Variant to_print, Variant frmt = kMissing, Variant comment = kMissing,
                    Variant row_col = kMissing) {
    auto label = std::make_shared<FakeLabel>(log_, "old");
    m_.mPrint(to_print, object_variant(label), {}, frmt, comment, row_col, Variant(false));
    return label->caption;
  }

  // Runs mPrint expecting run-time error `number`, and checks that nothing
  // reached the destination.
  void expect_failure(Variant to_print, Variant frmt, Variant comment, Variant row_col,
                      int number) {
    auto label = std::make_shared<FakeLabel>(log_, "old");
    log_.clear();
    EXPECT_RUNTIME_ERROR(
        m_.mPrint(to_print, object_variant(label), {}, frmt, comment, row_col, Variant(false)),
        number);
    EXPECT_EQ(label->caption, "old");
    EXPECT_TRUE(log_.empty()) << log_.front();
  }

  Log log_;
  std::shared_ptr<FakePlatform> platform_ = std::make_shared<FakePlatform>(log_);
  Matr m_;
};

TEST_F(PrintTest, WorkedExampleByteForByte) {
  const DoubleArray a = DoubleArray::matrix({{1, -2.5, 0}, {12345.678, -0.001, 3}});
  EXPECT_EQ(print(Variant(a), kMissing, Variant("Test")),
            "Test\r\n"
            "             01           02           03  \r\n"
            "01  +1.0000E+00  -2.5000E+00  +0.0000E+00  \r\n"
            "02  +1.2346E+04  -1.0000E-03  +3.0000E+00  ");
}

TEST_F(PrintTest, VectorStandsOnOneLineWithoutLabels) {
  const std::string expected = "\r\n+1.0000E+00  +2.0000E+00  -3.0000E+00  ";
  EXPECT_EQ(print(Variant(DoubleArray::vector({1, 2, -3}))), expected);
  // An array of variants converts element by element, texts included.
  EXPECT_EQ(print(Variant(VariantArray::vector({Variant(1), Variant("2"), Variant(-3.0)}))),
            expected);
  // RowCol is not consulted for a Vector, not even converted.
  EXPECT_EQ(print(Variant(DoubleArray::vector({1})), kMissing, kMissing, Variant("maybe")),
            "\r\n+1.0000E+00  ");
}

TEST_F(PrintTest, MatrixShapes) {
  struct Row {
    const char* name;
    DoubleArray value;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"one column is a Matrix, not a Vector", DoubleArray::matrix({{1}, {2}}),
       "\r\n             01  \r\n01  +1.0000E+00  \r\n02  +2.0000E+00  "},
      {"more columns than rows", DoubleArray::matrix({{1, 2, 3}}),
       "\r\n             01           02           03  \r\n"
       "01  +1.0000E+00  +2.0000E+00  +3.0000E+00  "},
      {"more rows than columns", DoubleArray::matrix({{1, 2}, {3, 4}, {5, 6}}),
       "\r\n             01           02  \r\n01  +1.0000E+00  +2.0000E+00  \r\n"
       "02  +3.0000E+00  +4.0000E+00  \r\n03  +5.0000E+00  +6.0000E+00  "},
      {"a three-digit exponent widens its cell, the labels stay", DoubleArray::matrix({{1e100, 1}}),
       "\r\n             01           02  \r\n01  +1.0000E+100  +1.0000E+00  "},
      {"row 0 and column 0 are not printed", DoubleArray::matrix({{9, 9}, {9, 7}}, 0, 0),
       "\r\n             01  \r\n01  +7.0000E+00  "},
      {"no rows: the header alone", DoubleArray::zeros(0, 2),
       "\r\n             01           02  \r\n"},
      {"upper bounds 0 and 0: the indent alone", DoubleArray::zeros(0, 0), "\r\n    \r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(print(Variant(row.value)), row.expected);
  }
}

TEST_F(PrintTest, RowNumbersFromOneHundredTakeThreeCharacters) {
  const std::string text = print(Variant(DoubleArray::zeros(100, 1)));
  const std::size_t last = text.rfind("\r\n");
  const std::size_t before = text.rfind("\r\n", last - 1);
  EXPECT_EQ(text.substr(before + 2, last - before - 2), "99  +0.0000E+00  ");
  EXPECT_EQ(text.substr(last + 2), "100  +0.0000E+00  ");
}

TEST_F(PrintTest, RowColFalseDropsHeaderAndRowNumbers) {
  const DoubleArray a = DoubleArray::matrix({{1, 2}, {3, 4}});
  const std::string plain = "\r\n+1.0000E+00  +2.0000E+00  \r\n+3.0000E+00  +4.0000E+00  ";
  EXPECT_EQ(print(Variant(a), kMissing, kMissing, Variant(false)), plain);
  EXPECT_EQ(print(Variant(a), kMissing, kMissing, Variant(0)), plain);
  EXPECT_EQ(print(Variant(a), kMissing, kMissing, Variant::null()), plain);  // Null is false
  EXPECT_EQ(print(Variant(a), kMissing, kMissing, Variant(-1)), print(Variant(a)));
}

TEST_F(PrintTest, OtherPatternsAndLocales) {
  const DoubleArray a = DoubleArray::matrix({{123.456, -0.001}});
  // Five pattern characters: labels in fields of six, over cells of seven.
  EXPECT_EQ(print(Variant(a), Variant("#0.00")),
            "\r\n        01      02  \r\n01  +123.46  -0.00  ");
  m_.set_locale(Locale{",", ".", "EUR"});
  EXPECT_EQ(print(Variant(a), kMissing, Variant("de")),
            "de\r\n             01           02  \r\n01  +1,2346E+02  -1,0000E-03  ");
}

TEST_F(PrintTest, NumberLayoutHasNoPlus) {
  struct Row {
    const char* name;
    Variant value;
    Variant pattern;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"double", Variant(2.5), kMissing, "\r\n2.5000E+00  "},
      {"negative", Variant(-2.5), kMissing, "\r\n-2.5000E+00  "},
      {"numeric text", Variant("2.5"), kMissing, "\r\n2.5000E+00  "},
      {"true", Variant(true), kMissing, "\r\n-1.0000E+00  "},
      {"empty", Variant(), kMissing, "\r\n0.0000E+00  "},
      // A number is not read back, so literal text is allowed here.
      {"literal pattern", Variant(5), Variant("0 \"kg\""), "\r\n5 kg  "},
      {"text that is no number", Variant("abc"), kMissing, "\r\n"},
      {"Null", Variant::null(), kMissing, "\r\n"},
      {"date", Variant(Date{45000.0}), kMissing, "\r\n"},
      {"error value", Variant(ErrorValue{5}), kMissing, "\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(print(row.value, row.pattern), row.expected);
  }
}

TEST_F(PrintTest, RowColOfAScalarIsWrittenBackFalse) {
  for (Variant given : {Variant(true), Variant(-1), kMissing}) {
    Variant row_col = given;
    m_.mPrint(Variant(2.5), {}, {}, {}, {}, row_col);
    ASSERT_NE(row_col.boolean(), nullptr);
    EXPECT_FALSE(*row_col.boolean());
  }
  // An array leaves it as it was.
  Variant row_col = Variant(true);
  m_.mPrint(Variant(DoubleArray::matrix({{1}})), {}, {}, {}, {}, row_col);
  EXPECT_TRUE(*row_col.boolean());
}

TEST_F(PrintTest, DefaultsAreNotWrittenBack) {
  Variant frmt = kMissing;
  Variant comment = kMissing;
  Variant append = kMissing;
  Variant modal = kMissing;
  Variant row_col = kMissing;
  m_.mPrint(Variant(DoubleArray::matrix({{1}})), {}, {}, frmt, comment, row_col, append, modal);
  for (const Variant* v : {&frmt, &comment, &append, &modal, &row_col}) {
    EXPECT_TRUE(v->is_missing());
  }
}

TEST_F(PrintTest, FailuresDeliverNothing) {
  const Variant matrix(DoubleArray::matrix({{1, 2}}));
  const Variant vector(DoubleArray::vector({1, 2}));
  struct Row {
    const char* name;
    Variant to_print;
    Variant frmt;
    Variant comment;
    Variant row_col;
    int number;
  };
  const std::vector<Row> rows = {
      {"array never dimensioned", Variant(DoubleArray()), kMissing, kMissing, kMissing, 9},
      {"element that is no number",
       Variant(VariantArray::vector({Variant(1), Variant(2), Variant("abc")})), kMissing, kMissing,
       kMissing, 13},
      {"Null element", Variant(VariantArray::vector({Variant(1), Variant::null()})), kMissing,
       kMissing, kMissing, 94},
      {"second upper bound 0 under rows", Variant(DoubleArray::zeros(2, 0)), kMissing, kMissing,
       kMissing, 9},
      {"pattern with literal text, matrix", matrix, Variant("0 \"kg\""), kMissing, kMissing, 13},
      {"pattern with literal text, vector", vector, Variant("0%"), kMissing, kMissing, 13},
      {"empty pattern, matrix header", matrix, Variant(""), kMissing, kMissing, 5},
      {"empty pattern, vector", vector, Variant(""), kMissing, kMissing, 5},
      {"empty pattern, number", Variant(1), Variant(""), kMissing, kMissing, 5},
      {"pattern outside the subset", vector, Variant("0.00x"), kMissing, kMissing, 5},
      {"pattern Null", vector, Variant::null(), kMissing, kMissing, 94},
      {"pattern a number", vector, Variant(0), kMissing, kMissing, 13},
      {"comment a number", vector, kMissing, Variant(5), kMissing, 13},
      {"comment Null", vector, kMissing, Variant::null(), kMissing, 94},
      {"comment Null, nothing to print", Variant("abc"), kMissing, Variant::null(), kMissing, 94},
      {"RowCol that is no truth value", matrix, kMissing, kMissing, Variant("maybe"), 13},
      {"infinite element",
       Variant(DoubleArray::vector({1, std::numeric_limits<double>::infinity()})), kMissing,
       kMissing, kMissing, 6},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    expect_failure(row.to_print, row.frmt, row.comment, row.row_col, row.number);
  }
}

TEST_F(PrintTest, SmallNegativeShownAsMinusZeroGetsNoPlus) {
  EXPECT_EQ(print(Variant(DoubleArray::vector({-0.001, -0.0, 0.001})), Variant("0.00")),
            "\r\n-0.00  +0.00  +0.00  ");
}

TEST_F(PrintTest, WorkingCopyFollowsEachCall) {
  print(Variant(DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}})));
  EXPECT_EQ(print(Variant(DoubleArray::vector({5}))), "\r\n+5.0000E+00  ");
  EXPECT_EQ(print(Variant(DoubleArray::matrix({{6}}))),
            "\r\n             01  \r\n01  +6.0000E+00  ");
}

TEST_F(PrintTest, ErrCodeIsReset) {
  DoubleArray singular = DoubleArray::matrix({{1, 1}, {1, 1}});
  m_.mInv(singular);
  ASSERT_EQ(m_.ErrCode(), 4);
  m_.mPrint(Variant(1));
  EXPECT_EQ(m_.ErrCode(), 0);
}

}  // namespace
}  // namespace nodrel
