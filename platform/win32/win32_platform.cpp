// The default platform on Windows: MessageBoxA, the clipboard as CF_TEXT,
// and files through CreateFileA.
//
// The core's strings are in the ANSI code page on Windows (the COM server
// converts every BSTR through it), which is also the encoding of CF_TEXT and
// of the files this component writes; so the bytes go out as they are, with
// the A functions, and nothing here converts text.
#include <windows.h>

#include <memory>
#include <string>

#include "nodrel/error.hpp"
#include "nodrel/platform.hpp"
#include "platform/file_name.hpp"

namespace nodrel {
namespace detail {

namespace {

// The system's message for a Win32 error code, without its line end.
std::string system_message(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length != 0 && buffer != nullptr ? std::string(buffer, length)
                                                      : "error " + std::to_string(code);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

// The run-time error for a Win32 error of opening, writing or closing a
// file; the one place where these codes become error numbers.
ErrorNumber file_error_number(DWORD code, const std::string& path) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return ErrorNumber::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ErrorNumber::kPathNotFound;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return ErrorNumber::kBadFileNameOrNumber;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ErrorNumber::kDiskFull;
    case ERROR_WRITE_PROTECT:
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE: return ErrorNumber::kDeviceIoError;
    case ERROR_ACCESS_DENIED: {
      // Windows answers "access denied" for a folder too; a folder is no
      // file at all, as on POSIX systems, where it is a path/file error.
      const DWORD attributes = GetFileAttributesA(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return ErrorNumber::kPathFileAccessError;
      }
      return ErrorNumber::kPermissionDenied;
    }
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return ErrorNumber::kPermissionDenied;
    default: return ErrorNumber::kPathFileAccessError;
  }
}

[[noreturn]] void raise_file_error(DWORD code, const std::string& path) {
  const ErrorNumber number = file_error_number(code, path);
  raise(number, std::string(describe(number)) + " (" + path + ": " + system_message(code) + ")");
}

[[noreturn]] void raise_clipboard(const std::string& what, DWORD code) {
  const ErrorNumber number = ErrorNumber::kCantPerformRequestedOperation;
  raise(number,
        std::string(describe(number)) + " (clipboard: " + what + ": " + system_message(code) + ")");
}

class Handle {
 public:
  explicit Handle(HANDLE handle) noexcept : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { close(); }
  HANDLE get() const noexcept { return handle_; }
  // Closes now; false (with the thread's last error set) when closing failed.
  bool close() noexcept {
    const HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return h == INVALID_HANDLE_VALUE || CloseHandle(h) != FALSE;
  }

 private:
  HANDLE handle_;
};

// The clipboard, opened for the length of one operation. It is opened for a
// window of ours: a clipboard emptied while opened without a window has no
// owner, and setting data then fails. Another program may hold the
// clipboard open for a moment, so opening is tried a few times.
class OpenClipboardScope {
 public:
  OpenClipboardScope() {
    window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    if (window_ == nullptr) raise_clipboard("CreateWindowEx", GetLastError());
    constexpr int kAttempts = 20;
    constexpr DWORD kPauseMs = 10;
    for (int k = 0; k < kAttempts; ++k) {
      if (OpenClipboard(window_)) return;
      Sleep(kPauseMs);
    }
    const DWORD code = GetLastError();
    DestroyWindow(window_);
    raise_clipboard("OpenClipboard", code);
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  ~OpenClipboardScope() {
    CloseClipboard();
    DestroyWindow(window_);
  }

 private:
  HWND window_ = nullptr;
};

class Win32Platform final : public Platform {
 public:
  void message_box(const std::string& text) override {
    // No title: an empty caption (a null one would read "Error"). Task
    // modal, since there is no owner window: the client's windows on this
    // thread wait for it, as they would for a message box of its own.
    if (MessageBoxA(nullptr, text.c_str(), "", MB_OK | MB_TASKMODAL) == 0) {
      const DWORD code = GetLastError();
      const ErrorNumber number = ErrorNumber::kCantPerformRequestedOperation;
      raise(number,
            std::string(describe(number)) + " (message box: " + system_message(code) + ")");
    }
  }

  std::string clipboard_get_text() override {
    const OpenClipboardScope open;
    const HANDLE data = GetClipboardData(CF_TEXT);
    if (data == nullptr) return {};  // no text on the clipboard
    const auto* text = static_cast<const char*>(GlobalLock(data));
    if (text == nullptr) return {};
    // The block may be larger than its text; the text ends at its NUL.
    const SIZE_T size = GlobalSize(data);
    SIZE_T length = 0;
    while (length < size && text[length] != '\0') ++length;
    std::string result(text, length);
    GlobalUnlock(data);
    return result;
  }

  void clipboard_clear() override {
    const OpenClipboardScope open;
    if (!EmptyClipboard()) raise_clipboard("EmptyClipboard", GetLastError());
  }

  void clipboard_set_text(const std::string& text) override {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (block == nullptr) raise(ErrorNumber::kOutOfMemory);
    char* bytes = static_cast<char*>(GlobalLock(block));
    if (bytes == nullptr) {
      GlobalFree(block);
      raise(ErrorNumber::kOutOfMemory);
    }
    text.copy(bytes, text.size());
    bytes[text.size()] = '\0';
    GlobalUnlock(block);
    const OpenClipboardScope open;
    // The formats another program put there (CF_UNICODETEXT among them)
    // would still hold the old text beside ours; emptying first leaves the
    // new text alone, and the system derives the other text formats from it.
    if (!EmptyClipboard()) {
      const DWORD code = GetLastError();
      GlobalFree(block);
      raise_clipboard("EmptyClipboard", code);
    }
    if (SetClipboardData(CF_TEXT, block) == nullptr) {
      const DWORD code = GetLastError();
      GlobalFree(block);
      raise_clipboard("SetClipboardData", code);
    }
    // The system owns the block from here on.
  }

  void write_file(const std::string& path, const std::string& text, bool append) override {
    detail::check_file_name(path);
    // Appending: every write goes to the end of the file (FILE_APPEND_DATA
    // without FILE_WRITE_DATA), even if another program writes to it too.
    const DWORD access = append ? FILE_APPEND_DATA : GENERIC_WRITE;
    Handle file(CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr,
                            append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) raise_file_error(GetLastError(), path);
    std::string line = text;
    line += "\r\n";
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
      constexpr std::size_t kChunk = 1u << 30;
      const DWORD size = static_cast<DWORD>(left < kChunk ? left : kChunk);
      DWORD written = 0;
      if (!WriteFile(file.get(), data, size, &written, nullptr)) {
        raise_file_error(GetLastError(), path);
      }
      if (written == 0) raise_file_error(ERROR_DISK_FULL, path);
      data += written;
      left -= written;
    }
    if (!file.close()) raise_file_error(GetLastError(), path);
  }
};

}  // namespace

}  // namespace detail

std::shared_ptr<Platform> system_platform() {
  static const std::shared_ptr<Platform> instance = std::make_shared<detail::Win32Platform>();
  return instance;
}

}  // namespace nodrel
