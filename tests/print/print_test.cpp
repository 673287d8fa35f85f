// mPrint's text: the layouts, the arguments' defaults and write-backs, and
// the failures, seen through a label that receives the whole text.
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
const std::string kHeader2 = "             01           02  \r\n";

class PrintTest : public testing::Test {
 protected:
  PrintTest() {
    m_.set_locale(Locale::c());
    m_.set_platform(std::make_shared<FakePlatform>(log_));
  }

  // mPrint to a label emptied first (Append false): its caption is then the
  // print text exactly. When `error` is set, the call must fail with it and
  // leave the label untouched.
  std::string print(Variant to_print, Variant frmt = kMissing, Variant comment = kMissing,
                    Variant row_col = kMissing, int error = 0) {
    auto label = std::make_shared<FakeLabel>(log_, "old");
    Variant obj = object_variant(label);
    if (error == 0) {
      m_.mPrint(to_print, obj, {}, frmt, comment, row_col, Variant(false));
    } else {
      EXPECT_RUNTIME_ERROR(m_.mPrint(to_print, obj, {}, frmt, comment, row_col, Variant(false)),
                           error);
      EXPECT_EQ(label->caption, "old");
      EXPECT_TRUE(log_.empty()) << log_.front();
    }
    return label->caption;
  }

  Log log_;
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

TEST_F(PrintTest, Layouts) {
  struct Row {
    const char* name;
    Variant to_print;
    Variant frmt;
    Variant row_col;
    std::string expected;
  };
  const DoubleArray two_by_two = DoubleArray::matrix({{1, 2}, {3, 4}});
  const std::vector<Row> rows = {
      {"vector: one line, no labels, RowCol not read", Variant(DoubleArray::vector({1, 2, -3})),
       kMissing, Variant("maybe"), "\r\n+1.0000E+00  +2.0000E+00  -3.0000E+00  "},
      {"array of variants, texts included",
       Variant(VariantArray::vector({Variant(1), Variant("-2")})), kMissing, kMissing,
       "\r\n+1.0000E+00  -2.0000E+00  "},
      {"one column is a Matrix", Variant(DoubleArray::matrix({{1}, {2}})), kMissing, kMissing,
       "\r\n             01  \r\n01  +1.0000E+00  \r\n02  +2.0000E+00  "},
      {"more rows than columns", Variant(DoubleArray::matrix({{1, 2}, {3, 4}, {5, 6}})), kMissing,
       kMissing,
       "\r\n" + kHeader2 + "01  +1.0000E+00  +2.0000E+00  \r\n02  +3.0000E+00  +4.0000E+00  " +
           "\r\n03  +5.0000E+00  +6.0000E+00  "},
      {"a three-digit exponent widens its cell only", Variant(DoubleArray::matrix({{1e100, 1}})),
       kMissing, kMissing, "\r\n" + kHeader2 + "01  +1.0000E+100  +1.0000E+00  "},
      {"row 0 and column 0 are not printed", Variant(DoubleArray::matrix({{9, 9}, {9, 7}}, 0, 0)),
       kMissing, kMissing, "\r\n             01  \r\n01  +7.0000E+00  "},
      {"no rows: the header alone", Variant(DoubleArray::zeros(0, 2)), kMissing, kMissing,
       "\r\n" + kHeader2},
      {"upper bounds 0, 0: the indent alone", Variant(DoubleArray::zeros(0, 0)), kMissing, kMissing,
       "\r\n    \r\n"},
      {"RowCol false", Variant(two_by_two), kMissing, Variant(false),
       "\r\n+1.0000E+00  +2.0000E+00  \r\n+3.0000E+00  +4.0000E+00  "},
      {"RowCol Null is false", Variant(two_by_two), kMissing, Variant::null(),
       "\r\n+1.0000E+00  +2.0000E+00  \r\n+3.0000E+00  +4.0000E+00  "},
      // Label fields follow the pattern's length: five characters give fields
      // of six over cells of seven.
      {"labels shift with the pattern", Variant(DoubleArray::matrix({{123.456, -1}})),
       Variant("#0.00"), kMissing, "\r\n        01      02  \r\n01  +123.46  -1.00  "},
      // "-0.00" reads back as zero but carries its sign; "(5)" reads back negative.
      {"no plus before a minus", Variant(DoubleArray::vector({-0.001, -0.0})), Variant("0.00"),
       kMissing, "\r\n-0.00  +0.00  "},
      {"no plus before a negative", Variant(DoubleArray::vector({-5, 5})), Variant("0;(0)"),
       kMissing, "\r\n(5)  +5  "},
      {"number: no plus", Variant(2.5), kMissing, kMissing, "\r\n2.5000E+00  "},
      {"numeric text", Variant("-2.5"), kMissing, kMissing, "\r\n-2.5000E+00  "},
      {"true", Variant(true), kMissing, kMissing, "\r\n-1.0000E+00  "},
      {"a number is not read back", Variant(5), Variant("0 \"kg\""), kMissing, "\r\n5 kg  "},
      {"text that is no number", Variant("abc"), kMissing, kMissing, "\r\n"},
      {"Null", Variant::null(), kMissing, kMissing, "\r\n"},
      {"date", Variant(Date{45000.0}), kMissing, kMissing, "\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(print(row.to_print, row.frmt, kMissing, row.row_col), row.expected);
  }
}

TEST_F(PrintTest, RowNumbersFromOneHundredTakeThreeCharacters) {
  const std::string text = print(Variant(DoubleArray::zeros(100, 1)));
  EXPECT_NE(text.find("\r\n99  +0.0000E+00  \r\n100  +0.0000E+00  "), std::string::npos);
}

TEST_F(PrintTest, TheObjectsLocale) {
  m_.set_locale(Locale{",", ".", "EUR"});
  EXPECT_EQ(print(Variant(DoubleArray::matrix({{1234.5, -0.001}})), kMissing, Variant("de")),
            "de\r\n" + kHeader2 + "01  +1,2345E+03  -1,0000E-03  ");
  EXPECT_EQ(print(Variant(DoubleArray::vector({1234.5})), Variant("#,##0.0")), "\r\n+1.234,5  ");
  // A currency sign reads back; the pattern is 6 characters (8 bytes) long.
  m_.set_locale(Locale{".", ",", "\xE2\x82\xAC"});
  EXPECT_EQ(print(Variant(DoubleArray::matrix({{1}})), Variant("\"\xE2\x82\xAC\"0.0")),
            "\r\n         01  \r\n01  +\xE2\x82\xAC"
            "1.0  ");
  // A currency sign a number's text can begin with is read as one: "1" is no number here.
  m_.set_locale(Locale{",", "", "1"});
  log_.clear();
  print(Variant(DoubleArray::vector({1})), Variant("0"), kMissing, kMissing, 13);
}

TEST_F(PrintTest, FailuresDeliverNothing) {
  const Variant matrix(DoubleArray::matrix({{1, 2}}));
  const Variant vector(DoubleArray::vector({1, 0}));
  struct Row {
    const char* name;
    Variant to_print;
    Variant frmt;
    Variant comment;
    Variant row_col;
    int error;
  };
  const std::vector<Row> rows = {
      {"array never dimensioned", Variant(DoubleArray()), kMissing, kMissing, kMissing, 9},
      {"element that is no number", Variant(VariantArray::vector({Variant(1), Variant("abc")})),
       kMissing, kMissing, kMissing, 13},
      {"Null element", Variant(VariantArray::vector({Variant::null()})), kMissing, kMissing,
       kMissing, 94},
      {"second upper bound 0 under rows", Variant(DoubleArray::zeros(2, 0)), kMissing, kMissing,
       kMissing, 9},
      {"infinite element", Variant(DoubleArray::vector({std::numeric_limits<double>::infinity()})),
       kMissing, kMissing, kMissing, 6},
      {"largest double shown as 1.8E+308 reads back out of range",
       Variant(DoubleArray::vector({std::numeric_limits<double>::max()})), Variant("0.0E+00"),
       kMissing, kMissing, 6},
      {"\"#.#\" shows only \".\" for 0, which is no number", vector, Variant("#.#"), kMissing,
       kMissing, 13},
      {"literal text does not read back", matrix, Variant("0 \"kg\""), kMissing, kMissing, 13},
      {"only the zero section has text", vector, Variant("0;0;\"zero\""), kMissing, kMissing, 13},
      {"empty pattern: negative space count", matrix, Variant(""), kMissing, kMissing, 5},
      {"column 100 is wider than \"0\" allows", Variant(DoubleArray::zeros(1, 100)), Variant("0"),
       kMissing, kMissing, 5},
      {"empty pattern, vector", vector, Variant(""), kMissing, kMissing, 5},
      {"empty pattern, number", Variant(1), Variant(""), kMissing, kMissing, 5},
      {"pattern outside the subset", vector, Variant("0.00x"), kMissing, kMissing, 5},
      {"pattern Null", vector, Variant::null(), kMissing, kMissing, 94},
      {"pattern a number", vector, Variant(0), kMissing, kMissing, 13},
      {"comment a number", vector, kMissing, Variant(5), kMissing, 13},
      {"comment Null", Variant("abc"), kMissing, Variant::null(), kMissing, 94},
      {"RowCol no truth value", matrix, kMissing, kMissing, Variant("maybe"), 13},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    log_.clear();
    print(row.to_print, row.frmt, row.comment, row.row_col, row.error);
  }
}

TEST_F(PrintTest, WriteBacks) {
  // RowCol becomes false for a scalar, given or not; an array leaves it.
  for (Variant row_col : {Variant(true), kMissing}) {
    m_.mPrint(Variant(2.5), {}, {}, {}, {}, row_col);
    ASSERT_NE(row_col.boolean(), nullptr);
    EXPECT_FALSE(*row_col.boolean());
  }
  Variant row_col = Variant(-1);
  m_.mPrint(Variant(DoubleArray::matrix({{1}})), {}, {}, {}, {}, row_col);
  EXPECT_EQ(*row_col.integer(), -1);
  // The defaults of missing arguments stay inside.
  Variant frmt = kMissing, comment = kMissing, append = kMissing, modal = kMissing;
  m_.mPrint(Variant(DoubleArray::matrix({{1}})), {}, {}, frmt, comment, row_col, append, modal);
  for (const Variant* v : {&frmt, &comment, &append, &modal}) EXPECT_TRUE(v->is_missing());
}

TEST_F(PrintTest, EachCallStartsFromItsOwnArrayAndResetsErrCode) {
  print(Variant(DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}})));
  EXPECT_EQ(print(Variant(DoubleArray::vector({5}))), "\r\n+5.0000E+00  ");
  DoubleArray singular = DoubleArray::matrix({{1, 1}, {1, 1}});
  m_.mInv(singular);
  ASSERT_EQ(m_.ErrCode(), 4);
  m_.mPrint(Variant(1));
  EXPECT_EQ(m_.ErrCode(), 0);
}

}  // namespace
}  // namespace nodrel
