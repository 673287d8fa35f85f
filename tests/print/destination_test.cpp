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

using testing_fakes::FakeForm;
using testing_fakes::FakeLabel;
using testing_fakes::FakeListBox;
using testing_fakes::FakePictureBox;
using testing_fakes::FakePlatform;
using testing_fakes::FakePrinter;
using testing_fakes::FakePrinterAndForm;
using testing_fakes::FakeTextBox;
using testing_fakes::FakeTextBoxAndLabel;
using testing_fakes::Log;
using testing_fakes::object_variant;

const Variant kMissing = Variant::missing();
// The vector (1) with comment "A" prints "A\r\n+1.0000E+00  ".
const std::string kTextA = "A\r\n+1.0000E+00  ";
const std::string kTextB = "B\r\n+1.0000E+00  ";

class DestinationTest : public testing::Test {
 protected:
  DestinationTest() {
    m_.set_locale(Locale::c());
    m_.set_platform(platform_);
  }

  // Prints the vector (1) with `comment` to obj and Perif, and returns Perif
  // as the call left it.
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
      {"obj overrides Perif",
       object_variant(label),
       Variant("MSGBOX"),
       "OBJECT",
       {"Label.get_Caption", "Label.put_Caption(" + kTextA + ")"}},
      {"obj alone",
       object_variant(label),
       kMissing,
       "OBJECT",
       {"Label.get_Caption", "Label.put_Caption(" + kTextA + kTextA + ")"}},
      {"lower case keyword", kMissing, Variant("msgbox"), "MSGBOX", {"MsgBox(" + kTextA + ")"}},
      {"mixed case keyword",
       kMissing,
       Variant("ClipBoard"),
       "CLIPBOARD",
       {"Clipboard.get", "Clipboard.set(" + kTextA + ")"}},
      {"debug writes nothing", kMissing, Variant("Debug"), "DEBUG", {}},
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
      {"Empty is an empty file name", kMissing, Variant(), "", {"File.append(, " + kTextA + ")"}},
      {"keywords compare whole",
       kMissing,
       Variant(" msgbox"),
       " MSGBOX",
       {"File.append( msgbox, " + kTextA + ")"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    log_.clear();
    Variant perif = row.perif;
    perif = print("A", row.obj, perif);
    ASSERT_NE(perif.string(), nullptr);
    EXPECT_EQ(*perif.string(), row.perif_after);
    EXPECT_EQ(log_, row.calls);
  }
}

TEST_F(DestinationTest, EveryArgumentMissingWritesNothing) {
  m_.mPrint(Variant(DoubleArray::vector({1})));
  EXPECT_TRUE(log_.empty());
  Variant perif = kMissing;
  perif = print("A", kMissing, perif);
  EXPECT_EQ(*perif.string(), "DEBUG");
  EXPECT_TRUE(log_.empty());
}

TEST_F(DestinationTest, PerifThatIsNotText) {
  Variant null_perif = Variant::null();
  EXPECT_RUNTIME_ERROR(print("A", kMissing, null_perif), 94);
  Variant number_perif = Variant(5);
  EXPECT_RUNTIME_ERROR(print("A", kMissing, number_perif), 13);
  // With obj present Perif is not read, only replaced.
  auto label = std::make_shared<FakeLabel>(log_);
  null_perif = print("A", object_variant(label), null_perif);
  EXPECT_EQ(*null_perif.string(), "OBJECT");
  EXPECT_EQ(label->caption, kTextA);
}

TEST_F(DestinationTest, ObjectKindsAppendAndReplace) {
  struct Row {
    const char* name;
    std::function<Variant()> make;
    Variant append;
    Log calls;
  };
  const std::vector<Row> rows = {
      {"form, append missing",
       [&] { return object_variant(std::make_shared<FakeForm>(log_)); },
       kMissing,
       {"Form.Print(" + kTextA + ")"}},
      {"form, append false",
       [&] { return object_variant(std::make_shared<FakeForm>(log_)); },
       Variant(false),
       {"Form.Cls", "Form.Print(" + kTextA + ")"}},
      {"picture box, append true",
       [&] { return object_variant(std::make_shared<FakePictureBox>(log_)); },
       Variant(true),
       {"PictureBox.Print(" + kTextA + ")"}},
      {"picture box, append false",
       [&] { return object_variant(std::make_shared<FakePictureBox>(log_)); },
       Variant(0),
       {"PictureBox.Cls", "PictureBox.Print(" + kTextA + ")"}},
      {"text box, append missing",
       [&] { return object_variant(std::make_shared<FakeTextBox>(log_, "old")); },
       kMissing,
       {"TextBox.get_Text", "TextBox.put_Text(old" + kTextA + "\r\n)"}},
      {"text box, append false",
       [&] { return object_variant(std::make_shared<FakeTextBox>(log_, "old")); },
       Variant(false),
       {"TextBox.put_Text()", "TextBox.get_Text", "TextBox.put_Text(" + kTextA + "\r\n)"}},
      {"label, append missing",
       [&] { return object_variant(std::make_shared<FakeLabel>(log_, "old")); },
       kMissing,
       {"Label.get_Caption", "Label.put_Caption(old" + kTextA + ")"}},
      {"label, append Null is false",
       [&] { return object_variant(std::make_shared<FakeLabel>(log_, "old")); },
       Variant::null(),
       {"Label.put_Caption()", "Label.get_Caption", "Label.put_Caption(" + kTextA + ")"}},
      {"printer ignores append",
       [&] { return object_variant(std::make_shared<FakePrinter>(log_)); },
       Variant(false),
       {"Printer.Print(" + kTextA + ")", "Printer.EndDoc"}},
      {"printer does not even convert append",
       [&] { return object_variant(std::make_shared<FakePrinter>(log_)); },
       Variant("maybe"),
       {"Printer.Print(" + kTextA + ")", "Printer.EndDoc"}},
      {"text box before label",
       [&] {
         auto both = std::make_shared<FakeTextBoxAndLabel>(log_);
         return Variant(std::shared_ptr<Object>(std::static_pointer_cast<FakeTextBox>(both)));
       },
       kMissing,
       {"TextBox.get_Text", "TextBox.put_Text(" + kTextA + "\r\n)"}},
      {"form before printer, whichever base is passed",
       [&] {
         auto both = std::make_shared<FakePrinterAndForm>(log_);
         return Variant(std::shared_ptr<Object>(std::static_pointer_cast<FakePrinter>(both)));
       },
       kMissing,
       {"Form.Print(" + kTextA + ")"}},
      {"a kind outside the five",
       [&] { return object_variant(std::make_shared<FakeListBox>()); },
       Variant(false),
       {}},
      {"Nothing", [&] { return Variant(std::shared_ptr<Object>()); }, Variant(false), {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    log_.clear();
    Variant obj = row.make();
    Variant perif = kMissing;
    print("A", obj, perif, row.append);
    EXPECT_EQ(log_, row.calls);
  }
}

TEST_F(DestinationTest, TwoPrintsToTheSameObject) {
  auto box = std::make_shared<FakeTextBox>(log_);
  print("A", object_variant(box), kMissing);
  print("B", object_variant(box), kMissing, Variant(true));
  EXPECT_EQ(box->text, kTextA + "\r\n" + kTextB + "\r\n");

  auto label = std::make_shared<FakeLabel>(log_);
  print("A", object_variant(label), kMissing);
  print("B", object_variant(label), kMissing);
  EXPECT_EQ(label->caption, kTextA + kTextB);
  print("B", object_variant(label), kMissing, Variant(false));
  EXPECT_EQ(label->caption, kTextB);
}

TEST_F(DestinationTest, ObjectRequired) {
  // "OBJECT" without obj, in any case; the keyword is written back first.
  Variant perif = Variant("object");
  EXPECT_RUNTIME_ERROR(m_.mPrint(Variant(1), {}, perif), 424);
  EXPECT_EQ(*perif.string(), "OBJECT");
  // obj given but holding no object.
  for (Variant obj : {Variant(5), Variant("form"), Variant(), Variant::null()}) {
    EXPECT_RUNTIME_ERROR(print("A", obj, kMissing), 424);
  }
  EXPECT_TRUE(log_.empty());
}

TEST_F(DestinationTest, ObjectErrorsEndTheCallAndWhatWasDoneStays) {
  auto box = std::make_shared<FakeTextBox>(log_, "old");
  box->fail_non_empty_put = true;
  EXPECT_RUNTIME_ERROR(print("A", object_variant(box), kMissing, Variant(false)), 438);
  EXPECT_EQ(box->text, "");
  EXPECT_RUNTIME_ERROR(
      print("A", object_variant(std::make_shared<FakeLabel>(log_)), kMissing, Variant("maybe")),
      13);
}

TEST_F(DestinationTest, MessageBoxIgnoresModalAndAppend) {
  for (Variant modal : {kMissing, Variant(true), Variant(false), Variant("anything")}) {
    log_.clear();
    Variant perif = Variant("MsgBox");
    print("A", kMissing, perif, Variant("not read"), modal);
    EXPECT_EQ(log_, Log{"MsgBox(" + kTextA + ")"});
  }
}

TEST_F(DestinationTest, ClipboardAppendsDirectlyOrReplaces) {
  platform_->clipboard = "before";
  print("A", kMissing, Variant("CLIPBOARD"));
  print("B", kMissing, Variant("CLIPBOARD"), Variant(true));
  // No separator: the second comment continues the first text's last line.
  EXPECT_EQ(platform_->clipboard, "before" + kTextA + kTextB);
  log_.clear();
  print("A", kMissing, Variant("CLIPBOARD"), Variant(false));
  EXPECT_EQ(log_, (Log{"Clipboard.clear", "Clipboard.set(" + kTextA + ")"}));
  EXPECT_EQ(platform_->clipboard, kTextA);

  platform_->fail_clipboard_set = true;
  EXPECT_RUNTIME_ERROR(print("B", kMissing, Variant("CLIPBOARD"), Variant(false)), 17);
  EXPECT_EQ(platform_->clipboard, "");  // cleared before the failure
}

TEST_F(DestinationTest, FileAppendOrOutput) {
  print("A", kMissing, Variant("a.txt"));
  print("A", kMissing, Variant("a.txt"), Variant(true));
  print("A", kMissing, Variant("a.txt"), Variant(false));
  EXPECT_EQ(log_, (Log{"File.append(a.txt, " + kTextA + ")", "File.append(a.txt, " + kTextA + ")",
                       "File.output(a.txt, " + kTextA + ")"}));
}

TEST_F(DestinationTest, CompositionErrorsComeBeforeAnyDestination) {
  auto box = std::make_shared<FakeTextBox>(log_, "old");
  for (const char* perif : {"MSGBOX", "CLIPBOARD", "file.txt"}) {
    EXPECT_RUNTIME_ERROR(m_.mPrint(Variant(DoubleArray::vector({1})), {}, Variant(perif),
                                   Variant("0 \"x\""), {}, {}, Variant(false)),
                         13);
  }
  EXPECT_RUNTIME_ERROR(m_.mPrint(Variant(DoubleArray::vector({1})), object_variant(box), {},
                                 Variant("0 \"x\""), {}, {}, Variant(false)),
                       13);
  EXPECT_EQ(box->text, "old");
  EXPECT_TRUE(log_.empty());
}

}  // namespace
}  // namespace nodrel
