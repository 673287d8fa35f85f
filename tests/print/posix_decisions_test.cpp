#include <errno.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "print/posix_platform.hpp"

namespace nodrel::detail {
namespace {

TEST(FileErrorNumberTest, EveryErrnoHasItsRunTimeError) {
  struct Row {
    int error_value;
    ErrorNumber expected;
  };
  const Row rows[] = {
      {EACCES, ErrorNumber::kPermissionDenied},
      {EPERM, ErrorNumber::kPermissionDenied},
      {ENOENT, ErrorNumber::kPathNotFound},
      {ENOTDIR, ErrorNumber::kPathNotFound},
      {ENOSPC, ErrorNumber::kDiskFull},
      {EDQUOT, ErrorNumber::kDiskFull},
      {EFBIG, ErrorNumber::kDiskFull},
      {EIO, ErrorNumber::kDeviceIoError},
      {EISDIR, ErrorNumber::kPathFileAccessError},
      {EROFS, ErrorNumber::kPathFileAccessError},
      {ENAMETOOLONG, ErrorNumber::kPathFileAccessError},
      {ELOOP, ErrorNumber::kPathFileAccessError},
      {EMFILE, ErrorNumber::kPathFileAccessError},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.error_value);
    EXPECT_EQ(file_error_number(row.error_value), row.expected);
  }
}

TEST(ChooseClipboardToolTest, WaylandThenXclipThenXsel) {
  struct Row {
    const char* name;
    const char* wayland;
    const char* display;
    std::set<std::string> installed;
    std::string expected_get;  // the program that reads; "" for none
  };
  const std::vector<Row> rows = {
      {"Wayland", "wayland-0", ":0", {"wl-copy", "wl-paste", "xclip"}, "wl-paste"},
      {"Wayland without wl-paste falls back to XWayland",
       "wayland-0",
       ":0",
       {"wl-copy", "xclip"},
       "xclip"},
      {"Wayland without X tools or DISPLAY", "wayland-0", "", {"xclip", "xsel"}, ""},
      {"X11 prefers xclip", "", ":0", {"xclip", "xsel"}, "xclip"},
      {"X11 with xsel alone", "", ":0", {"xsel"}, "xsel"},
      {"no display", "", "", {"wl-copy", "wl-paste", "xclip", "xsel"}, ""},
      {"no tool", "wayland-0", ":0", {}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto tool = choose_clipboard_tool(row.wayland, row.display, [&](std::string_view name) {
      return row.installed.count(std::string(name)) > 0;
    });
    if (row.expected_get.empty()) {
      EXPECT_FALSE(tool.has_value());
      continue;
    }
    ASSERT_TRUE(tool.has_value());
    EXPECT_EQ(tool->get.at(0), row.expected_get);
  }
}

}  // namespace
}  // namespace nodrel::detail
