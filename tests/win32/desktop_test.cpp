// The Windows destinations and the About box on a real desktop (Wine on a
// virtual X display in CI). The call that shows a window runs on the test's
// thread; a second thread plays the user: it finds the window, reads what it
// shows and closes it with real input, keys and mouse clicks.
#include <windows.h>
// After windows.h: GoogleTest's headers must see its macros undisturbed.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "about/win32_about.hpp"
#include "nodrel/about.hpp"
#include "nodrel/matr.hpp"
#include "support/expect_error.hpp"

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

class OwnDesktop : public testing::Environment {
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

// The visible, enabled dialog of this process other than `except`, once its
// thread answers messages, made the foreground window so that input goes to
// it; nullptr after 20 seconds. The first window of a fresh Wine prefix can
// take several seconds to come up.
HWND find_dialog(HWND except = nullptr) {
  struct Search {
    HWND except, found;
  } search{except, nullptr};
  auto match = [](HWND w, LPARAM data) -> BOOL {
    auto& s = *reinterpret_cast<Search*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    char name[16] = "";
    GetClassNameA(w, name, sizeof name);
    if (w == s.except || process != GetCurrentProcessId() || !IsWindowVisible(w) ||
        !IsWindowEnabled(w) || std::string(name) != "#32770") {
      return TRUE;
    }
    s.found = w;
    return FALSE;
  };
  for (int k = 0; k < 2000 && search.found == nullptr; ++k) {
    EnumWindows(match, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(10);
  }
  if (search.found == nullptr) return nullptr;
  SendMessageTimeoutA(search.found, WM_NULL, 0, 0, SMTO_NORMAL, 20000, nullptr);
  SetForegroundWindow(search.found);
  for (int k = 0; k < 100 && GetForegroundWindow() != search.found; ++k) Sleep(10);
  return search.found;
}

void press(BYTE key) {
  keybd_event(key, 0, 0, 0);
  keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

void click(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
  mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
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

// A message box's text: that of its static control that has one.
std::string message_of(HWND box) {
  std::string text;
  auto first_text = [](HWND w, LPARAM data) -> BOOL {
    char name[16] = "";
    GetClassNameA(w, name, sizeof name);
    auto& t = *reinterpret_cast<std::string*>(data);
    if (lstrcmpiA(name, "Static") == 0 && t.empty()) t = text_of(w);
    return TRUE;
  };
  EnumChildWindows(box, first_text, reinterpret_cast<LPARAM>(&text));
  return text;
}

TEST(Win32Desktop, MessageBoxShowsTheTextAloneAndClosesWithEnter) {
  Matr m;
  std::string caption = "<no box>", text;
  bool ok_alone = false;
  as_user([&] { print(m, "MSGBOX", "A", false); },
          [&] {
            if (HWND box = find_dialog()) {
              caption = text_of(box);
              text = message_of(box);
              ok_alone = GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr;
              press(VK_RETURN);
            }
          });
  EXPECT_EQ(caption, "");
  EXPECT_EQ(text, composed("A"));
  EXPECT_TRUE(ok_alone);
}

// The clipboard in `format` as another program reads it.
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

TEST(Win32Desktop, ClipboardReplacesAndAppendsItsText) {
  // Another program's text, as Unicode alone: replacing must not leave it
  // beside ours.
  const wchar_t stale[] = L"someone else's text";
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof stale);
  std::memcpy(GlobalLock(block), stale, sizeof stale);
  GlobalUnlock(block);
  HWND owner =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(OpenClipboard(owner));
  EmptyClipboard();
  EXPECT_NE(SetClipboardData(CF_UNICODETEXT, block), nullptr);
  CloseClipboard();
  DestroyWindow(owner);

  Matr m;
  print(m, "Clipboard", "A", false);
  EXPECT_EQ(clipboard<char>(CF_TEXT), composed("A"));
  const std::string a = composed("A");
  EXPECT_EQ(clipboard<wchar_t>(CF_UNICODETEXT), std::wstring(a.begin(), a.end()));
  print(m, "CLIPBOARD", "B", true);
  EXPECT_EQ(clipboard<char>(CF_TEXT), composed("A") + composed("B"));
}

TEST(Win32Desktop, ClipboardHeldOpenWaitsAMomentThenFails) {
  const struct { int held_ms, error; } cases[] = {{50, 0}, {5000, 17}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.held_ms);
    std::atomic<bool> ready = false, open = false, done = false;
    std::jthread holder([&] {
      join_own_desktop();
      HWND window =
          CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
      open = OpenClipboard(window) != FALSE;
      ready = true;
      for (int ms = 0; ms < c.held_ms && !done; ms += 5) Sleep(5);
      CloseClipboard();
      DestroyWindow(window);
    });
    while (!ready) Sleep(1);
    ASSERT_TRUE(open);
    Matr m;
    const auto start = std::chrono::steady_clock::now();
    if (c.error == 0) {
      print(m, "CLIPBOARD", "held", false);
      EXPECT_EQ(clipboard<char>(CF_TEXT), composed("held"));
    } else {
      EXPECT_RUNTIME_ERROR(print(m, "CLIPBOARD", "held", false), c.error);
      // Not at once: another program may hold the clipboard for a moment.
      EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
    }
    done = true;
  }
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Win32Desktop, FilesAreWrittenAsTheyAreOrFailWithTheirErrors) {
  const fs::path dir = fs::temp_directory_path() / "nodrel-win32-files";
  fs::remove_all(dir);
  fs::create_directories(dir);
  // \xE9 is e acute in the ANSI code page (1252), in the text and the name.
  const struct {
    const char* name;
    std::string path, comment;
    bool append;
    int error;
    fs::path written;
    std::string content;
  } cases[] = {
      {"replace", (dir / "a.txt").string(), "A", false, 0, dir / "a.txt", composed("A") + "\r\n"},
      {"append", (dir / "a.txt").string(), "B", true, 0, dir / "a.txt",
       composed("A") + "\r\n" + composed("B") + "\r\n"},
      {"ANSI", dir.string() + "\\caf\xE9.txt", "\xE9t\xE9", false, 0, dir / L"caf\u00e9.txt",
       composed("\xE9t\xE9") + "\r\n"},
      {"a folder", dir.string(), "A", true, 75, {}, {}},
      {"a missing folder", (dir / "none" / "a.txt").string(), "A", true, 76, {}, {}},
      {"an empty name", "", "A", true, 75, {}, {}},
  };
  Matr m;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.error != 0) {
      EXPECT_RUNTIME_ERROR(print(m, c.path, c.comment, c.append), c.error);
      continue;
    }
    print(m, c.path, c.comment, c.append);
    EXPECT_EQ(read_file(c.written), c.content);
  }
  EXPECT_FALSE(fs::exists(dir / "none"));
  fs::remove_all(dir);
}

// The About box's controls: identifier, name in the layout, text.
const struct {
  int id;
  std::string_view name;
  std::string AboutTexts::*text;
} kControls[] = {
    {detail::kAboutIconId, "picIcon", nullptr},
    {detail::kAboutTitleId, "lblTitle", &AboutTexts::title},
    {detail::kAboutVersionId, "lblVersion", &AboutTexts::version},
    {detail::kAboutDescriptionId, "lblDescription", &AboutTexts::description},
    {detail::kAboutDisclaimerId, "lblDisclaimer", &AboutTexts::disclaimer},
    {detail::kAboutOkId, "cmdOK", &AboutTexts::ok_button},
    {detail::kAboutSysInfoId, "cmdSysInfo", &AboutTexts::sys_info_button},
};

// What differs in the shown dialog from the texts and the layout at the
// screen's resolution, a line each; empty when nothing does.
std::string about_faults(HWND about) {
  const AboutTexts texts = about_texts();
  std::string faults;
  auto fault = [&](std::string_view what, const std::string& seen) {
    faults += std::string(what) + ": " + seen + "\n";
  };
  if (text_of(about) != texts.caption) fault("caption", text_of(about));
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  auto px = [dpi](int twips) { return detail::twips_to_pixels(twips, dpi); };
  RECT client;
  GetClientRect(about, &client);
  if (client.right != px(kAboutClientWidth) || client.bottom != px(kAboutClientHeight)) {
    fault("client area", std::to_string(client.right) + " x " + std::to_string(client.bottom));
  }
  for (const auto& c : kControls) {
    HWND control = GetDlgItem(about, c.id);
    if (c.text != nullptr && text_of(control) != texts.*c.text) fault(c.name, text_of(control));
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&r), 2);
    for (const AboutControl& l : about_layout()) {
      if (l.name == c.name &&
          (r.left != px(l.left) || r.top != px(l.top) || r.right - r.left != px(l.width) ||
           r.bottom - r.top != px(l.height))) {
        fault(c.name, "placed at " + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " +
                          std::to_string(r.right - r.left) + " x " +
                          std::to_string(r.bottom - r.top));
      }
    }
    // A label's text, wrapped as the label wraps it, must fit in it.
    if (c.name.starts_with("lbl")) {
      HGDIOBJ old =
          SelectObject(screen, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
      RECT need = {0, 0, r.right - r.left, 0};
      DrawTextA(screen, (texts.*c.text).c_str(), -1, &need,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
      SelectObject(screen, old);
      if (need.right > r.right - r.left || need.bottom > r.bottom - r.top) {
        fault(c.name, "needs " + std::to_string(need.right) + " x " + std::to_string(need.bottom));
      }
    }
  }
  ReleaseDC(nullptr, screen);
  // OK is the default button and has the focus.
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(GetWindowThreadProcessId(about, nullptr), &gui);
  if (LOWORD(SendMessageA(about, DM_GETDEFID, 0, 0)) != IDOK) fault("default button", "not OK");
  if (gui.hwndFocus != GetDlgItem(about, IDOK)) fault("focus", text_of(gui.hwndFocus));
  return faults;
}

TEST(Win32Desktop, AboutShowsItsTextsAndClosesWithEnterEscapeAndOk) {
  const struct {
    const char* how;
    std::function<void(HWND)> close;
  } cases[] = {
      {"Enter", [](HWND) { press(VK_RETURN); }},
      {"Escape", [](HWND) { press(VK_ESCAPE); }},
      {"OK", [](HWND about) { click(GetDlgItem(about, IDOK)); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    std::string faults = "<no dialog>";
    Matr m;
    as_user([&] { m.mShowAbout(); },
            [&] {
              if (HWND about = find_dialog()) {
                faults = about_faults(about);
                c.close(about);
              }
            });
    EXPECT_EQ(faults, "");
  }
}

// Sets one registry value of the tool's lookup; an empty text sets none.
void set_value(const char* key, const char* name, const std::string& text) {
  HKEY opened = nullptr;
  if (text.empty() || RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE,
                                      nullptr, &opened, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(opened);
}

TEST(Win32Desktop, SystemInfoStartsTheToolOrSaysItIsNotAvailable) {
  constexpr const char* kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
  constexpr const char* kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
  char self[MAX_PATH] = "";
  const std::string here = fs::path(std::string(self, GetModuleFileNameA(nullptr, self, MAX_PATH)))
                               .parent_path()
                               .string();
  const std::string tool = here + "\\tool\\msinfo32.exe";
  const struct {
    const char* name;
    std::string path, folder;
    bool starts;
  } cases[] = {
      {"the path", tool, "", true},
      {"the folder", "", here + "\\tool", true},
      {"a path to no program", here + "\\none.exe", "", false},
      {"a folder without the tool", "", here, false},
      {"no values", "", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    set_value(kPathKey, "PATH", c.path);
    set_value(kFolderKey, "MSINFO", c.folder);
    bool started = false, answers = false;
    std::string message = "<no box>";
    Matr m;
    as_user([&] { m.mShowAbout(); },
            [&] {
              HWND about = find_dialog();
              if (about == nullptr) return;
              click(GetDlgItem(about, detail::kAboutSysInfoId));
              if (c.starts) {
                for (int k = 0; k < 2000 && !started; ++k, Sleep(10)) {
                  started = fs::exists(tool + ".ran");
                }
                // The tool runs on, for seconds; the dialog does not wait for it.
                answers =
                    SendMessageTimeoutA(about, WM_NULL, 0, 0, SMTO_NORMAL, 2000, nullptr) != 0;
              } else if (HWND box = find_dialog(about)) {
                message = message_of(box);
                press(VK_RETURN);
                find_dialog(box);  // the About box, enabled again
              }
              press(VK_ESCAPE);
            });
    fs::remove(tool + ".ran");  // and the tool ends
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPathKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kFolderKey);
    EXPECT_EQ(started, c.starts);
    EXPECT_EQ(answers, c.starts);
    EXPECT_EQ(message, c.starts ? "<no box>" : kSysInfoNotAvailable);
  }
}

}  // namespace
}  // namespace nodrel
