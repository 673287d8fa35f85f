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

std::string without_cr(std::string s) {
  std::erase(s, '\r');
  return s;
}

// A new folder for one test, named after the process.
std::filesystem::path new_folder(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() / (name + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  return dir;
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
    set_about_host(nullptr);
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
  const AboutTexts t = about_texts();
  const AboutSeen enter = show_about_and_close([](AboutDialog& d) { key(d.window(), "Return"); });
  EXPECT_EQ(enter.texts, "Info on Nodrel|Nodrel|Version 1.1.1|" + without_cr(t.description) + "|" +
                             t.disclaimer + "|OK|&System Info...");
  EXPECT_EQ(enter.width * 1000 + enter.height, 382 * 1000 + 237);  // 5730 x 3555 twips
  EXPECT_EQ(enter.reason, CloseReason::kOkButton);
  const AboutSeen escape = show_about_and_close([](AboutDialog& d) { key(d.window(), "Escape"); });
  EXPECT_EQ(escape.reason, CloseReason::kWindow);
  const AboutSeen ok = show_about_and_close([](AboutDialog& d) { click(d.window(), d.ok()); });
  EXPECT_EQ(ok.reason, CloseReason::kOkButton);
  EXPECT_EQ(ok.texts, enter.texts);  // the same texts the second time
}

// Sets PATH for the life of one test.
class ScopedPath {
 public:
  explicit ScopedPath(const std::string& value) : old_(std::getenv("PATH")) {
    setenv("PATH", value.c_str(), 1);
  }
  ~ScopedPath() { setenv("PATH", old_.c_str(), 1); }

 private:
  std::string old_;
};

TEST_F(DesktopTest, SystemInfoWithoutAToolSaysSo) {
  // xdotool is started by its full path, so PATH can hold no tool at all.
  const std::filesystem::path empty = new_folder("nodrel-no-tools-");
  std::string message;
  AboutDialog* about = nullptr;
  detail::on_message_shown = [&](MessageDialog& box) {
    message = shown(box.message().label());
    EXPECT_EQ(shown(box.window().label()), "");  // no title
    after(0.3, [&box] { key(box.window(), "Return"); });
  };
  detail::on_message_closed = [&](MessageDialog&) {
    after(0.2, [&about] { key(about->window(), "Escape"); });
  };
  ScopedPath path(empty.string() + ":/usr/bin");
  const AboutSeen seen = show_about_and_close([&about](AboutDialog& d) {
    about = &d;
    click(d.window(), d.sys_info());
  });
  EXPECT_EQ(message, "Systema info not available");
  EXPECT_EQ(seen.reason, CloseReason::kWindow);  // the About box stayed open until Escape
  std::filesystem::remove_all(empty);
}

TEST_F(DesktopTest, SystemInfoStartsTheToolWithoutWaiting) {
  const std::filesystem::path dir = new_folder("nodrel-tools-");
  const std::filesystem::path marker = dir / "started", release = dir / "release";
  const std::filesystem::path tool = dir / "hardinfo";
  {
    // The tool runs until the test releases it (at most ten seconds), so
    // the dialog can only have closed if the call did not wait for it.
    std::ofstream script(tool);
    script << "#!/bin/sh\nfor k in $(seq 200); do [ -f '" << release.string()
           << "' ] && break; sleep 0.05; done\ntouch '" << marker.string() << "'\n";
  }
  std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
  bool message_shown = false;
  detail::on_message_shown = [&](MessageDialog& box) {
    message_shown = true;
    after(0.2, [&box] { key(box.window(), "Return"); });
  };
  ScopedPath path(dir.string() + ":/usr/bin:/bin");
  const auto start = std::chrono::steady_clock::now();
  show_about_and_close([](AboutDialog& d) {
    click(d.window(), d.sys_info());
    after(0.5, [&d] { key(d.window(), "Escape"); });
  });
  // The dialog closed while the tool was still held.
  EXPECT_FALSE(std::filesystem::exists(marker));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  std::ofstream{release};
  for (int k = 0; k < 50 && !std::filesystem::exists(marker); ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(std::filesystem::exists(marker));
  EXPECT_FALSE(message_shown);
  std::filesystem::remove_all(dir);
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
