// The desktop on a real X server (Xvfb): the dialogs, opened through the
// component's own methods, read back and closed with real input events sent
// by xdotool, as a user would; and the clipboard as other X clients (xclip)
// see it.
#include <gtest/gtest.h>
// Xlib's macros (None, Bool) would break GoogleTest's headers: after them.
#include <FL/Fl.H>
#include <FL/x.H>
#include <spawn.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "nodrel/desktop.hpp"
#include "nodrel/matr.hpp"
#include "platform/fltk/dialogs.hpp"

extern char** environ;

namespace nodrel::desktop {
namespace {

namespace fs = std::filesystem;
using detail::AboutDialog;
using detail::CloseReason;
using detail::MessageDialog;

// What a label shows, with FLTK's doubled '@' and '&' undone.
std::string shown(const char* label) {
  std::string out;
  const std::string s = label != nullptr ? label : "";
  for (std::size_t k = 0; k < s.size(); ++k) {
    if ((s[k] == '@' || s[k] == '&') && k + 1 < s.size() && s[k + 1] == s[k]) ++k;
    out += s[k];
  }
  return out;
}

// After `seconds`, from the event loop (once the window is mapped and
// drawn), xdotool in the background sends a key press to `w` (only the
// press: it closes the window, so a release would find none), or a click on
// `button` when one is given.
std::vector<pid_t> helpers;
void later(double seconds, Fl_Window& w, const char* key, Fl_Widget* button = nullptr) {
  auto* send = new std::function<void()>([&w, key, button] {
    const std::string id = std::to_string(fl_xid(&w));
    std::vector<std::string> args = {"xdotool", "keydown", "--window", id, key};
    if (button != nullptr) {
      const int x = button->x() + button->w() / 2, y = button->y() + button->h() / 2;
      args = {"xdotool", "mousemove", "--window", id, std::to_string(x), std::to_string(y)};
      args.insert(args.end(), {"click", "1"});
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ), 0);
    helpers.push_back(pid);
  });
  const auto run = [](void* data) {
    auto* f = static_cast<std::function<void()>*>(data);
    (*f)();
    delete f;
  };
  Fl::add_timeout(seconds, run, send);
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!display_available()) GTEST_SKIP() << "no X display";
    install();
    // The message box: its text and caption, answered with OK.
    detail::on_message_shown = [this](MessageDialog& box) {
      message = shown(box.message().label()) + "|" + shown(box.window().label());
      later(0.3, box.window(), "", &box.ok());
    };
  }
  void TearDown() override {
    detail::on_about_shown = nullptr;
    detail::on_about_closed = nullptr;
    detail::on_message_shown = nullptr;
    detail::on_message_closed = nullptr;
    set_default_platform(nullptr);
    for (pid_t pid : helpers) {
      int status = 0;
      waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    helpers.clear();
  }
  std::string message = "<no box>";
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
  const struct {
    Use use;
    CloseReason reason;
    std::string message;
  } cases[] = {
      {kEnter, CloseReason::kOkButton, "<no box>"},
      {kEscape, CloseReason::kWindow, "<no box>"},
      {kOk, CloseReason::kOkButton, "<no box>"},
      {kSysInfo, CloseReason::kWindow, "<no box>"},
      {kNoSysInfo, CloseReason::kWindow, "Systema info not available|"},  // no caption
  };
  const std::string old_path = std::getenv("PATH");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.use);
    const std::string tools = c.use == kSysInfo ? dir.string() : "/nonexistent";
    setenv("PATH", (tools + ":/usr/bin:/bin").c_str(), 1);
    std::string seen;
    CloseReason reason = CloseReason::kOpen;
    AboutDialog* about = nullptr;
    message = "<no box>";
    detail::on_about_shown = [&](AboutDialog& d) {
      about = &d;
      for (Fl_Widget* w : std::initializer_list<Fl_Widget*>{
               &d.window(), &d.title(), &d.version(), &d.description(), &d.disclaimer(), &d.ok()}) {
        seen += shown(w->label()) + "|";
      }
      seen += d.sys_info().label() + ("|" + std::to_string(d.window().w())) + "x" +
              std::to_string(d.window().h());
      Fl_Widget* button = c.use == kOk ? &d.ok() : c.use >= kSysInfo ? &d.sys_info() : nullptr;
      later(0.3, d.window(), c.use == kEnter ? "Return" : "Escape", button);
      if (c.use == kSysInfo) later(0.8, d.window(), "Escape");
    };
    detail::on_message_closed = [&](MessageDialog&) {
      later(0.2, about->window(), "Escape");  // the About box, which stayed open
    };
    detail::on_about_closed = [&](AboutDialog& d) { reason = d.close_reason(); };
    Matr m;
    m.mShowAbout();  // returns only once the dialog is closed
    EXPECT_EQ(seen, texts);
    EXPECT_EQ(reason, c.reason);
    EXPECT_EQ(message, c.message);
    for (int k = 0; c.use == kSysInfo && k < 50 && !fs::exists(started); ++k) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(fs::remove(started), c.use == kSysInfo);
    EXPECT_FALSE(fs::exists(ended));  // the dialog closed while the tool still ran
  }
  setenv("PATH", old_path.c_str(), 1);
  fs::remove_all(dir);
}

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

// Replacing, appending to another client's text, and clearing, as other
// clients see them; text outside ASCII survives.
TEST_F(DesktopTest, ClipboardAsOtherClientsSeeIt) {
  Matr m;
  m.set_locale(Locale::c());
  const auto print = [&](const char* comment, Variant append) {
    m.mPrint(Variant(DoubleArray::vector({1, -2})), {}, Variant("clipboard"), {}, Variant(comment),
             {}, append);
    return xclip("-out");
  };
  const std::string a = "A\r\n+1.0000E+00  -2.0000E+00  ", b = "B\r\n+1.0000E+00  -2.0000E+00  ";
  xclip("-in", "someone else's text");
  EXPECT_EQ(print("A", false), a);  // line ends and all
  EXPECT_EQ(m.platform().clipboard_get_text(), a);
  xclip("-in", "before\n");
  print("A", Variant::missing());
  EXPECT_EQ(print("B", true), "before\n" + a + b);
  m.platform().clipboard_clear();
  EXPECT_EQ(m.platform().clipboard_get_text(), "");
  EXPECT_EQ(print("A", true), a);
  EXPECT_EQ(print("\xC3\xA8 \xE2\x82\xAC", false), "\xC3\xA8 \xE2\x82\xAC" + a.substr(1));
}

}  // namespace
}  // namespace nodrel::desktop
