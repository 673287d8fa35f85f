// The desktop on a real X server (Xvfb): the dialogs, opened through the
// component's own methods, read back and closed with real input events sent
// by xdotool, as a user would; and the clipboard as other X clients (xclip)
// see it.
#include <gtest/gtest.h>
// Xlib's macros (None, Bool) would break GoogleTest's headers: after them.
#include <FL/Fl.H>
#include <FL/x.H>
#include <stdio.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <string>

#include "nodrel/desktop.hpp"
#include "nodrel/matr.hpp"
#include "platform/fltk/dialogs.hpp"

namespace nodrel::desktop {
namespace {

namespace fs = std::filesystem;
using detail::AboutDialog;
using detail::MessageDialog;

// What a label shows, with FLTK's doubled '@' and '&' undone.
std::string shown(const char* label) {
  return std::regex_replace(label != nullptr ? label : "", std::regex("([@&])\\1"), "$1");
}

// After `seconds`, from the event loop (once the window is mapped and
// drawn), xdotool sends a key press to `w` (only the press: it closes the
// window, so a release would find none), or a click on `button` when one is
// given.
void later(double seconds, Fl_Window& w, const char* key, Fl_Widget* button = nullptr) {
  auto* send = new std::function<void()>([&w, key, button] {
    const std::string command =
        (button != nullptr ? "xdotool mousemove --window " : "xdotool keydown --window ") +
        std::to_string(fl_xid(&w)) + " " +
        (button == nullptr ? key
                           : std::to_string(button->x() + button->w() / 2) + " " +
                                 std::to_string(button->y() + button->h() / 2) + " click 1");
    EXPECT_EQ(std::system(command.c_str()), 0);
  });
  const auto run = [](void* data) {
    std::unique_ptr<std::function<void()>>(static_cast<std::function<void()>*>(data))->operator()();
  };
  Fl::add_timeout(seconds, run, send);
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!display_available()) GTEST_SKIP() << "no X display";
    install();
  }
  void TearDown() override {
    detail::on_about_shown = nullptr;
    detail::on_message_shown = nullptr;
    detail::on_message_closed = nullptr;
    set_default_platform(nullptr);
  }
};

// The About box shows its texts at 5730 x 3555 twips, the same at every
// show, and closes with Enter, Escape or OK. System Info starts the first
// tool found on PATH without waiting for it, or, with none, says so in a
// message box over the About box, which stays open until Escape.
TEST_F(DesktopTest, AboutTextsClosingAndSystemInfo) {
  AboutTexts t = about_texts();
  std::erase(t.description, '\r');
  const std::string texts = "Info on Nodrel|Nodrel|Version 1.1.1|" + t.description + "|" +
                            t.disclaimer + "|OK|&System Info...|382x237";
  // A tool that is still running seconds after it said it started.
  const fs::path dir = fs::temp_directory_path() / ("nodrel-tools-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path started = dir / "started", ended = dir / "ended";
  std::ofstream(dir / "hardinfo") << "#!/bin/sh\ntouch '" << started.string()
                                  << "'\nsleep 4\ntouch '" << ended.string() << "'\n";
  fs::permissions(dir / "hardinfo", fs::perms::owner_all);
  enum Use { kEnter, kEscape, kOk, kSysInfo, kNoSysInfo };
  const std::string none = "Systema info not available|";  // no caption
  const std::pair<Use, std::string> cases[] = {{kEnter, "<no box>"},
                                               {kEscape, "<no box>"},
                                               {kOk, "<no box>"},
                                               {kSysInfo, "<no box>"},
                                               {kNoSysInfo, none}};
  const std::string old_path = std::getenv("PATH");
  for (const auto& [use, box] : cases) {
    SCOPED_TRACE(use);
    setenv("PATH", ((use == kSysInfo ? dir.string() : "/nonexistent") + ":/usr/bin:/bin").c_str(),
           1);
    std::string seen;
    AboutDialog* about = nullptr;
    std::string message = "<no box>";  // the box's text and caption, answered with OK
    detail::on_message_shown = [&](MessageDialog& box) {
      message = shown(box.message().label()) + "|" + shown(box.window().label());
      later(0.3, box.window(), "", &box.ok());
    };
    detail::on_about_shown = [&](AboutDialog& d) {
      about = &d;
      for (Fl_Widget* w : std::initializer_list<Fl_Widget*>{
               &d.window(), &d.title(), &d.version(), &d.description(), &d.disclaimer(), &d.ok()}) {
        seen += shown(w->label()) + "|";
      }
      seen += d.sys_info().label() + ("|" + std::to_string(d.window().w())) + "x" +
              std::to_string(d.window().h());
      Fl_Widget* button = use == kOk ? &d.ok() : use >= kSysInfo ? &d.sys_info() : nullptr;
      later(0.3, d.window(), use == kEnter ? "Return" : "Escape", button);
      if (use == kSysInfo) later(0.8, d.window(), "Escape");
    };
    detail::on_message_closed = [&](MessageDialog&) {
      later(0.2, about->window(), "Escape");  // the About box, which stayed open
    };
    Matr().mShowAbout();  // returns only once the dialog is closed
    EXPECT_EQ(seen, texts);
    EXPECT_EQ(message, box);
    for (int k = 0; use == kSysInfo && k < 50 && !fs::exists(started); ++k) ::usleep(100000);
    EXPECT_EQ(fs::remove(started), use == kSysInfo);
    EXPECT_FALSE(fs::exists(ended));  // the dialog closed while the tool still ran
  }
  setenv("PATH", old_path.c_str(), 1);
  fs::remove_all(dir);
}

// What another X client reads from the CLIPBOARD selection, or puts there:
// xclip's own. The xclip left serving a text must not keep this process's
// output open, or the test runner would wait for it.
std::string xclip_out() {
  FILE* p = ::popen("xclip -selection clipboard -out 2>/dev/null", "r");
  std::string out;
  char buf[512];
  for (std::size_t n; p != nullptr && (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
    out.append(buf, n);
  return p != nullptr && ::pclose(p) == 0 ? out : "<xclip failed>";
}
void xclip_in(const std::string& text) {
  const std::string command =
      "printf %s '" + text + "' | xclip -selection clipboard >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  // xclip may return before the process it leaves behind owns the
  // selection: wait until the text is there, as the component does.
  for (int k = 0; k < 100 && xclip_out() != text; ++k) ::usleep(10000);
}

// Replacing, appending to another client's text, and clearing, as other
// clients see them; text outside ASCII survives.
TEST_F(DesktopTest, ClipboardAsOtherClientsSeeIt) {
  Matr m;
  m.set_locale(Locale::c());
  const auto print = [&](const char* comment, Variant append) {
    m.mPrint(Variant(DoubleArray::vector({1, -2})), {}, Variant("clipboard"), {}, Variant(comment),
             {}, append);
    return xclip_out();
  };
  const std::string a = "A\r\n+1.0000E+00  -2.0000E+00  ", b = "B\r\n+1.0000E+00  -2.0000E+00  ";
  xclip_in("someone else");
  EXPECT_EQ(print("A", false), a);  // line ends and all
  xclip_in("before\n");
  print("A", Variant::missing());
  EXPECT_EQ(print("B", true), "before\n" + a + b);
  m.platform().clipboard_clear();
  EXPECT_EQ(m.platform().clipboard_get_text(), "");
  EXPECT_EQ(print("A", true), a);
  EXPECT_EQ(print("\xC3\xA8 \xE2\x82\xAC", false), "\xC3\xA8 \xE2\x82\xAC" + a.substr(1));
}

}  // namespace
}  // namespace nodrel::desktop
