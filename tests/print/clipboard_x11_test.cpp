// The desktop clipboard for real, through xclip on an X display. CTest runs
// this under xvfb-run, which starts a private virtual display; run by hand
// on a desktop it would replace the user's clipboard, so without a display
// or without xclip the test is skipped (or fails, when
// NODREL_REQUIRE_X11_TESTS is set in the environment).
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "nodrel/matr.hpp"

namespace nodrel {
namespace {

// What another X client sees, or puts: xclip's own reading and writing of
// the CLIPBOARD selection. The xclip left serving a text must not keep this
// process's output open, or the test runner would wait for it.
std::string xclip(const char* direction, const std::string& text = "") {
  const std::string command = std::string("xclip -selection clipboard ") + direction +
                              (text.empty() ? " 2>/dev/null" : " >/dev/null 2>&1");
  FILE* p = ::popen(command.c_str(), text.empty() ? "r" : "w");
  if (p == nullptr) return "<popen failed>";
  std::string out;
  char buf[512];
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), p);
  for (std::size_t n; text.empty() && (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
    out.append(buf, n);
  if (::pclose(p) != 0) return "<xclip failed>";
  // xclip may return before the process it leaves behind owns the
  // selection: wait until the text is there, as the component does.
  for (int k = 0; !text.empty() && k < 100 && xclip("-out") != text; ++k) ::usleep(10000);
  return out;
}

TEST(X11ClipboardTest, ReplaceAppendAndClearAsOtherClientsSeeThem) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0' ||
      std::system("command -v xclip >/dev/null 2>&1") != 0) {
    if (std::getenv("NODREL_REQUIRE_X11_TESTS") != nullptr) {
      FAIL() << "no X display with xclip, and NODREL_REQUIRE_X11_TESTS is set";
    }
    GTEST_SKIP() << "no X display with xclip (run under xvfb-run)";
  }
  Matr m;  // the default platform
  m.set_locale(Locale::c());
  const auto print = [&](const char* comment, Variant append) {
    m.mPrint(Variant(DoubleArray::vector({1, -2})), {}, Variant("clipboard"), {}, Variant(comment),
             {}, append);
  };
  const std::string a = "A\r\n+1.0000E+00  -2.0000E+00  ", b = "B\r\n+1.0000E+00  -2.0000E+00  ";
  xclip("-in", "someone else's text");
  print("A", false);
  EXPECT_EQ(xclip("-out"), a);  // line ends and all
  EXPECT_EQ(m.platform().clipboard_get_text(), a);
  xclip("-in", "before\n");
  print("A", Variant::missing());
  print("B", true);
  EXPECT_EQ(xclip("-out"), "before\n" + a + b);
  m.platform().clipboard_clear();
  EXPECT_EQ(m.platform().clipboard_get_text(), "");
  print("A", true);
  EXPECT_EQ(xclip("-out"), a);
  // Text outside ASCII survives.
  m.mPrint(Variant(2.5), {}, Variant("CLIPBOARD"), {}, Variant("\xC3\xA8 \xE2\x82\xAC"), {},
           Variant(false));
  EXPECT_EQ(xclip("-out"), "\xC3\xA8 \xE2\x82\xAC\r\n2.5000E+00  ");
}

}  // namespace
}  // namespace nodrel
