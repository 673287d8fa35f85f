// The Windows destinations, the About box and the system information lookup
// on a real desktop (Wine on a virtual X display in CI). The call that shows
// a window runs on the test's thread; a second thread plays the user: it
// finds the window, reads what it shows and closes it with real input, keys
// and mouse clicks.
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
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "platform/win32/about_dialog.hpp"
#include "platform/win32/sys_info.hpp"

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

// This program's folder; the tool's stand-in is tool\msinfo32.exe in it.
const std::string kHere = [] {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  return fs::path(self).parent_path().string();
}();
const char* const kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

// What `f` returns, or "error <the run-time error's number>".
std::string or_error(const std::function<std::string()>& f) {
  try {
    return f();
  } catch (const Error& e) {
    return "error " + std::to_string(e.code());
  }
}

// What mPrint composes for the Vector (1, -2) under `comment`.
std::string composed(const std::string& comment) {
  return comment + "\r\n+1.0000E+00  -2.0000E+00  ";
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

// Prints to the clipboard, as another program reads it in both formats, and
// to files, as written (a line end after each text); or the error. held_ms:
// how long another window of the test keeps the clipboard open.
TEST(Win32Desktop, PrintsToTheClipboardAndToFiles) {
  // Another program's text, as Unicode alone: appending reads it, and no
  // format may keep the old text beside the new one.
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof L"before");
  CopyMemory(GlobalLock(block), L"before", sizeof L"before");
  GlobalUnlock(block);
  HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
  ASSERT_TRUE(OpenClipboard(owner) && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block));
  CloseClipboard();
  DestroyWindow(owner);
  const fs::path dir = fs::temp_directory_path() / "nodrel-win32-files";
  fs::create_directories(dir);
  const std::string clip = "Clipboard", a = (dir / "a.txt").string(), line = composed("A") + "\r\n";
  const std::string bc = composed("B") + composed("C");
  // \xE9 is e acute in the ANSI code page (1252), in the text and the name.
  const struct {
    std::string perif, comment;
    bool append;
    int held_ms;
    std::string expected;
    fs::path written = {};  // the file to read back
  } cases[] = {
      {clip, "A", true, 0, "before" + composed("A")},
      {clip, "B", false, 0, composed("B")},
      {clip, "C", true, 50, bc},
      {clip, "D", false, 5000, "error 17"},
      {clip, "E", true, 0, bc + composed("E")},  // as D left it
      {a, "A", false, 0, line, a},
      {a, "A", true, 0, line + line, a},
      {dir.string() + "\\caf\xE9.txt", "\xE9t\xE9", false, 0, composed("\xE9t\xE9") + "\r\n",
       dir / L"caf\u00e9.txt"},
      {dir.string(), "a folder", true, 0, "error 75"},
      {(dir / "none" / "a.txt").string(), "a missing folder", true, 0, "error 76"},
      {"", "an empty name", true, 0, "error 75"},
  };
  Matr m;
  m.set_locale(Locale::c());
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
    EXPECT_EQ(or_error([&] {
                m.mPrint(Variant(DoubleArray::vector({1, -2})), {}, Variant(c.perif), {},
                         Variant(c.comment), {}, Variant(c.append));
                if (c.perif != clip) {
                  std::ifstream in(c.written, std::ios::binary);
                  return std::string(std::istreambuf_iterator<char>(in), {});
                }
                const std::string text = clipboard<char>(CF_TEXT);
                return std::wstring(text.begin(), text.end()) == clipboard<wchar_t>(CF_UNICODETEXT)
                           ? text
                           : "not so in Unicode: " + text;
              }),
              c.expected);
    done = true;
  }
  fs::remove_all(dir);
}

// The About box's caption and texts as shown, a line each.
std::string shown_texts(HWND about) {
  std::string texts = text_of(about);
  for (int id : {detail::kAboutTitleId, detail::kAboutVersionId, detail::kAboutDescriptionId,
                 detail::kAboutDisclaimerId, detail::kAboutOkId, detail::kAboutSysInfoId}) {
    texts += "\n" + text_of(GetDlgItem(about, id));
  }
  return texts;
}

// The About box shows its texts and closes with Enter, Escape or OK; System
// Info starts the tool of the first registry lookup (the lookup's table is
// below) without waiting for it, or says in a message box over the About box
// (no caption, OK alone: the message box mPrint shows too) that it failed to
// start (a path is started without a test). That no tool found says so too
// is the core's About test's, through a recording platform.
TEST(Win32Desktop, AboutShowsItsTextsClosesAndStartsTheSystemInfoTool) {
  const std::string tool = kHere + "\\tool\\msinfo32.exe";
  const std::string none = "[] " + std::string(kSysInfoNotAvailable) + " OK";
  const AboutTexts t = about_texts();
  const std::string texts = t.caption + "\n" + t.title + "\n" + t.version + "\n" + t.description +
                            "\n" + t.disclaimer + "\n" + t.ok_button + "\n" + t.sys_info_button;
  const struct {
    BYTE key;  // 0: a click on OK, VK_F1: on System Info
    std::string path, outcome;
  } cases[] = {
      {VK_RETURN, "", ""},
      {VK_ESCAPE, "", ""},
      {0, "", ""},
      {VK_F1, tool, "started, answering"},
      {VK_F1, kHere + "\\none.exe", none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.key) + " " + c.path);
    if (!c.path.empty()) {
      RegSetKeyValueA(HKEY_LOCAL_MACHINE, kPathKey, "PATH", REG_SZ, c.path.c_str(),
                      static_cast<DWORD>(c.path.size() + 1));
    }
    std::string shown = "<no dialog>", outcome;
    Matr m;
    std::jthread user([&] {
      join_own_desktop();
      HWND about = find_dialog();
      if (about == nullptr) return;
      shown = shown_texts(about);
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
      } else if (HWND box = find_dialog(about)) {  // [caption] text, then OK when alone
        outcome = "[" + text_of(box) + "] " + text_of(GetDlgItem(box, 0xFFFF)) +
                  (GetDlgItem(box, IDOK) && !GetDlgItem(box, IDCANCEL) ? " OK" : "");
        press(VK_RETURN);
        find_dialog(box);  // the About box, enabled again
      }
      press(VK_ESCAPE);
    });
    m.mShowAbout();  // returns once the user thread has closed the box
    user.join();
    fs::remove(tool + ".ran");  // and the tool ends
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPathKey);
    EXPECT_EQ(shown, texts);
    EXPECT_EQ(outcome, c.outcome);
  }
}

// The system information lookup against the registry of the test's Wine
// prefix, through recorders of the bound functions that open and close keys:
// each key is opened with read rights alone (KEY_READ; a user without
// administrator rights is refused more), and each key opened is closed
// whatever happened.
int keys_open = 0;
LONG WINAPI open_key(HKEY root, LPCSTR key, DWORD options, REGSAM access, PHKEY result) {
  EXPECT_EQ(access, static_cast<REGSAM>(KEY_READ)) << key;
  const LONG status = detail::bound_registry().open(root, key, options, access, result);
  keys_open += status == ERROR_SUCCESS ? 1 : 0;
  return status;
}
LONG WINAPI close_key(HKEY key) {
  keys_open -= key != nullptr ? 1 : 0;
  return detail::bound_registry().close(key);
}

// The tool's path as the first key's value, of any type that gives a text,
// and then no other lookup; else, with no key or no value there,
// <folder>\MSINFO32.EXE from the second key, when that is a file. A value
// of zero bytes is run-time error 5.
TEST(Win32SysInfo, TheToolByThePathThenByTheFolder) {
  const std::string folder = kHere + "\\tool", tool = folder + "\\MSINFO32.EXE";
  constexpr DWORD kNoKey = 0xFFFFFFFF;
  const struct {
    DWORD type;                // of the path's value; REG_NONE: a key without the value
    std::string path, folder;  // the values; an empty folder: none
    std::string tool;
  } rows[] = {
      {REG_SZ, std::string("C:\\t.exe", 9), folder, "C:\\t.exe"},  // with its zero
      {REG_SZ, "abc", "", "abc"},
      {REG_DWORD, std::string("\x2A\x01\0\0", 4), "", "298"},
      {REG_BINARY, "\x01\x02", folder, ""},  // no text
      {REG_SZ, "", folder, "error 5"},
      {REG_SZ, std::string(1024, 'x') + '\0', folder, tool},  // longer than the buffer
      {REG_NONE, "", folder, tool},
      {kNoKey, "", folder, tool},
      {kNoKey, "", kHere, ""},
      {kNoKey, "", "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPathKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kFolderKey);
    if (row.type != kNoKey) {  // REG_NONE: another value, the key without the path's
      RegSetKeyValueA(HKEY_LOCAL_MACHINE, kPathKey, row.type == REG_NONE ? "OTHER" : "PATH",
                      row.type, row.path.data(), static_cast<DWORD>(row.path.size()));
    }
    if (!row.folder.empty()) {
      RegSetKeyValueA(HKEY_LOCAL_MACHINE, kFolderKey, "MSINFO", REG_SZ, row.folder.c_str(),
                      static_cast<DWORD>(row.folder.size() + 1));
    }
    EXPECT_EQ(
        or_error([] {
          return detail::find_sys_info_tool({open_key, detail::bound_registry().query, close_key});
        }),
        row.tool);
    EXPECT_EQ(keys_open, 0) << "a key left open, or closed twice";
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPathKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kFolderKey);
}

}  // namespace
}  // namespace nodrel
