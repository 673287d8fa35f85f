// The clipboard tool chosen from the session's displays and the tools
// installed. The error numbers of files are destination_faults_test.cpp's,
// on real files.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/posix/posix_platform.hpp"

namespace nodrel::detail {
namespace {

// Wayland, then xclip, then xsel; the program that reads ("" for none).
TEST(PosixDecisionsTest, TheClipboardTool) {
  const struct {
    const char *wayland, *display;
    std::set<std::string> installed;
    std::string get;
  } rows[] = {
      {"wayland-0", ":0", {"wl-copy", "wl-paste", "xclip"}, "wl-paste"},
      {"wayland-0", ":0", {"wl-copy", "xclip"}, "xclip"},  // XWayland without wl-paste
      {"wayland-0", "", {"xclip", "xsel"}, ""},
      {"", ":0", {"xclip", "xsel"}, "xclip"},
      {"", ":0", {"xsel"}, "xsel"},
      {"", "", {"wl-copy", "wl-paste", "xclip", "xsel"}, ""},
      {"wayland-0", ":0", {}, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.wayland) + " " + row.display + " " + row.get);
    const auto tool = choose_clipboard_tool(row.wayland, row.display, [&](std::string_view name) {
      return row.installed.count(std::string(name)) > 0;
    });
    EXPECT_EQ(tool.has_value() ? tool->get.at(0) : "", row.get);
  }
}

}  // namespace
}  // namespace nodrel::detail
