// mPrint: the layouts, the arguments' defaults and write-backs, the
// failures, and where the text goes (the keyword from obj and Perif, the
// five object kinds in their order, the message box, the clipboard and
// files), recorded in call order by fakes, and how an error of a
// destination ends the call.
#include <gtest/gtest.h>

#include <cfloat>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "nodrel/matr.hpp"
#include "support/fakes.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

using namespace fakes;

const Variant kMissing = Variant::missing();
const std::string kHeader2 = "             01           02  \r\n";
const std::string kTextA = "A\r\n+1.0000E+00  ";  // the vector (1) with comment "A"

// Kinds of two interfaces at once: the earlier kind in the test order wins,
// whichever base the client hands over.
class FakeTextBoxAndLabel : public FakeTextBox, public FakeLabel {
 public:
  explicit FakeTextBoxAndLabel(Log& log) : FakeTextBox(log), FakeLabel(log) {}
};
class FakePrinterAndForm : public FakePrinter, public FakeSurface<Form> {
 public:
  explicit FakePrinterAndForm(Log& log) : FakePrinter(log), FakeSurface<Form>(log, "Form") {}
};
class FakeListBox : public Object {};  // a kind outside the five

class PrintTest : public testing::Test {
 protected:
  PrintTest() {
    m_.set_locale(Locale::c());
    m_.set_platform(platform_);
  }

  // mPrint to a label emptied first (Append false): its caption is then the
  // print text exactly. When `error` is set, the call must fail with it and
  // touch no destination.
  std::string text(Variant to_print, Variant frmt = kMissing, Variant comment = kMissing,
                   Variant row_col = kMissing, int error = 0) {
    log_.clear();
    auto label = std::make_shared<FakeLabel>(log_, "old");
    const auto call = [&] {
      m_.mPrint(to_print, object_variant(label), {}, frmt, comment, row_col, Variant(false));
    };
    if (error == 0) return call(), label->caption;
    EXPECT_RUNTIME_ERROR(call(), error);
    EXPECT_EQ(log_, Log{});
    return label->caption;
  }

  // The vector (1) with comment "A"; Perif as the call left it.
  Variant print(Variant obj, Variant perif, Variant append = kMissing, Variant modal = kMissing) {
    m_.mPrint(Variant(DoubleArray::vector({1})), obj, perif, {}, Variant("A"), {}, append, modal);
    return perif;
  }

  // The object by kind: Form, Picture box, Text box, Label, pRinter (text
  // boxes and labels hold "old"), a text Box and label at once, a printer
  // and a form at once (Q), a kind outside the five (X), Nothing (N), the
  // Shared label, or none (-); a recorder fails on the call `fail_on`.
  Variant object(char kind, const std::string& fail_on = "") {
    const auto made = [&](auto fake) {
      fake->fail_on = fail_on;
      return object_variant(fake);
    };
    switch (kind) {
      case 'F': return made(std::make_shared<FakeSurface<Form>>(log_, "Form"));
      case 'P': return made(std::make_shared<FakeSurface<PictureBox>>(log_, "Picture"));
      case 'T': return made(std::make_shared<FakeTextBox>(log_, "old"));
      case 'L': return made(std::make_shared<FakeLabel>(log_, "old"));
      case 'R': return made(std::make_shared<FakePrinter>(log_));
      case 'B':
        return object_variant(
            std::static_pointer_cast<FakeLabel>(std::make_shared<FakeTextBoxAndLabel>(log_)));
      case 'Q':
        return object_variant(
            std::static_pointer_cast<FakePrinter>(std::make_shared<FakePrinterAndForm>(log_)));
      case 'X': return object_variant(std::make_shared<FakeListBox>());
      case 'N': return Variant(std::shared_ptr<Object>());
      case 'S': return shared_label_;
    }
    return kMissing;
  }

  // The calls logged, joined by "|", with <A> for the text.
  std::string calls() const {
    std::string joined;
    for (std::string entry : log_) {
      for (std::size_t at; (at = entry.find(kTextA)) != std::string::npos;) {
        entry.replace(at, kTextA.size(), "<A>");
      }
      joined += (joined.empty() ? "" : "|") + entry;
    }
    return joined;
  }

  Log log_;
  Variant shared_label_ = object_variant(std::make_shared<FakeLabel>(log_));
  std::shared_ptr<FakePlatform> platform_ = std::make_shared<FakePlatform>(log_);
  Matr m_;
};

TEST_F(PrintTest, Layouts) {
  const Variant two_by_two(DoubleArray::matrix({{1, 2}, {3, 4}}));
  const Variant plain = "\r\n+1.0000E+00  +2.0000E+00  \r\n+3.0000E+00  +4.0000E+00  ";
  struct Row {
    const char* name;
    Variant to_print, frmt, row_col;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"a vector: one line, no labels, RowCol not read", DoubleArray::vector({1, 2, -3}), kMissing,
       "maybe", "\r\n+1.0000E+00  +2.0000E+00  -3.0000E+00  "},
      {"array of variants, texts included", VariantArray::vector({1, "-2"}), kMissing, kMissing,
       "\r\n+1.0000E+00  -2.0000E+00  "},
      {"more rows than columns", DoubleArray::matrix({{1, 2}, {3, 4}, {5, 6}}), kMissing, kMissing,
       "\r\n" + kHeader2 + "01  +1.0000E+00  +2.0000E+00  \r\n02  +3.0000E+00  +4.0000E+00  " +
           "\r\n03  +5.0000E+00  +6.0000E+00  "},
      {"a three-digit exponent widens its cell only", DoubleArray::matrix({{1e100, 1}}), kMissing,
       kMissing, "\r\n" + kHeader2 + "01  +1.0000E+100  +1.0000E+00  "},
      {"row 0 and column 0 are not printed", DoubleArray::matrix({{9, 9}, {9, 7}}, 0, 0), kMissing,
       kMissing, "\r\n             01  \r\n01  +7.0000E+00  "},
      {"no rows: the header alone", DoubleArray::zeros(0, 2), kMissing, kMissing,
       "\r\n" + kHeader2},
      {"upper bounds 0, 0: the indent alone", DoubleArray::zeros(0, 0), kMissing, kMissing,
       "\r\n    \r\n"},
      {"RowCol false", two_by_two, kMissing, false, *plain.string()},
      {"RowCol Null is false", two_by_two, kMissing, Variant::null(), *plain.string()},
      // Label fields follow the pattern's length: five characters give fields
      // of six over cells of seven.
      {"labels shift with the pattern", DoubleArray::matrix({{123.456, -1}}), "#0.00", kMissing,
       "\r\n        01      02  \r\n01  +123.46  -1.00  "},
      // "-0.00" reads back as zero but carries its sign; "(5)" reads back negative.
      {"no plus before a minus", DoubleArray::vector({-0.001, -0.0}), "0.00", kMissing,
       "\r\n-0.00  +0.00  "},
      {"no plus before a minus that is read back", DoubleArray::vector({-0.001}), "$0.00",
       kMissing, "\r\n-$0.00  "},
      {"no plus before a negative", DoubleArray::vector({-5, 5}), "0;(0)", kMissing,
       "\r\n(5)  +5  "},
      {"a number: no plus", 2.5, kMissing, kMissing, "\r\n2.5000E+00  "},
      {"true", true, kMissing, kMissing, "\r\n-1.0000E+00  "},
      {"a number is not read back", 5, "0 \"kg\"", kMissing, "\r\n5 kg  "},
      {"text that is no number", "abc", kMissing, kMissing, "\r\n"},
      {"Null", Variant::null(), kMissing, kMissing, "\r\n"},
      {"a date", Date{45000.0}, kMissing, kMissing, "\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(text(row.to_print, row.frmt, kMissing, row.row_col), row.expected);
  }
  EXPECT_EQ(text(DoubleArray::matrix({{1, -2.5, 0}, {12345.678, -0.001, 3}}), kMissing, "Test"),
            "Test\r\n"
            "             01           02           03  \r\n"
            "01  +1.0000E+00  -2.5000E+00  +0.0000E+00  \r\n"
            "02  +1.2346E+04  -1.0000E-03  +3.0000E+00  ");
  // Row numbers from 100 take three characters.
  EXPECT_NE(text(DoubleArray::zeros(100, 1)).find("\r\n99  +0.0000E+00  \r\n100  +0.0000E+00  "),
            std::string::npos);
  // The object's locale; a currency sign reads back.
  m_.set_locale(Locale{",", ".", "EUR"});
  EXPECT_EQ(text(DoubleArray::matrix({{1234.5, -0.001}}), kMissing, "de"),
            "de\r\n" + kHeader2 + "01  +1,2345E+03  -1,0000E-03  ");
  EXPECT_EQ(text(DoubleArray::vector({1234.5}), "#,##0.0"), "\r\n+1.234,5  ");
  // A currency sign a number's text can begin with is read as one: "1" is no number here.
  m_.set_locale(Locale{",", "", "1"});
  EXPECT_EQ(text(DoubleArray::vector({1}), "0", kMissing, kMissing, 13), "old");
}

TEST_F(PrintTest, FailuresDeliverNothing) {
  const Variant matrix(DoubleArray::matrix({{1, 2}}));
  const Variant vector(DoubleArray::vector({1, 0}));
  struct Row {
    const char* name;
    Variant to_print, frmt, comment, row_col;
    int error;
  };
  const std::vector<Row> rows = {
      {"array never dimensioned", DoubleArray(), kMissing, kMissing, kMissing, 9},
      {"element that is no number", VariantArray::vector({1, "abc"}), kMissing, kMissing, kMissing,
       13},
      {"Null element", VariantArray::vector({Variant::null()}), kMissing, kMissing, kMissing, 94},
      {"second upper bound 0 under rows", DoubleArray::zeros(2, 0), kMissing, kMissing, kMissing,
       9},
      {"infinite element", DoubleArray::vector({INFINITY}), kMissing, kMissing, kMissing, 6},
      {"largest double shown as 1.8E+308 reads back out of range", DoubleArray::vector({DBL_MAX}),
       "0.0E+00", kMissing, kMissing, 6},
      {"\"#.#\" shows only \".\" for 0, which is no number", vector, "#.#", kMissing, kMissing, 13},
      {"literal text does not read back", matrix, "0 \"kg\"", kMissing, kMissing, 13},
      {"only the zero section has text", vector, "0;0;\"zero\"", kMissing, kMissing, 13},
      {"empty pattern: negative space count", matrix, "", kMissing, kMissing, 5},
      {"empty pattern, number", 1, "", kMissing, kMissing, 5},
      {"column 100 is wider than \"0\" allows", DoubleArray::zeros(1, 100), "0", kMissing, kMissing,
       5},
      {"pattern Null", vector, Variant::null(), kMissing, kMissing, 94},
      {"pattern a number", vector, 0, kMissing, kMissing, 13},
      {"comment a number", vector, kMissing, 5, kMissing, 13},
      {"comment Null", "abc", kMissing, Variant::null(), kMissing, 94},
      {"RowCol no truth value", matrix, kMissing, kMissing, "maybe", 13},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(text(row.to_print, row.frmt, row.comment, row.row_col, row.error), "old");
  }
  // Composition fails before any destination is touched, whichever it is.
  for (const char* perif : {"MSGBOX", "CLIPBOARD", "file.txt"}) {
    EXPECT_RUNTIME_ERROR(m_.mPrint(vector, {}, Variant(perif), Variant("0 \"x\"")), 13);
  }
  EXPECT_EQ(log_, Log{});
}

TEST_F(PrintTest, WriteBacksAndErrCode) {
  // RowCol becomes false for a scalar, given or not; an array leaves it.
  for (Variant row_col : {Variant(true), kMissing}) {
    m_.mPrint(Variant(2.5), {}, {}, {}, {}, row_col);
    EXPECT_EQ(show(row_col), "Boolean False");
  }
  Variant row_col = -1, frmt = kMissing, comment = kMissing, append = kMissing, modal = kMissing;
  m_.mPrint(Variant(DoubleArray::matrix({{1}})), {}, {}, frmt, comment, row_col, append, modal);
  // The defaults of missing arguments stay inside.
  EXPECT_EQ(show(row_col) + show(frmt) + show(comment) + show(append) + show(modal),
            "Integer -1MissingMissingMissingMissing");
  // Each call starts from its own array, and resets ErrCode.
  text(DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}));
  EXPECT_EQ(text(DoubleArray::vector({5})), "\r\n+5.0000E+00  ");
  leave_code_3(m_);
  m_.mPrint(Variant(1));
  EXPECT_EQ(m_.ErrCode(), 0);
}

TEST_F(PrintTest, Destinations) {
  struct Row {
    char obj;
    Variant perif, append;
    const char* perif_after;
    std::string calls;
  };
  const std::vector<Row> rows = {
      {'S', "MSGBOX", kMissing, "OBJECT", "Label.get_Caption|Label.put_Caption(<A>)"},  // obj wins
      {'-', kMissing, kMissing, "DEBUG", ""},
      {'-', "Debug", kMissing, "DEBUG", ""},
      {'-', "msgbox", "not read", "MSGBOX", "MsgBox(<A>)"},  // ignores Append and Modal
      {'-', "ClipBoard", kMissing, "CLIPBOARD", "Clipboard.get|Clipboard.set(<A>)"},
      {'-', "CLIPBOARD", false, "CLIPBOARD", "Clipboard.clear|Clipboard.set(<A>)"},
      // A file keeps the caller's spelling; an empty text and Empty are names.
      {'-', "out/Mixed.txt", kMissing, "OUT/MIXED.TXT", "File.append(out/Mixed.txt, <A>)"},
      {'-', "a.txt", false, "A.TXT", "File.output(a.txt, <A>)"},
      {'-', "", kMissing, "", "File.append(, <A>)"},
      {'-', Variant(), kMissing, "", "File.append(, <A>)"},
      {'-', " msgbox", kMissing, " MSGBOX", "File.append( msgbox, <A>)"},  // compared whole
      {'F', kMissing, kMissing, "OBJECT", "Form.Print(<A>)"},
      {'F', kMissing, false, "OBJECT", "Form.Cls|Form.Print(<A>)"},
      {'P', kMissing, true, "OBJECT", "Picture.Print(<A>)"},
      {'P', kMissing, 0, "OBJECT", "Picture.Cls|Picture.Print(<A>)"},
      {'T', kMissing, kMissing, "OBJECT", "TextBox.get_Text|TextBox.put_Text(old<A>\r\n)"},
      {'T', kMissing, false, "OBJECT",
       "TextBox.put_Text()|TextBox.get_Text|TextBox.put_Text(<A>\r\n)"},
      {'L', kMissing, kMissing, "OBJECT", "Label.get_Caption|Label.put_Caption(old<A>)"},
      {'L', kMissing, Variant::null(), "OBJECT",
       "Label.put_Caption()|Label.get_Caption|Label.put_Caption(<A>)"},
      {'R', kMissing, "maybe", "OBJECT", "Printer.Print(<A>)|Printer.EndDoc"},  // Append unread
      {'B', kMissing, kMissing, "OBJECT", "TextBox.get_Text|TextBox.put_Text(<A>\r\n)"},
      {'Q', kMissing, kMissing, "OBJECT", "Form.Print(<A>)"},
      {'X', kMissing, false, "OBJECT", ""},
      {'N', kMissing, false, "OBJECT", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(1, row.obj) + " " + show(row.perif) + " " + show(row.append));
    const Variant obj = object(row.obj);
    log_.clear();
    EXPECT_EQ(show(print(obj, row.perif, row.append, true)), show(Variant(row.perif_after)));
    EXPECT_EQ(calls(), row.calls);
  }
  // Appending to the clipboard: nothing between, the second comment
  // continues the first text's last line.
  platform_->clipboard = "before";
  print(kMissing, "CLIPBOARD");
  print(kMissing, "CLIPBOARD", true);
  EXPECT_EQ(platform_->clipboard, "before" + kTextA + kTextA);
  // Perif must hold text unless obj is given; "OBJECT" needs an object,
  // written back before the error.
  EXPECT_RUNTIME_ERROR(print(kMissing, Variant::null()), 94);
  EXPECT_RUNTIME_ERROR(print(kMissing, 5), 13);
  EXPECT_EQ(show(print(shared_label_, Variant::null())), "String \"OBJECT\"");
  Variant perif = "object";
  EXPECT_RUNTIME_ERROR(m_.mPrint(Variant(1), {}, perif), 424);
  EXPECT_EQ(show(perif), "String \"OBJECT\"");
  for (Variant obj : {Variant(5), Variant("form"), Variant(), Variant::null()}) {
    EXPECT_RUNTIME_ERROR(print(obj, kMissing), 424);
  }
  // The platform: the shared default until another is set, and again after
  // nullptr.
  Matr a, b;
  EXPECT_EQ(&a.platform(), default_platform().get());
  EXPECT_EQ(&a.platform(), &b.platform());
  a.set_platform(platform_);
  EXPECT_EQ(&a.platform(), platform_.get());
  a.set_platform(nullptr);
  EXPECT_EQ(&a.platform(), default_platform().get());
}

// An error of the destination ends the call with it, after Perif's keyword
// is written back and with what the destination did before still done.
// Append is false: a surface is cleared and a text box or label emptied
// first.
TEST_F(PrintTest, AnErrorOfTheDestinationEndsTheCall) {
  const struct {
    char obj;
    const char* perif;
    const char *fail_on, *perif_after;
    std::string calls;  // the failing one last
  } rows[] = {
      {'F', "MSGBOX", "Form.Print", "OBJECT", "Form.Cls|Form.Print(<A>)"},
      {'T', "MSGBOX", "TextBox.get_Text", "OBJECT", "TextBox.put_Text()|TextBox.get_Text"},
      {'L', "MSGBOX", "Label.put_Caption", "OBJECT", "Label.put_Caption()"},
      {'R', "MSGBOX", "Printer.Print", "OBJECT", "Printer.Print(<A>)"},
      {'-', "clipboard", "Clipboard.set", "CLIPBOARD", "Clipboard.clear|Clipboard.set(<A>)"},
      {'-', "MsgBox", "MsgBox", "MSGBOX", "MsgBox(<A>)"},
      {'-', "f.txt", "File.output", "F.TXT", "File.output(f.txt, <A>)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fail_on);
    const Variant obj = object(row.obj, row.fail_on);
    platform_->fail_on = row.fail_on;
    log_.clear();
    Variant perif = row.perif;
    EXPECT_RUNTIME_ERROR(m_.mPrint(Variant(DoubleArray::vector({1})), obj, perif, {}, Variant("A"),
                                   {}, Variant(false)),
                         57);
    EXPECT_EQ(*perif.string(), row.perif_after);
    EXPECT_EQ(calls(), row.calls);
  }
}

}  // namespace
}  // namespace nodrel
