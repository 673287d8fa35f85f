// The pieces of the POSIX platform that decide something, apart from the
// system calls that carry the decisions out.
#ifndef NODREL_PRINT_POSIX_PLATFORM_HPP
#define NODREL_PRINT_POSIX_PLATFORM_HPP

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nodrel/error.hpp"

namespace nodrel::detail {

// The run-time error for an errno of opening, writing or closing a file:
//   EACCES, EPERM                       -> 70 Permission denied
//   ENOENT, ENOTDIR                     -> 76 Path not found
//   ENOSPC, EDQUOT, EFBIG               -> 61 Disk full
//   EIO                                 -> 57 Device I/O error
//   anything else (EISDIR, EROFS, ...)  -> 75 Path/File access error
ErrorNumber file_error_number(int error_value) noexcept;

// The command lines that reach the desktop's clipboard. `clear` may be empty:
// the clipboard is then emptied by setting the empty text.
struct ClipboardTool {
  std::vector<std::string> get;
  std::vector<std::string> set;
  std::vector<std::string> clear;
};

// Wayland (wl-copy and wl-paste) when `wayland_display` is not empty, else
// X11 (xclip, then xsel) when `display` is not empty; nullopt when there is
// no display or none of the tools is `installed`.
std::optional<ClipboardTool> choose_clipboard_tool(
    std::string_view wayland_display, std::string_view display,
    const std::function<bool(std::string_view)>& installed);

}  // namespace nodrel::detail

#endif  // NODREL_PRINT_POSIX_PLATFORM_HPP
