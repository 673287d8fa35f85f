#include <errno.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/posix/posix_platform.hpp"

namespace nodrel::detail {
namespace {

TEST(PosixDecisionsTest, FileErrorsAndTheClipboardTool) {
  const std::pair<int, int> errors[] = {
      {EACCES, 70}, {EPERM, 70},  {ENOENT, 76},      {ENOTDIR, 76}, {ENOSPC, 61},
      {EDQUOT, 61}, {EFBIG, 61},  {EIO, 57},         {EISDIR, 75},  {EROFS, 75},
      {ELOOP, 75},  {EMFILE, 75}, {ENAMETOOLONG, 75}};
  for (const auto& [error_value, number] : errors) {
    EXPECT_EQ(static_cast<int>(file_error_number(error_value)), number) << error_value;
  }
  // Wayland, then xclip, then xsel; the program that reads ("" for none).
  struct Row {
    const char* wayland;
    const char* display;
    std::set<std::string> installed;
    std::string get;
  };
  const Row rows[] = {
      {"wayland-0", ":0", {"wl-copy", "wl-paste", "xclip"}, "wl-paste"},
      {"wayland-0", ":0", {"wl-copy", "xclip"}, "xclip"},  // XWayland without wl-paste
      {"wayland-0", "", {"xclip", "xsel"}, ""},
      {"", ":0", {"xclip", "xsel"}, "xclip"},
      {"", ":0", {"xsel"}, "xsel"},
      {"", "", {"wl-copy", "wl-paste", "xclip", "xsel"}, ""},
      {"wayland-0", ":0", {}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.wayland) + " " + row.display + " " + row.get);
    const auto tool = choose_clipboard_tool(row.wayland, row.display, [&](std::string_view name) {
      return row.installed.count(std::string(name)) > 0;
    });
    EXPECT_EQ(tool.has_value() ? tool->get.at(0) : "", row.get);
  }
}

}  // namespace
}  // namespace nodrel::detail
