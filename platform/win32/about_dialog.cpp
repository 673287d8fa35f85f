// The About box on Windows: the dialog, and the system information lookup
// through the registry.
#include "platform/win32/about_dialog.hpp"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "nodrel/about.hpp"
#include "nodrel/error.hpp"

namespace nodrel {
namespace detail {

int twips_to_pixels(int twips, int dpi) noexcept { return MulDiv(twips, dpi, 1440); }

namespace {

constexpr int kTwipsPerInch = 1440;

// The module (DLL or program) this code is linked into: the owner of the
// dialog's template and of the windows it creates.
HINSTANCE this_module() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&twips_to_pixels), &module);
  return module;
}

[[noreturn]] void raise_system(ErrorNumber number, const std::string& what) {
  raise(number, std::string(describe(number)) + " (" + what + ": error " +
                    std::to_string(GetLastError()) + ")");
}

// ---------------------------------------------------------------------------
// The registry, bound by name at first use.

using RegOpenKeyExAFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using RegQueryValueExAFn = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using RegCloseKeyFn = LONG(WINAPI*)(HKEY);

struct RegistryFunctions {
  RegOpenKeyExAFn open = nullptr;
  RegQueryValueExAFn query = nullptr;
  RegCloseKeyFn close = nullptr;
};

// A function of advapi32 found by its name; run-time error 17 when the
// library or the function cannot be had (the button then says that the
// tool is not available).
template <typename Fn>
Fn bind(const char* name) {
  const HMODULE library = LoadLibraryA("advapi32");
  if (library == nullptr) raise_system(ErrorNumber::kCantPerformRequestedOperation, "advapi32");
  // A FARPROC is a function pointer of another signature; the cast through
  // void* is how GetProcAddress is meant to be used.
  FARPROC function = GetProcAddress(library, name);
  if (function == nullptr) raise_system(ErrorNumber::kCantPerformRequestedOperation, name);
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(function));
}

const RegistryFunctions& registry() {
  static const RegistryFunctions functions = [] {
    RegistryFunctions f;
    f.open = bind<RegOpenKeyExAFn>("RegOpenKeyExA");
    f.query = bind<RegQueryValueExAFn>("RegQueryValueExA");
    f.close = bind<RegCloseKeyFn>("RegCloseKey");
    return f;
  }();
  return functions;
}

// The predefined keys are 32-bit values that the system sign-extends into
// handles: HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 in a 64-bit process.
HKEY root_key(std::uint32_t root) {
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root)));
}

class Win32SysInfo final : public SysInfoServices {
 public:
  long open_key(std::uint32_t root, const std::string& key, std::uint32_t access,
                std::uintptr_t& handle) override {
    HKEY opened = nullptr;
    const LONG status = registry().open(root_key(root), key.c_str(), 0, access, &opened);
    handle = status == ERROR_SUCCESS ? reinterpret_cast<std::uintptr_t>(opened) : 0;
    return status;
  }

  long query_value(std::uintptr_t handle, const std::string& name, std::uint32_t& type,
                   unsigned char* buffer, std::uint32_t& size) override {
    DWORD value_type = 0;
    DWORD value_size = size;
    const LONG status = registry().query(reinterpret_cast<HKEY>(handle), name.c_str(), nullptr,
                                         &value_type, buffer, &value_size);
    type = value_type;
    size = value_size;
    return status;
  }

  void close_key(std::uintptr_t handle) override {
    // Also called with the handle of a failed open, 0, which the system
    // refuses harmlessly.
    registry().close(reinterpret_cast<HKEY>(handle));
  }

  bool file_exists(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    constexpr DWORD kNotOrdinary =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & kNotOrdinary) == 0;
  }

  void start_program(const std::string& path) override {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    // Quoted: the path of a program under "Program Files" has spaces.
    std::string command = "\"" + path + "\"";
    if (!CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
      raise_system(ErrorNumber::kFileNotFound, path);
    }
    // Not waited for: the tool lives on by itself.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }

  void message_box(const std::string& text) override {
    // Over the About dialog while it is shown, so that it stays on top of it.
    if (MessageBoxA(owner_, text.c_str(), "", MB_OK) == 0) {
      raise_system(ErrorNumber::kCantPerformRequestedOperation, "message box");
    }
  }

  void set_owner(HWND owner) noexcept { owner_ = owner; }

 private:
  HWND owner_ = nullptr;
};

// ---------------------------------------------------------------------------
// The icon: 32 x 32 pixels in the 16 colours of the standard palette, an
// identity matrix between brackets.

HICON make_icon() {
  constexpr int kSize = 32;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[16];
  } info = {};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = kSize;
  info.header.biHeight = -kSize;  // top-down rows
  info.header.biPlanes = 1;
  info.header.biBitCount = 4;
  info.header.biCompression = BI_RGB;
  const COLORREF palette[16] = {
      RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
      RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
      RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
      RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};
  for (int k = 0; k < 16; ++k) {
    info.colours[k] =
        RGBQUAD{GetBValue(palette[k]), GetGValue(palette[k]), GetRValue(palette[k]), 0};
  }
  constexpr unsigned char kWhite = 15, kNavy = 4, kBlue = 12, kSilver = 7;
  auto colour_at = [&](int x, int y) -> unsigned char {
    const bool bracket_bar = (x >= 3 && x <= 4) || (x >= 27 && x <= 28);
    const bool bracket_serif = (y <= 4 || y >= 27) && ((x >= 3 && x <= 7) || (x >= 24 && x <= 28));
    if (y >= 3 && y <= 28 && (bracket_bar || bracket_serif)) return kNavy;
    // Three by three elements of 4 x 4 pixels: the diagonal ones set.
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 3; ++column) {
        const int left = 8 + column * 6;
        const int top = 8 + row * 6;
        if (x >= left && x < left + 4 && y >= top && y < top + 4) {
          return row == column ? kBlue : kSilver;
        }
      }
    }
    return kWhite;
  };
  void* bits = nullptr;
  HBITMAP colour = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (colour == nullptr) return nullptr;
  auto* pixels = static_cast<unsigned char*>(bits);
  constexpr int kRowBytes = kSize / 2;  // two pixels a byte; already a multiple of 4
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; x += 2) {
      pixels[y * kRowBytes + x / 2] =
          static_cast<unsigned char>((colour_at(x, y) << 4) | colour_at(x + 1, y));
    }
  }
  // Every pixel opaque: a mask of zeros.
  const std::vector<unsigned char> zeros(kSize * kSize / 8, 0);
  HBITMAP mask = CreateBitmap(kSize, kSize, 1, 1, zeros.data());
  ICONINFO icon_info = {};
  icon_info.fIcon = TRUE;
  icon_info.hbmMask = mask;
  icon_info.hbmColor = colour;
  HICON icon = mask != nullptr ? CreateIconIndirect(&icon_info) : nullptr;
  if (mask != nullptr) DeleteObject(mask);
  DeleteObject(colour);
  return icon;
}

// ---------------------------------------------------------------------------
// The dialog's template, built in memory: a dialog resource in the binary
// form the resource compiler would produce.

class DialogTemplate {
 public:
  DialogTemplate(DWORD style, int items, const wchar_t* font, WORD point_size) {
    add_dword(style);
    add_dword(0);  // extended style
    words_.push_back(static_cast<WORD>(items));
    for (int k = 0; k < 4; ++k) words_.push_back(0);  // x, y, cx, cy: set when shown
    words_.push_back(0);                              // no menu
    words_.push_back(0);                              // the dialog class
    words_.push_back(0);                              // caption: set when loaded
    words_.push_back(point_size);
    add_text(font);
  }

  // `atom` is the predefined class: 0x0080 button, 0x0082 static.
  void add_item(DWORD style, WORD id, WORD atom, const wchar_t* text) {
    if (words_.size() % 2 != 0) words_.push_back(0);  // items start on a DWORD
    add_dword(style | WS_CHILD | WS_VISIBLE);
    add_dword(0);
    for (int k = 0; k < 4; ++k) words_.push_back(0);  // placed when the dialog loads
    words_.push_back(id);
    words_.push_back(0xFFFF);
    words_.push_back(atom);
    add_text(text);
    words_.push_back(0);  // no creation data
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void add_dword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
  }
  void add_text(const wchar_t* text) {
    for (; *text != L'\0'; ++text) words_.push_back(static_cast<WORD>(*text));
    words_.push_back(0);
  }

  std::vector<WORD> words_;  // WORD-aligned by construction; vector data is aligned further
};

constexpr WORD kButton = 0x0080;
constexpr WORD kStatic = 0x0082;

// What the dialog procedure works with, for the length of one show.
struct DialogState {
  const AboutTexts* texts = nullptr;
  const std::function<void()>* sys_info = nullptr;
  Win32SysInfo* services = nullptr;
  HICON icon = nullptr;
  HFONT title_font = nullptr;
  int dpi = 96;
  std::exception_ptr failure;
};

int px(const DialogState& state, int twips) { return twips_to_pixels(twips, state.dpi); }

void place(HWND dialog, const DialogState& state, int id, std::string_view control) {
  for (const AboutControl& c : about_layout()) {
    if (c.name == control) {
      MoveWindow(GetDlgItem(dialog, id), px(state, c.left), px(state, c.top), px(state, c.width),
                 px(state, c.height), FALSE);
      return;
    }
  }
}

// Form_Load: the texts, the layout and the icon.
void load(HWND dialog, DialogState& state) {
  const AboutTexts& t = *state.texts;
  SetWindowTextA(dialog, t.caption.c_str());
  SetDlgItemTextA(dialog, kAboutVersionId, t.version.c_str());
  SetDlgItemTextA(dialog, kAboutTitleId, t.title.c_str());
  SetDlgItemTextA(dialog, kAboutDescriptionId, t.description.c_str());
  SetDlgItemTextA(dialog, kAboutDisclaimerId, t.disclaimer.c_str());
  SetDlgItemTextA(dialog, kAboutOkId, t.ok_button.c_str());
  SetDlgItemTextA(dialog, kAboutSysInfoId, t.sys_info_button.c_str());

  HDC screen = GetDC(nullptr);
  state.dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  if (state.dpi <= 0) state.dpi = 96;

  place(dialog, state, kAboutIconId, "picIcon");
  place(dialog, state, kAboutTitleId, "lblTitle");
  place(dialog, state, kAboutVersionId, "lblVersion");
  place(dialog, state, kAboutDescriptionId, "lblDescription");
  place(dialog, state, kAboutDisclaimerId, "lblDisclaimer");
  place(dialog, state, kAboutOkId, "cmdOK");
  place(dialog, state, kAboutSysInfoId, "cmdSysInfo");

  // The title a size larger than the other labels: its label is two lines high.
  state.title_font = CreateFontA(-MulDiv(14, state.dpi, 72), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Shell Dlg");
  if (state.title_font != nullptr) {
    SendDlgItemMessageA(dialog, kAboutTitleId, WM_SETFONT,
                        reinterpret_cast<WPARAM>(state.title_font), FALSE);
  }
  if (state.icon != nullptr) {
    SendDlgItemMessageA(dialog, kAboutIconId, STM_SETICON, reinterpret_cast<WPARAM>(state.icon), 0);
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state.icon));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state.icon));
  }

  // The client area of the form, centred on the screen.
  RECT frame = {0, 0, px(state, kAboutClientWidth), px(state, kAboutClientHeight)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  SetWindowPos(dialog, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// Line1: the etched separator, a grey line over a white one.
void paint(HWND dialog, const DialogState& state) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(dialog, &ps);
  const COLORREF colours[2] = {RGB(128, 128, 128), RGB(255, 255, 255)};
  const char* names[2] = {"Line1(1)", "Line1(0)"};
  for (int k = 0; k < 2; ++k) {
    for (const AboutControl& c : about_layout()) {
      if (c.name != names[k]) continue;
      HPEN pen = CreatePen(PS_SOLID, 1, colours[k]);
      HGDIOBJ old = SelectObject(dc, pen);
      MoveToEx(dc, px(state, c.left), px(state, c.top), nullptr);
      LineTo(dc, px(state, c.width), px(state, c.height));  // the second endpoint
      SelectObject(dc, old);
      DeleteObject(pen);
    }
  }
  EndPaint(dialog, &ps);
}

INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      state = reinterpret_cast<DialogState*>(lparam);
      state->services->set_owner(dialog);
      load(dialog, *state);
      return TRUE;  // the focus to the first button, OK
    case WM_PAINT:
      if (state == nullptr) return FALSE;
      paint(dialog, *state);
      return TRUE;
    case WM_COMMAND:
      if (state == nullptr) return FALSE;
      switch (LOWORD(wparam)) {
        case IDOK:
        case IDCANCEL:  // Escape, and the close box: cmdOK is the cancel button too
          EndDialog(dialog, IDOK);
          return TRUE;
        case kAboutSysInfoId:
          if (HIWORD(wparam) != BN_CLICKED) return FALSE;
          // No C++ exception may unwind through the system's dialog code:
          // a failure closes the dialog and is raised once it is gone.
          try {
            (*state->sys_info)();
          } catch (...) {
            state->failure = std::current_exception();
            EndDialog(dialog, IDABORT);
          }
          return TRUE;
        default: return FALSE;
      }
    default: return FALSE;
  }
}

struct EnumState {
  HWND keep;
  std::vector<HWND> windows;
};

BOOL CALLBACK collect_enabled(HWND window, LPARAM lparam) {
  auto* state = reinterpret_cast<EnumState*>(lparam);
  if (window != state->keep && IsWindowVisible(window) && IsWindowEnabled(window)) {
    state->windows.push_back(window);
  }
  return TRUE;
}

class Win32AboutHost final : public AboutHost {
 public:
  void show(const AboutTexts& texts, const std::function<void()>& sys_info) override {
    constexpr DWORD kStyle = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    DialogTemplate form(kStyle, 7, L"MS Shell Dlg", 8);
    // Centred: the control keeps the size of picIcon, a 32-pixel icon with
    // a margin around it, where an icon alone would shrink it to its own size.
    form.add_item(SS_ICON | SS_CENTERIMAGE, kAboutIconId, kStatic, L"");
    form.add_item(SS_LEFT | SS_NOPREFIX, kAboutTitleId, kStatic, L"");
    form.add_item(SS_LEFT | SS_NOPREFIX, kAboutVersionId, kStatic, L"");
    form.add_item(SS_LEFT | SS_NOPREFIX, kAboutDescriptionId, kStatic, L"");
    form.add_item(SS_LEFT | SS_NOPREFIX, kAboutDisclaimerId, kStatic, L"");
    form.add_item(BS_DEFPUSHBUTTON | WS_TABSTOP, kAboutOkId, kButton, L"");
    form.add_item(BS_PUSHBUTTON | WS_TABSTOP, kAboutSysInfoId, kButton, L"");

    DialogState state;
    state.texts = &texts;
    state.sys_info = &sys_info;
    state.services = &services_;
    state.icon = make_icon();

    // Modal for the client: its window that is active becomes the owner,
    // which the dialog disables, and its other windows on this thread are
    // disabled as well until the dialog is closed.
    HWND owner = GetActiveWindow();
    EnumState others{owner, {}};
    EnumThreadWindows(GetCurrentThreadId(), collect_enabled, reinterpret_cast<LPARAM>(&others));
    for (HWND w : others.windows) EnableWindow(w, FALSE);
    const INT_PTR shown = DialogBoxIndirectParamA(
        this_module(), form.get(), owner, dialog_procedure, reinterpret_cast<LPARAM>(&state));
    const DWORD error = GetLastError();
    for (HWND w : others.windows) EnableWindow(w, TRUE);
    services_.set_owner(nullptr);
    if (state.title_font != nullptr) DeleteObject(state.title_font);
    if (state.icon != nullptr) DestroyIcon(state.icon);
    if (state.failure) std::rethrow_exception(state.failure);
    if (shown == -1) {
      SetLastError(error);
      raise_system(ErrorNumber::kCantPerformRequestedOperation, "About dialog");
    }
  }

  SysInfoServices& services() override { return services_; }

 private:
  Win32SysInfo services_;
};

}  // namespace

}  // namespace detail

std::shared_ptr<AboutHost> default_about_host() {
  return std::make_shared<detail::Win32AboutHost>();
}

}  // namespace nodrel
