// mPrint: the text it composes (layouts, arguments, failures), and where the
// text goes (obj before Perif, the five object kinds in their order, the
// message box, the clipboard and files) as fakes record it in call order,
// with how an error of the destination ends the call.
#include <gtest/gtest.h>

#include <cfloat>
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

class PrintTest : public testing::Test {
 protected:
  PrintTest() { m_.set_platform(platform_); }

  // The caption of a label emptied first (Append false), which is then the
  // print text exactly; or the error, which must leave the label untouched.
  std::string text(const Variant& to_print, Variant frmt, Variant comment, Variant row_col) {
    log_.clear();
    auto label = std::make_shared<FakeLabel>(log_, "old");
    try {
      m_.mPrint(to_print, object_variant(label), {}, frmt, comment, row_col, Variant(false));
    } catch (const Error& e) {
      return "error " + std::to_string(e.code()) + (log_.empty() ? "" : " after a delivery");
    }
    return label->caption;
  }

  // The object by kind: Form, Picture box, Text box, Label, pRinter (text
  // boxes and labels hold "old"), a text Box and label at once, a printer
  // and a form at once (Q), Nothing (N), the
  // number 5, Empty (E), Null (0), or
  // none (-); a recorder fails on the call `fail_on`.
  Variant object(char kind, const std::string& fail_on) {
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
      case 'N': return Variant(std::shared_ptr<Object>());
      case '5': return 5;
      case 'E': return Variant();
      case '0': return Variant::null();
    }
    return kMissing;
  }

  // The vector (1) with comment "A" printed to obj and Perif: Perif as the
  // call left it, then the calls logged, with <A> for the text, and the error.
  std::string print(char obj, Variant perif, Variant append, const std::string& fail_on = "") {
    const Variant object_arg = object(obj, fail_on);
    platform_->fail_on = fail_on;
    log_.clear();
    std::string error;
    try {
      m_.mPrint(Variant(DoubleArray::vector({1})), object_arg, perif, {}, Variant("A"), {}, append,
                Variant(true));
    } catch (const Error& e) {
      error = " error " + std::to_string(e.code());
    }
    std::string seen = (perif.string() ? *perif.string() : show(perif)) + ":";
    for (std::string entry : log_) {
      for (std::size_t at; (at = entry.find(kTextA)) != std::string::npos;) {
        entry.replace(at, kTextA.size(), "<A>");
      }
      seen += " " + entry;
    }
    return seen + error;
  }

  Log log_;
  std::shared_ptr<FakePlatform> platform_ = std::make_shared<FakePlatform>(log_);
  Matr m_;
};

// The text of each layout and kind of value, with RowCol, the pattern and
// the object's locale; or the error that ends the call before any delivery.
TEST_F(PrintTest, TextsAndFailures) {
  using D = DoubleArray;
  const Variant two_by_two(D::matrix({{1, 2}, {3, 4}}));
  const Variant matrix(D::matrix({{1, 2}})), vector(D::vector({1, 0}));
  const std::string plain = "\r\n+1.0000E+00  +2.0000E+00  \r\n+3.0000E+00  +4.0000E+00  ";
  const std::string zeros(999999, '0');  // the longest pattern served
  const Locale german{",", ".", "EUR"};
  struct Row {
    Variant to_print, frmt;
    std::string expected;
    Variant row_col = kMissing, comment = kMissing;
    Locale locale = Locale::c();
  };
  // clang-format off
  const Row rows[] = {
      // A vector: one line, no labels, RowCol not read; texts of numbers are numbers.
      {D::vector({1, 2, -3}), kMissing, "\r\n+1.0000E+00  +2.0000E+00  -3.0000E+00  ", "maybe"},
      {VariantArray::vector({1, "-2"}), kMissing, "\r\n+1.0000E+00  -2.0000E+00  "},
      {D::matrix({{1, -2.5, 0}, {12345.678, -0.001, 3}}), kMissing, "Test\r\n             01           02           03  \r\n"
       "01  +1.0000E+00  -2.5000E+00  +0.0000E+00  \r\n02  +1.2346E+04  -1.0000E-03  +3.0000E+00  ", kMissing, "Test"},
      // A three-digit exponent widens its cell only; row 0 and column 0 are not printed.
      {D::matrix({{1e100, 1}}), kMissing, "\r\n" + kHeader2 + "01  +1.0000E+100  +1.0000E+00  "},
      {D::matrix({{9, 9}, {9, 7}}, 0, 0), kMissing, "\r\n             01  \r\n01  +7.0000E+00  "},
      {D::zeros(0, 2), kMissing, "\r\n" + kHeader2},
      {D::zeros(0, 0), kMissing, "\r\n    \r\n"},
      {two_by_two, kMissing, plain, false},
      // Label fields follow the pattern's length: six over cells of seven.
      {D::matrix({{123.456, -1}}), "#0.00", "\r\n        01      02  \r\n01  +123.46  -1.00  "},
      // No "+" before a minus: "-0.00" reads back as zero, "(5)" as negative.
      {D::vector({-0.001, -0.0}), "0.00", "\r\n-0.00  +0.00  "},
      {D::vector({-0.001}), "$0.00", "\r\n-$0.00  "},
      {D::vector({-5, 5}), "0;(0)", "\r\n(5)  +5  "},
      // A number: no plus, and it is not read back; what is no number prints nothing.
      {2.5, kMissing, "\r\n2.5000E+00  "},
      {5, "0 \"kg\"", "\r\n5 kg  "},
      {"abc", kMissing, "\r\n"},
      // The object's locale; a currency sign reads back.
      {D::matrix({{1234.5, -0.001}}), kMissing, "\r\n" + kHeader2 + "01  +1,2345E+03  -1,0000E-03  ", kMissing, kMissing, german},
      {D::vector({1234.5}), "#,##0.0", "\r\n+1.234,5  ", kMissing, kMissing, german},
      // A currency sign a number's text can begin with is read as one: "1" is no number.
      {D::vector({1}), "0", "error 13", kMissing, kMissing, Locale{",", "", "1"}},
      {D(), kMissing, "error 9"},  // never dimensioned
      {VariantArray::vector({1, "abc"}), kMissing, "error 13"},
      {VariantArray::vector({Variant::null()}), kMissing, "error 94"},
      {D::zeros(2, 0), kMissing, "error 9"},
      {D::vector({INFINITY}), kMissing, "error 6"},
      // The largest double shows as 1.8E+308, which reads back out of range.
      {D::vector({DBL_MAX}), "0.0E+00", "error 6"},
      // Texts that do not read back: "." for 0, a literal, a zero section of text.
      {vector, "#.#", "error 13"},
      {vector, "0;0;\"zero\"", "error 13"},
      // An empty pattern gives a negative count of spaces; column 100 is too wide for "0".
      {matrix, "", "error 5"},
      {D::zeros(1, 100), "0", "error 5"},
      {vector, Variant::null(), "error 94"},
      {vector, 0, "error 13"},
      {vector, kMissing, "error 13", kMissing, 5},
      {"abc", kMissing, "error 94", kMissing, Variant::null()},
      {matrix, kMissing, "error 13", "maybe"},
      // Patterns of a million characters; a text beyond 256 MiB (300 labels a
      // million characters wide each) is not composed.
      {7, zeros, "\r\n" + std::string(999998, '0') + "7  "},
      {2.5, zeros + "0", "error 7"},
      {D::vector({1, 2}), "\"" + std::string(999998, 'x') + "\"", "error 7"},
      {two_by_two, "0" + std::string(999999, '%'), "error 7"},
      {D(std::vector<ArrayBound>{{1, 0}, {0, 301}}), zeros, "error 7"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(show(row.to_print) + " [" + show(row.frmt).substr(0, 40) + "] " +
                 show(row.row_col));
    m_.set_locale(row.locale);
    EXPECT_EQ(text(row.to_print, row.frmt, row.comment, row.row_col), row.expected);
  }
  m_.set_locale(Locale::c());
  // Composition fails before any destination is touched, whichever it is.
  log_.clear();
  for (const char* perif : {"MSGBOX", "CLIPBOARD", "file.txt"}) {
    EXPECT_RUNTIME_ERROR(m_.mPrint(vector, {}, Variant(perif), Variant("0 \"x\"")), 13);
  }
  EXPECT_EQ(log_, Log{});
}

TEST_F(PrintTest, WriteBacksAndErrCode) {
  m_.set_locale(Locale::c());
  // A number leaves RowCol false (the dispatch table's row), even when it
  // was missing; the defaults of missing arguments stay inside, and an
  // array leaves RowCol.
  Variant missing_row_col = kMissing;
  m_.mPrint(Variant(2.5), {}, {}, {}, {}, missing_row_col);
  EXPECT_EQ(show(missing_row_col), "Boolean False");
  Variant row_col = -1, frmt = kMissing, comment = kMissing, append = kMissing, modal = kMissing;
  m_.mPrint(Variant(DoubleArray::matrix({{1}})), {}, {}, frmt, comment, row_col, append, modal);
  EXPECT_EQ(show(row_col) + show(frmt) + show(comment) + show(append) + show(modal),
            "Integer -1MissingMissingMissingMissing");
  // Each call starts from its own array, and resets ErrCode.
  text(DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), kMissing, kMissing, kMissing);
  EXPECT_EQ(text(DoubleArray::vector({5}), kMissing, kMissing, kMissing), "\r\n+5.0000E+00  ");
  leave_code_3(m_);
  m_.mPrint(Variant(1));
  EXPECT_EQ(m_.ErrCode(), 0);
  // The platform: the one set (by the fixture), and the shared default again after nullptr.
  EXPECT_EQ(&m_.platform(), platform_.get());
  m_.set_platform(nullptr);
  EXPECT_EQ(&m_.platform(), default_platform().get());
}

// Perif as the call leaves it, the calls in order and the error. An error of
// the destination (57 from `fail_on`) ends the call after Perif's keyword is
// written back, with what the destination did before it still done. Each
// kind with Append false, a kind outside the five and a failing
// member are also the COM server's test's (tests/com/calls_test.cpp).
TEST_F(PrintTest, Destinations) {
  const struct {
    char obj;
    Variant perif, append;
    std::string seen;
    const char* fail_on = "";
  } rows[] = {
      // clang-format off
      {'L', "MSGBOX", kMissing, "OBJECT: Label.get_Caption Label.put_Caption(old<A>)"},
      {'-', kMissing, kMissing, "DEBUG:"},
      {'-', "msgbox", "not read", "MSGBOX: MsgBox(<A>)"},
      {'-', "ClipBoard", kMissing, "CLIPBOARD: Clipboard.get Clipboard.set(<A>)"},
      {'-', "CLIPBOARD", false, "CLIPBOARD: Clipboard.clear Clipboard.set(<A>)"},
      // A file keeps the caller's spelling; an empty text and Empty are names,
      // and a keyword is compared whole.
      {'-', "out/Mixed.txt", kMissing, "OUT/MIXED.TXT: File.append(out/Mixed.txt, <A>)"},
      {'-', "a.txt", false, "A.TXT: File.output(a.txt, <A>)"},
      {'-', "", kMissing, ": File.append(, <A>)"},
      {'-', " msgbox", kMissing, " MSGBOX: File.append( msgbox, <A>)"},
      {'F', kMissing, kMissing, "OBJECT: Form.Print(<A>)"},
      {'P', kMissing, true, "OBJECT: Picture.Print(<A>)"},
      {'T', kMissing, kMissing, "OBJECT: TextBox.get_Text TextBox.put_Text(old<A>\r\n)"},
      {'T', kMissing, false, "OBJECT: TextBox.put_Text() TextBox.get_Text TextBox.put_Text(<A>\r\n)"},
      {'L', kMissing, Variant::null(), "OBJECT: Label.put_Caption() Label.get_Caption Label.put_Caption(<A>)"},
      {'R', kMissing, "maybe", "OBJECT: Printer.Print(<A>) Printer.EndDoc"},  // Append unread
      {'B', kMissing, kMissing, "OBJECT: TextBox.get_Text TextBox.put_Text(<A>\r\n)"},
      {'Q', kMissing, kMissing, "OBJECT: Form.Print(<A>)"},
      {'N', kMissing, false, "OBJECT:"},
      // Perif must hold text unless obj is given; "OBJECT" needs an object.
      {'-', Variant::null(), kMissing, "Null: error 94"},
      {'-', 5, kMissing, "Integer 5: error 13"},
      {'F', Variant::null(), kMissing, "OBJECT: Form.Print(<A>)"},
      {'-', "object", kMissing, "OBJECT: error 424"},
      {'5', kMissing, kMissing, "OBJECT: error 424"},
      {'E', kMissing, kMissing, "OBJECT: error 424"},
      {'0', kMissing, kMissing, "OBJECT: error 424"},
      {'L', "MSGBOX", false, "OBJECT: Label.put_Caption() error 57", "Label.put_Caption"},
      {'-', "clipboard", false, "CLIPBOARD: Clipboard.clear Clipboard.set(<A>) error 57", "Clipboard.set"},
      {'-', "MsgBox", false, "MSGBOX: MsgBox(<A>) error 57", "MsgBox"},
      {'-', "f.txt", false, "F.TXT: File.output(f.txt, <A>) error 57", "File.output"},
      // clang-format on
  };
  m_.set_locale(Locale::c());
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(1, row.obj) + " " + show(row.perif) + " " + show(row.append));
    EXPECT_EQ(print(row.obj, row.perif, row.append, row.fail_on), row.seen);
  }
}

}  // namespace
}  // namespace nodrel
