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

TEST(AboutTest, TextsAndLayoutInTwips) {
  const AboutTexts t = about_texts();
  EXPECT_EQ(
      t.caption + "|" + t.title + "|" + t.version + "|" + t.ok_button + "|" + t.sys_info_button,
      "Info on Nodrel|Nodrel|Version 1.1.1|OK|&System Info...");
  // Three paragraphs: a description, a credit line with a contact address,
  // and the count of routines with no line end.
  const auto first = t.description.find("\r\n\r\n");
  const auto second = t.description.find("\r\n\r\n", first + 4);
  ASSERT_NE(second, std::string::npos);
  const std::string credit = t.description.substr(first + 4, second - first - 4);
  EXPECT_NE(credit.find("the Nodrel developers"), std::string::npos);
  EXPECT_NE(credit.find("@example.org"), std::string::npos);
  EXPECT_EQ(t.description.substr(second + 4), "This version includes 34 matrix subs and functions");
  std::string layout;
  for (const auto& c : about_layout()) {
    layout += std::string(c.name) + " " + std::to_string(c.left) + "," + std::to_string(c.top) +
              "," + std::to_string(c.width) + "," + std::to_string(c.height) + "; ";
  }
  EXPECT_EQ(layout,
            "picIcon 240,240,540,540; lblTitle 1050,240,3885,480; lblVersion 1050,780,3885,225; "
            "lblDescription 1050,1125,3885,1170; Line1(1) 90,2445,5654,2445; "
            "Line1(0) 105,2460,5654,2460; lblDisclaimer 255,2625,3870,825; "
            "cmdOK 4245,2625,1260,345; cmdSysInfo 4260,3075,1245,345; ");
  EXPECT_EQ(kAboutClientWidth * 10000 + kAboutClientHeight, 5730 * 10000 + 3555);
}

// The button asks the object's platform for its tool and starts it; no
// tool, or any failure, says so in a message box and leaves the About box
// open. ErrCode is untouched, and the texts are the same at every show.
TEST(AboutTest, ShowAboutAndTheSystemInfoButton) {
  const std::string about = "About(Info on Nodrel)", none = "MsgBox(Systema info not available)";
  const struct {
    const char* tool;
    const char* fail_on;
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
  // The process's platform, unless the object has its own.
  Log log;
  set_default_platform(std::make_shared<fakes::FakePlatform>(log));
  Matr m;
  m.mShowAbout();
  m.mShowAbout();
  set_default_platform(nullptr);
  EXPECT_EQ(log, (Log{about, about}));
}

}  // namespace
}  // namespace nodrel
