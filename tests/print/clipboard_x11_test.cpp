// The desktop clipboard for real, through xclip on an X display. CTest runs
// this under xvfb-run, which starts a private virtual display; run by hand
// on a desktop it would replace the user's clipboard, so without a display
// or without xclip every test is skipped (or fails, when
// NODREL_REQUIRE_X11_TESTS is set in the environment).
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "nodrel/matr.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

bool have_x11_clipboard() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0' &&
         std::system("command -v xclip >/dev/null 2>&1") == 0;
}

// What another X client sees: xclip's own reading of the CLIPBOARD selection.
std::string read_clipboard_with_xclip() {
  FILE* p = ::popen("xclip -selection clipboard -out 2>/dev/null", "r");
  if (p == nullptr) return "<popen failed>";
  std::string out;
  char buf[512];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

// Another X client takes the clipboard; the xclip left serving it must not
// keep this process's output open, or the test runner would wait for it.
void write_clipboard_with_xclip(const std::string& text) {
  FILE* p = ::popen("xclip -selection clipboard -in >/dev/null 2>&1", "w");
  ASSERT_NE(p, nullptr);
  std::fwrite(text.data(), 1, text.size(), p);
  ASSERT_EQ(::pclose(p), 0);
}

class X11ClipboardTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!have_x11_clipboard()) {
      if (std::getenv("NODREL_REQUIRE_X11_TESTS") != nullptr) {
        FAIL() << "no X display with xclip, and NODREL_REQUIRE_X11_TESTS is set";
      }
      GTEST_SKIP() << "no X display with xclip (run under xvfb-run)";
    }
    m_.set_locale(Locale::c());
  }

  void print(const char* comment, Variant append) {
    m_.mPrint(Variant(DoubleArray::vector({1, -2})), {}, Variant("clipboard"), {}, Variant(comment),
              {}, append);
  }

  Matr m_;  // the default platform
};

const std::string kTextA = "A\r\n+1.0000E+00  -2.0000E+00  ";
const std::string kTextB = "B\r\n+1.0000E+00  -2.0000E+00  ";

TEST_F(X11ClipboardTest, ReplaceSetsExactlyTheText) {
  write_clipboard_with_xclip("someone else's text");
  print("A", Variant(false));
  EXPECT_EQ(read_clipboard_with_xclip(), kTextA);  // line ends and all
  EXPECT_EQ(m_.platform().clipboard_get_text(), kTextA);
}

TEST_F(X11ClipboardTest, AppendFollowsWhatAnotherClientPut) {
  write_clipboard_with_xclip("before\n");
  print("A", Variant::missing());
  print("B", Variant(true));
  EXPECT_EQ(read_clipboard_with_xclip(), "before\n" + kTextA + kTextB);
}

TEST_F(X11ClipboardTest, ClearLeavesNoText) {
  write_clipboard_with_xclip("something");
  m_.platform().clipboard_clear();
  EXPECT_EQ(m_.platform().clipboard_get_text(), "");
  print("A", Variant(true));
  EXPECT_EQ(read_clipboard_with_xclip(), kTextA);
}

TEST_F(X11ClipboardTest, TextOutsideAsciiSurvives) {
  m_.mPrint(Variant(2.5), {}, Variant("CLIPBOARD"), {}, Variant("\xC3\xA8 \xE2\x82\xAC"), {},
            Variant(false));
  EXPECT_EQ(read_clipboard_with_xclip(), "\xC3\xA8 \xE2\x82\xAC\r\n2.5000E+00  ");
}

}  // namespace
}  // namespace nodrel
