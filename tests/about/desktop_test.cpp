// The dialogs under a real X server (Xvfb): each test opens a dialog through
// the component's own methods, reads back what it shows, and closes it with
// real input events sent by xdotool, as a user would.
#include <gtest/gtest.h>
// Xlib's macros (None, Bool) would break GoogleTest's headers: after them.
#include <FL/Fl.H>
#include <FL/x.H>
#include <spawn.h>
#include <sys/stat.h>
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

#include "platform/fltk/dialogs.hpp"
#include "nodrel/desktop.hpp"
#include "nodrel/matr.hpp"

extern char** environ;

namespace nodrel::desktop {
namespace {

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

// xdotool in the background: the dialog's event loop must keep running
// while the events arrive.
std::vector<pid_t> helpers;
void xdotool(std::vector<std::string> args) {
  args.insert(args.begin(), "xdotool");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ), 0);
  helpers.push_back(pid);
}
void wait_helpers() {
  for (pid_t pid : helpers) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  helpers.clear();
}

// Runs `action` from the event loop after `seconds`, once the window is
// mapped and drawn.
void after(double seconds, std::function<void()> action) {
  Fl::add_timeout(
      seconds,
      [](void* data) {
        auto* f = static_cast<std::function<void()>*>(data);
        (*f)();
        delete f;
      },
      new std::function<void()>(std::move(action)));
}

std::string window_id(Fl_Window& w) { return std::to_string(fl_xid(&w)); }

// Only the key press: it closes the window, so a release sent after it would
// find no window to go to.
void key(Fl_Window& w, const char* name) { xdotool({"keydown", "--window", window_id(w), name}); }

void click(Fl_Window& w, Fl_Widget& button) {
  xdotool({"mousemove", "--window", window_id(w), std::to_string(button.x() + button.w() / 2),
           std::to_string(button.y() + button.h() / 2), "click", "1"});
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!display_available()) GTEST_SKIP() << "no X display";
    install();
  }
  void TearDown() override {
    detail::on_about_shown = nullptr;
    detail::on_about_closed = nullptr;
    detail::on_message_shown = nullptr;
    detail::on_message_closed = nullptr;
    set_default_platform(nullptr);
    wait_helpers();
  }
};

struct AboutSeen {
  std::string texts;  // caption | title | version | description | disclaimer | OK | System Info
  int width = 0, height = 0;
  CloseReason reason = CloseReason::kOpen;
};

AboutSeen show_about_and_close(const std::function<void(AboutDialog&)>& close) {
  AboutSeen seen;
  detail::on_about_shown = [&](AboutDialog& d) {
    for (Fl_Widget* w : std::initializer_list<Fl_Widget*>{
             &d.window(), &d.title(), &d.version(), &d.description(), &d.disclaimer(), &d.ok()}) {
      seen.texts += shown(w->label()) + "|";
    }
    seen.texts += d.sys_info().label();  // '&' marks S as the access key
    seen.width = d.window().w();
    seen.height = d.window().h();
    after(0.3, [&d, close] { close(d); });
  };
  detail::on_about_closed = [&](AboutDialog& d) { seen.reason = d.close_reason(); };
  Matr m;
  m.mShowAbout();  // returns only once the dialog is closed
  return seen;
}

TEST_F(DesktopTest, AboutShowsItsTextsAndClosesWithEnterEscapeOrTheButton) {
  AboutTexts t = about_texts();
  std::erase(t.description, '\r');
  const AboutSeen enter = show_about_and_close([](AboutDialog& d) { key(d.window(), "Return"); });
  EXPECT_EQ(enter.texts, "Info on Nodrel|Nodrel|Version 1.1.1|" + t.description + "|" +
                             t.disclaimer + "|OK|&System Info...");
  EXPECT_EQ(enter.width * 1000 + enter.height, 382 * 1000 + 237);  // 5730 x 3555 twips
  EXPECT_EQ(enter.reason, CloseReason::kOkButton);
  const AboutSeen escape = show_about_and_close([](AboutDialog& d) { key(d.window(), "Escape"); });
  EXPECT_EQ(escape.reason, CloseReason::kWindow);
  const AboutSeen ok = show_about_and_close([](AboutDialog& d) { click(d.window(), d.ok()); });
  EXPECT_EQ(ok.reason, CloseReason::kOkButton);
  EXPECT_EQ(ok.texts, enter.texts);  // the same texts the second time
}

// The button starts the first tool found on PATH without waiting for it,
// or, with none, says so in a message box over the About box, which stays
// open until Escape.
TEST_F(DesktopTest, SystemInfoStartsTheToolWithoutWaitingOrSaysThereIsNone) {
  for (const bool with_tool : {true, false}) {
    SCOPED_TRACE(with_tool);
    const auto dir = std::filesystem::temp_directory_path() / ("nodrel-tools-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path marker = dir / "started", release = dir / "release";
    if (with_tool) {
      // The tool runs until the test releases it (at most ten seconds), so
      // the dialog can only have closed if the call did not wait for it.
      const std::filesystem::path tool = dir / "hardinfo";
      std::ofstream(tool) << "#!/bin/sh\nfor k in $(seq 200); do [ -f '" << release.string()
                          << "' ] && break; sleep 0.05; done\ntouch '" << marker.string() << "'\n";
      std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    }
    std::string message = "<no box>";
    detail::on_message_shown = [&](MessageDialog& box) {
      message = shown(box.message().label()) + "|" + shown(box.window().label());  // no title
      after(0.3, [&box] { key(box.window(), "Return"); });
    };
    // xdotool is started by its full path, so PATH can hold no tool at all.
    const std::string old_path = std::getenv("PATH");
    setenv("PATH", (dir.string() + ":/usr/bin:/bin").c_str(), 1);
    const auto start = std::chrono::steady_clock::now();
    AboutDialog* about = nullptr;
    detail::on_message_closed = [&](MessageDialog&) {
      after(0.2, [&about] { key(about->window(), "Escape"); });
    };
    const AboutSeen seen = show_about_and_close([&](AboutDialog& d) {
      about = &d;
      click(d.window(), d.sys_info());
      if (with_tool) after(0.5, [&d] { key(d.window(), "Escape"); });
    });
    EXPECT_EQ(seen.reason, CloseReason::kWindow);
    EXPECT_EQ(message, with_tool ? "<no box>" : "Systema info not available|");
    // The dialog closed while the tool was still held.
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    std::ofstream{release};
    for (int k = 0; with_tool && k < 50 && !std::filesystem::exists(marker); ++k) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(std::filesystem::exists(marker), with_tool);
    setenv("PATH", old_path.c_str(), 1);
    std::filesystem::remove_all(dir);
  }
}

TEST_F(DesktopTest, PrintToTheMessageBox) {
  std::string message;
  CloseReason reason = CloseReason::kOpen;
  detail::on_message_shown = [&](MessageDialog& box) {
    message = shown(box.message().label());
    after(0.3, [&box] { click(box.window(), box.ok()); });
  };
  detail::on_message_closed = [&](MessageDialog& box) { reason = box.close_reason(); };
  Matr m;
  m.set_locale(Locale::c());
  Variant perif = "msgbox";
  m.mPrint(DoubleArray::vector({1, 2, -3}), {}, perif, {}, "Test");
  EXPECT_EQ(message, "Test\n+1.0000E+00  +2.0000E+00  -3.0000E+00  ");
  EXPECT_EQ(reason, CloseReason::kOkButton);
  EXPECT_EQ(*perif.string(), "MSGBOX");
}

}  // namespace
}  // namespace nodrel::desktop
