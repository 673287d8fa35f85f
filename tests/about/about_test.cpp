// The About box without a screen: its texts and layout, and mShowAbout with
// its System Info button through a platform that records what it is asked.
#include "nodrel/about.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "nodrel/matr.hpp"
#include "support/fakes.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

using fakes::Log;

// The description's last paragraph: the count of routines, with no line
// end. (The other texts and the layout are the desktop tests', as shown.)
TEST(AboutTest, DescriptionEndsWithTheCountOfRoutines) {
  const std::string d = about_texts().description;
  EXPECT_EQ(d.substr(d.rfind("\r\n\r\n")),
            "\r\n\r\nThis version includes 34 matrix subs and functions");
}

// The button asks the object's platform for its tool and starts it; no
// tool, or any failure, says so in a message box and leaves the About box
// open. ErrCode is untouched. (The desktop tests show it through the
// process's platform.)
TEST(AboutTest, ShowAboutAndTheSystemInfoButton) {
  const std::string about = "About(Info on Nodrel)", none = "MsgBox(Systema info not available)";
  const struct {
    const char *tool, *fail_on;
    Log calls;
  } rows[] = {
      {"C:\\t.exe", "", {about, "FindTool", "Start(C:\\t.exe)"}},
      {"C:\\t.exe", "Start", {about, "FindTool", "Start(C:\\t.exe)", none}},
      {"", "", {about, "FindTool", none}},
      {"C:\\t.exe", "FindTool", {about, "FindTool", none}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fail_on + std::string(" ") + row.tool);
    Log log;
    auto platform = std::make_shared<fakes::FakePlatform>(log);
    platform->tool = row.tool;
    platform->fail_on = row.fail_on;
    platform->sys_info_presses = 1;
    Matr m;
    m.set_platform(platform);
    leave_code_3(m);
    m.mShowAbout();
    EXPECT_EQ(log, row.calls);
    EXPECT_EQ(m.ErrCode(), 3);
  }
}

}  // namespace
}  // namespace nodrel
