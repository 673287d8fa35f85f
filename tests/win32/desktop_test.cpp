// The Windows destinations and the About box on a real desktop (Wine on a
// virtual X display in CI). The call that shows a window runs on the test's
// thread; a second thread plays the user: it finds the window, reads what it
// shows and closes it with real input, keys and mouse clicks.
#include <windows.h>
// After windows.h: GoogleTest's headers must see its macros undisturbed.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "nodrel/about.hpp"
#include "nodrel/matr.hpp"
#include "platform/win32/about_dialog.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

namespace fs = std::filesystem;

// Wine's desktop "Default" belongs to the wineserver, which the suite's other
// programs may have started without a display: windows made there would go
// nowhere. A desktop of this program's own is drawn on the display this
// program runs on; every thread that makes windows joins it.
void join_own_desktop() {
  static const HDESK desktop =
      CreateDesktopA(("nodrel-" + std::to_string(GetCurrentProcessId())).c_str(), nullptr, nullptr,
                     0, GENERIC_ALL, nullptr);
  SetThreadDesktop(desktop);
}
struct OwnDesktop : testing::Environment {
  void SetUp() override { join_own_desktop(); }
};
testing::Environment* const kOwnDesktop = testing::AddGlobalTestEnvironment(new OwnDesktop);

// What mPrint composes for the Vector (1, -2) under `comment`.
std::string composed(const std::string& comment) {
  return comment + "\r\n+1.0000E+00  -2.0000E+00  ";
}

void print(Matr& m, const std::string& perif, const std::string& comment, bool append) {
  m.set_locale(Locale::c());
  m.mPrint(Variant(DoubleArray::vector({1, -2})), {}, Variant(perif), {}, Variant(comment), {},
           Variant(append));
}

std::string text_of(HWND window) {
  char text[2048] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// The visible, enabled dialog other than `except`, once its thread answers
// messages, made the foreground window so that input goes to it; nullptr
// after 20 seconds (the first window of a fresh Wine prefix takes seconds).
HWND find_dialog(HWND except = nullptr) {
  for (int k = 0; k < 2000; ++k, Sleep(10)) {
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;) {
      if (w == except || !IsWindowVisible(w) || !IsWindowEnabled(w)) continue;
      SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_NORMAL, 20000, nullptr);
      SetForegroundWindow(w);
      for (int j = 0; j < 100 && GetForegroundWindow() != w; ++j) Sleep(10);
      return w;
    }
  }
  return nullptr;
}

void press(BYTE key) {
  keybd_event(key, 0, 0, 0);
  keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

// The move and the button in one stream of input: a cursor moved apart
// (SetCursorPos) may still be where the last click was when the button
// goes down. Absolute coordinates are in 65536ths of the screen.
void click(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  const DWORD x = MulDiv((r.left + r.right) / 2, 65536, GetSystemMetrics(SM_CXSCREEN));
  const DWORD y = MulDiv((r.top + r.bottom) / 2, 65536, GetSystemMetrics(SM_CYSCREEN));
  mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, x, y, 0, 0);
  mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP, x, y, 0, 0);
}

// The message box shown over `owner` ([caption] text, its text in the static
// control 0xFFFF, then OK when that is its only button), answered with
// Enter; "" for none. The owner is enabled again after it.
std::string answer_message_box(HWND owner = nullptr) {
  HWND box = find_dialog(owner);
  if (box == nullptr) return "";
  const bool ok_alone = GetDlgItem(box, IDOK) && !GetDlgItem(box, IDCANCEL);
  const std::string seen = "[" + text_of(box) + "] " + text_of(GetDlgItem(box, 0xFFFF));
  press(VK_RETURN);
  if (owner != nullptr) find_dialog(box);
  return seen + (ok_alone ? " OK" : "");
}

// Makes `call`, which shows a window and returns once it is closed, while
// `user` answers that window from another thread.
void as_user(const std::function<void()>& call, const std::function<void()>& user) {
  std::jthread other([&user] {
    join_own_desktop();
    user();
  });
  call();
}

// The clipboard in `format`, as another program reads it.
template <typename Char>
std::basic_string<Char> clipboard(UINT format) {
  std::basic_string<Char> text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(format)) {
    text = static_cast<const Char*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

TEST(Win32Desktop, ClipboardAppendsReplacesAndWaitsAMomentForAnotherHolder) {
  // Another program's text, as Unicode alone: appending reads it, and no
  // format may keep the old text beside the new one.
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof L"before");
  CopyMemory(GlobalLock(block), L"before", sizeof L"before");
  GlobalUnlock(block);
  HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
  ASSERT_TRUE(OpenClipboard(owner) && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block));
  CloseClipboard();
  DestroyWindow(owner);
  // held_ms: how long another window of the test keeps the clipboard open.
  const struct {
    int held_ms;
    const char* comment;
    bool append;
    std::string expected;
    int error;
  } cases[] = {
      {0, "A", true, "before" + composed("A"), 0},
      {0, "B", false, composed("B"), 0},
      {50, "C", true, composed("B") + composed("C"), 0},
      {5000, "D", false, composed("B") + composed("C"), 17},
  };
  Matr m;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.comment);
    std::atomic<bool> ready = c.held_ms == 0, done = false;
    std::jthread holder([&] {
      if (ready) return;
      join_own_desktop();
      HWND w = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
      OpenClipboard(w);
      ready = true;
      for (int ms = 0; ms < c.held_ms && !done; ms += 5) Sleep(5);
      CloseClipboard();
      DestroyWindow(w);
    });
    while (!ready) Sleep(1);
    int error = 0;
    try {
      print(m, "Clipboard", c.comment, c.append);
    } catch (const Error& e) {
      error = e.code();
    }
    done = true;
    holder.join();
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(clipboard<char>(CF_TEXT), c.expected);
    EXPECT_EQ(clipboard<wchar_t>(CF_UNICODETEXT),
              std::wstring(c.expected.begin(), c.expected.end()));
  }
}

// Files as written (a line end after each text), or the error of the path.
TEST(Win32Desktop, FilesAreWrittenAsTheyAreOrFailWithTheirErrors) {
  const fs::path dir = fs::temp_directory_path() / "nodrel-win32-files";
  fs::create_directories(dir);
  const std::string a = (dir / "a.txt").string(), line = composed("A") + "\r\n";
  // \xE9 is e acute in the ANSI code page (1252), in the text and the name.
  const struct {
    std::string path, comment;
    bool append;
    fs::path written;
    std::string content;
  } cases[] = {
      {a, "A", false, a, line},
      {a, "A", true, a, line + line},
      {dir.string() + "\\caf\xE9.txt", "\xE9t\xE9", false, dir / L"caf\u00e9.txt",
       composed("\xE9t\xE9") + "\r\n"},
      {dir.string(), "a folder", true, {}, "error 75"},
      {(dir / "none" / "a.txt").string(), "a missing folder", true, {}, "error 76"},
      {"", "an empty name", true, {}, "error 75"},
  };
  Matr m;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.comment);
    std::string seen;
    try {
      print(m, c.path, c.comment, c.append);
      std::ifstream in(c.written, std::ios::binary);
      seen.assign(std::istreambuf_iterator<char>(in), {});
    } catch (const Error& e) {
      seen = "error " + std::to_string(e.code());
    }
    EXPECT_EQ(seen, c.content);
  }
  fs::remove_all(dir);
}

// What differs in the shown About box from its caption, size, texts and
// layout at the screen's resolution, a line each; empty when nothing does.
std::string about_faults(HWND about) {
  const AboutTexts t = about_texts();
  const struct {
    int id;  // 0: a line of the separator, not a control
    std::string text;
  } controls[] = {{detail::kAboutIconId, ""},
                  {detail::kAboutTitleId, t.title},
                  {detail::kAboutVersionId, t.version},
                  {detail::kAboutDescriptionId, t.description},
                  {0, ""},
                  {0, ""},
                  {detail::kAboutDisclaimerId, t.disclaimer},
                  {detail::kAboutOkId, t.ok_button},
                  {detail::kAboutSysInfoId, t.sys_info_button}};  // in about_layout()'s order
  HDC screen = GetDC(nullptr);
  const auto px = [dpi = GetDeviceCaps(screen, LOGPIXELSX)](int twips) {
    return detail::twips_to_pixels(twips, dpi);
  };
  ReleaseDC(nullptr, screen);
  RECT r;
  GetClientRect(about, &r);
  std::string faults;
  if (text_of(about) != t.caption || r.right != px(kAboutClientWidth) ||
      r.bottom != px(kAboutClientHeight)) {
    faults = text_of(about) + " " + std::to_string(r.right) + "x" + std::to_string(r.bottom) + "\n";
  }
  for (std::size_t k = 0; k < about_layout().size(); ++k) {
    const AboutControl& l = about_layout()[k];
    HWND control = GetDlgItem(about, controls[k].id);
    if (controls[k].id == 0) continue;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&r), 2);
    if (r.left != px(l.left) || r.top != px(l.top) || r.right != px(l.left) + px(l.width) ||
        r.bottom != px(l.top) + px(l.height) || (k > 0 && text_of(control) != controls[k].text)) {
      faults += std::string(l.name) + " at " + std::to_string(r.left) + ", " +
                std::to_string(r.top) + ": " + text_of(control) + "\n";
    }
  }
  return faults;
}

// The About box closes with Enter, Escape or OK; System Info starts the tool
// of the first registry lookup (sys_info_test.cpp has the others) without
// waiting for it, or says in a message box over the About box (no caption,
// OK alone: the message box mPrint shows too) that there is none or that it
// failed to start (a path is started without a test).
TEST(Win32Desktop, AboutShowsItsTextsClosesAndStartsTheSystemInfoTool) {
  const char* const key = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
  char self[MAX_PATH] = "";
  const std::string here = fs::path(std::string(self, GetModuleFileNameA(nullptr, self, MAX_PATH)))
                               .parent_path()
                               .string();
  const std::string tool = here + "\\tool\\msinfo32.exe";
  const std::string none = "[] " + std::string(kSysInfoNotAvailable) + " OK";
  const struct {
    BYTE key;  // 0: a click on OK, VK_F1: on System Info
    std::string path, outcome;
  } cases[] = {
      {VK_RETURN, "", ""},
      {VK_ESCAPE, "", ""},
      {0, "", ""},
      {VK_F1, tool, "started, answering"},
      {VK_F1, here + "\\none.exe", none},
      {VK_F1, "", none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.key) + " " + c.path);
    if (!c.path.empty()) {
      RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, "PATH", REG_SZ, c.path.c_str(),
                      static_cast<DWORD>(c.path.size() + 1));
    }
    std::string faults = "<no dialog>", outcome;
    Matr m;
    as_user([&] { m.mShowAbout(); },
            [&] {
              HWND about = find_dialog();
              if (about == nullptr) return;
              faults = about_faults(about);
              if (c.key == 0) return click(GetDlgItem(about, IDOK));
              if (c.key != VK_F1) return press(c.key);
              click(GetDlgItem(about, detail::kAboutSysInfoId));
              if (c.path == tool) {
                for (int k = 0; k < 2000 && !fs::exists(tool + ".ran"); ++k) Sleep(10);
                // The tool lives on for seconds; the dialog does not wait for it.
                if (fs::exists(tool + ".ran") &&
                    SendMessageTimeoutA(about, WM_NULL, 0, 0, SMTO_NORMAL, 2000, nullptr)) {
                  outcome = "started, answering";
                }
              } else {
                outcome = answer_message_box(about);
              }
              press(VK_ESCAPE);
            });
    fs::remove(tool + ".ran");  // and the tool ends
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    EXPECT_EQ(faults, "");
    EXPECT_EQ(outcome, c.outcome);
  }
}

}  // namespace
}  // namespace nodrel
