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

// The texts, the description's last paragraph (the count of routines, with
// no line end), and every control's place in twips; the dialogs of both
// desktops are placed by this table.
TEST(AboutTest, TextsAndLayoutInTwips) {
  const AboutTexts t = about_texts();
  EXPECT_EQ(t.caption + "|" + t.title + "|" + t.version + "|" + t.ok_button + "|" +
                t.sys_info_button + "|" + t.description.substr(t.description.rfind("\r\n\r\n")),
            "Info on Nodrel|Nodrel|Version 1.1.1|OK|&System Info...|\r\n\r\n"
            "This version includes 34 matrix subs and functions");
  std::string layout = std::to_string(kAboutClientWidth) + "," + std::to_string(kAboutClientHeight);
  for (const auto& c : about_layout()) {
    layout += "; " + std::string(c.name) + " " + std::to_string(c.left) + "," +
              std::to_string(c.top) + "," + std::to_string(c.width) + "," +
              std::to_string(c.height);
  }
  EXPECT_EQ(
      layout,
      "5730,3555; picIcon 240,240,540,540; lblTitle 1050,240,3885,480; "
      "lblVersion 1050,780,3885,225; lblDescription 1050,1125,3885,1170; "
      "Line1(1) 90,2445,5654,2445; Line1(0) 105,2460,5654,2460; "
      "lblDisclaimer 255,2625,3870,825; cmdOK 4245,2625,1260,345; cmdSysInfo 4260,3075,1245,345");
}

// The button asks the object's platform for its tool and starts it; no
// tool, or any failure, says so in a message box and leaves the About box
// open. ErrCode is untouched, and the process's platform shows the box
// unless the object has its own.
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
  Log log;
  set_default_platform(std::make_shared<fakes::FakePlatform>(log));
  Matr().mShowAbout();
  set_default_platform(nullptr);
  EXPECT_EQ(log, Log{about});
}

}  // namespace
}  // namespace nodrel
