// Where mPrint's text goes: the keyword from obj and Perif, the five object
// kinds in their order, the message box, the clipboard and files, recorded
// in call order by fakes.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "nodrel/matr.hpp"
#include "print/fakes.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

using namespace testing_fakes;

const Variant kMissing = Variant::missing();
const std::string kTextA = "A\r\n+1.0000E+00  ";  // the vector (1) with comment "A"
const std::string kTextB = "B\r\n+1.0000E+00  ";

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

class DestinationTest : public testing::Test {
 protected:
  DestinationTest() {
    m_.set_locale(Locale::c());
    m_.set_platform(platform_);
  }

  // Prints the vector (1) with `comment`; returns Perif as the call left it.
  Variant print(const char* comment, Variant obj, Variant perif, Variant append = kMissing,
                Variant modal = kMissing) {
    m_.mPrint(Variant(DoubleArray::vector({1})), obj, perif, {}, Variant(comment), {}, append,
              modal);
    return perif;
  }

  Log log_;
  std::shared_ptr<FakePlatform> platform_ = std::make_shared<FakePlatform>(log_);
  Matr m_;
};

TEST_F(DestinationTest, KeywordResolutionAndWriteBack) {
  auto label = std::make_shared<FakeLabel>(log_);
  struct Row {
    const char* name;
    Variant obj;
    Variant perif;
    const char* perif_after;
    Log calls;
  };
  const std::vector<Row> rows = {
      {"obj wins over Perif",
       object_variant(label),
       Variant("MSGBOX"),
       "OBJECT",
       {"Label.get_Caption", "Label.put_Caption(" + kTextA + ")"}},
      {"every argument missing", kMissing, kMissing, "DEBUG", {}},
      {"debug in any case", kMissing, Variant("Debug"), "DEBUG", {}},
      {"msgbox in any case", kMissing, Variant("msgbox"), "MSGBOX", {"MsgBox(" + kTextA + ")"}},
      {"clipboard in any case",
       kMissing,
       Variant("ClipBoard"),
       "CLIPBOARD",
       {"Clipboard.get", "Clipboard.set(" + kTextA + ")"}},
      {"a file keeps the caller's spelling",
       kMissing,
       Variant("out/Mixed.txt"),
       "OUT/MIXED.TXT",
       {"File.append(out/Mixed.txt, " + kTextA + ")"}},
      {"an empty text is a file name",
       kMissing,
       Variant(""),
       "",
       {"File.append(, " + kTextA + ")"}},
      {"Empty too", kMissing, Variant(), "", {"File.append(, " + kTextA + ")"}},
      {"keywords compare whole",
       kMissing,
       Variant(" msgbox"),
       " MSGBOX",
       {"File.append( msgbox, " + kTextA + ")"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    log_.clear();
    const Variant perif = print("A", row.obj, row.perif);
    ASSERT_NE(perif.string(), nullptr);
    EXPECT_EQ(*perif.string(), row.perif_after);
    EXPECT_EQ(log_, row.calls);
  }
  log_.clear();
  m_.mPrint(Variant(1));  // ToPrint alone: nowhere
  EXPECT_TRUE(log_.empty());
  // Perif must hold text unless obj is given.
  EXPECT_RUNTIME_ERROR(print("A", kMissing, Variant::null()), 94);
  EXPECT_RUNTIME_ERROR(print("A", kMissing, Variant(5)), 13);
  EXPECT_EQ(*print("A", object_variant(label), Variant::null()).string(), "OBJECT");
}

TEST_F(DestinationTest, ObjectKindsInOrderWithAppendOrReplace) {
  using Make = std::function<std::shared_ptr<Object>()>;
  const Make form = [&] { return std::make_shared<FakeSurface<Form>>(log_, "Form"); };
  const Make picture = [&] { return std::make_shared<FakeSurface<PictureBox>>(log_, "Picture"); };
  const Make box = [&] { return std::make_shared<FakeTextBox>(log_, "old"); };
  const Make label = [&] { return std::make_shared<FakeLabel>(log_, "old"); };
  const Make printer = [&] { return std::make_shared<FakePrinter>(log_); };
  struct Row {
    const char* name;
    Make make;
    Variant append;
    Log calls;
  };
  const std::vector<Row> rows = {
      {"form adds", form, kMissing, {"Form.Print(" + kTextA + ")"}},
      {"form replaces", form, Variant(false), {"Form.Cls", "Form.Print(" + kTextA + ")"}},
      {"picture box adds", picture, Variant(true), {"Picture.Print(" + kTextA + ")"}},
      {"picture box replaces",
       picture,
       Variant(0),
       {"Picture.Cls", "Picture.Print(" + kTextA + ")"}},
      {"text box adds with a line end",
       box,
       kMissing,
       {"TextBox.get_Text", "TextBox.put_Text(old" + kTextA + "\r\n)"}},
      {"text box replaces",
       box,
       Variant(false),
       {"TextBox.put_Text()", "TextBox.get_Text", "TextBox.put_Text(" + kTextA + "\r\n)"}},
      {"label adds without a line end",
       label,
       kMissing,
       {"Label.get_Caption", "Label.put_Caption(old" + kTextA + ")"}},
      {"label replaces, Null being false",
       label,
       Variant::null(),
       {"Label.put_Caption()", "Label.get_Caption", "Label.put_Caption(" + kTextA + ")"}},
      {"printer never reads Append",
       printer,
       Variant("maybe"),
       {"Printer.Print(" + kTextA + ")", "Printer.EndDoc"}},
      {"text box before label",
       [&] {
         return std::static_pointer_cast<FakeLabel>(std::make_shared<FakeTextBoxAndLabel>(log_));
       },
       kMissing,
       {"TextBox.get_Text", "TextBox.put_Text(" + kTextA + "\r\n)"}},
      {"form before printer",
       [&] {
         return std::static_pointer_cast<FakePrinter>(std::make_shared<FakePrinterAndForm>(log_));
       },
       kMissing,
       {"Form.Print(" + kTextA + ")"}},
      {"a kind outside the five",
       [] { return std::make_shared<FakeListBox>(); },
       Variant(false),
       {}},
      {"Nothing", [] { return std::shared_ptr<Object>(); }, Variant(false), {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    log_.clear();
    print("A", Variant(row.make()), kMissing, row.append);
    EXPECT_EQ(log_, row.calls);
  }
}

TEST_F(DestinationTest, ObjectFailures) {
  // "OBJECT" without obj; the keyword has been written back by then.
  Variant perif = Variant("object");
  EXPECT_RUNTIME_ERROR(m_.mPrint(Variant(1), {}, perif), 424);
  EXPECT_EQ(*perif.string(), "OBJECT");
  for (Variant obj : {Variant(5), Variant("form"), Variant(), Variant::null()}) {
    EXPECT_RUNTIME_ERROR(print("A", obj, kMissing), 424);
  }
  // Composition fails before any destination is touched. (A destination's
  // own error: hardening/destination_faults_test.cpp.)
  auto box = std::make_shared<FakeTextBox>(log_, "old");
  log_.clear();
  for (Variant obj : {object_variant(box), kMissing}) {
    for (const char* perif_text : {"MSGBOX", "CLIPBOARD", "file.txt"}) {
      EXPECT_RUNTIME_ERROR(m_.mPrint(Variant(DoubleArray::vector({1})), obj, Variant(perif_text),
                                     Variant("0 \"x\""), {}, {}, Variant(false)),
                           13);
    }
  }
  EXPECT_EQ(box->text, "old");
  EXPECT_TRUE(log_.empty());
}

TEST_F(DestinationTest, MessageBoxIgnoresModalAndAppend) {
  for (Variant modal : {kMissing, Variant(true), Variant(false)}) {
    log_.clear();
    print("A", kMissing, Variant("MsgBox"), Variant("not read"), modal);
    EXPECT_EQ(log_, Log{"MsgBox(" + kTextA + ")"});
  }
}

TEST_F(DestinationTest, ClipboardAndFileAppendOrReplace) {
  platform_->clipboard = "before";
  print("A", kMissing, Variant("CLIPBOARD"));
  print("B", kMissing, Variant("CLIPBOARD"), Variant(true));
  // Nothing between: the second comment continues the first text's last line.
  EXPECT_EQ(platform_->clipboard, "before" + kTextA + kTextB);
  log_.clear();
  print("A", kMissing, Variant("CLIPBOARD"), Variant(false));
  print("A", kMissing, Variant("a.txt"), Variant(false));
  EXPECT_EQ(log_, (Log{"Clipboard.clear", "Clipboard.set(" + kTextA + ")",
                       "File.output(a.txt, " + kTextA + ")"}));
}

TEST(MatrPlatformTest, DefaultIsSharedAndNullRestoresIt) {
  Matr a;
  Matr b;
  EXPECT_EQ(&a.platform(), default_platform().get());
  EXPECT_EQ(&a.platform(), &b.platform());
  Log log;
  auto fake = std::make_shared<FakePlatform>(log);
  a.set_platform(fake);
  EXPECT_EQ(&a.platform(), fake.get());
  a.set_platform(nullptr);
  EXPECT_EQ(&a.platform(), default_platform().get());
}

}  // namespace
}  // namespace nodrel
