// The About box without a screen: its texts and layout, the System Info
// lookup against a registry in memory, and mShowAbout through a host that
// records what it was given.
#include "nodrel/about.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "nodrel/matr.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

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
  EXPECT_EQ(about_texts().description, t.description);  // never doubled
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

// A registry in memory, a file system of names, and a log of every call.
class FakeServices : public SysInfoServices {
 public:
  using Value = std::pair<std::uint32_t, std::string>;  // type, bytes
  std::map<std::string, std::map<std::string, Value>> keys;
  std::vector<std::string> files, startable, log;
  int open_handles = 0;

  long open_key(std::uint32_t root, const std::string& key, std::uint32_t access,
                std::uintptr_t& handle) override {
    log.push_back("open " + key);
    EXPECT_EQ(root, 0x80000002U);
    EXPECT_EQ(access, 0x2003FU);
    const auto it = keys.find(key);
    if (it == keys.end()) return 2;  // not found
    handle = reinterpret_cast<std::uintptr_t>(&it->second);
    return ++open_handles, 0;
  }
  long query_value(std::uintptr_t handle, const std::string& name, std::uint32_t& type,
                   unsigned char* buffer, std::uint32_t& size) override {
    const auto& values = *reinterpret_cast<std::map<std::string, Value>*>(handle);
    const auto it = values.find(name);
    if (it == values.end()) return 2;
    if (it->second.second.size() > size) return 234;  // more data
    type = it->second.first;
    size = static_cast<std::uint32_t>(it->second.second.size());
    std::memcpy(buffer, it->second.second.data(), size);
    return 0;
  }
  void close_key(std::uintptr_t handle) override {
    log.push_back(handle == 0 ? "close 0" : "close");
    open_handles -= handle != 0;
  }
  bool file_exists(const std::string& path) override {
    log.push_back("exists " + path);
    return std::find(files.begin(), files.end(), path) != files.end();
  }
  void start_program(const std::string& path) override {
    log.push_back("start " + path);
    if (std::find(startable.begin(), startable.end(), path) == startable.end()) {
      raise(ErrorNumber::kFileNotFound);
    }
  }
  void message_box(const std::string& text) override { log.push_back("msgbox " + text); }
};

FakeServices::Value text(const std::string& s) { return {about::kRegString, s + '\0'}; }

TEST(AboutTest, KeyValues) {
  struct Row {
    const char* what;
    std::vector<FakeServices::Value> value;  // none: the key lacks it
    std::string result;                      // "error N", or the flag and the text
  };
  const Row rows[] = {
      {"string with its zero", {text("C:\\x.exe")}, "1 C:\\x.exe"},
      {"string without a zero", {{about::kRegString, "abc"}}, "1 abc"},
      {"32-bit number", {{about::kRegDword, std::string("\x2A\x01\0\0", 4)}}, "1 298"},
      {"another type leaves the text", {{3, "\x01\x02"}}, "1 before"},
      {"longer than the buffer", {text(std::string(1024, 'x'))}, "0 "},
      {"no value", {}, "0 "},
      {"a value of zero bytes is an error", {{about::kRegString, ""}}, "error 5"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeServices s;
    auto& key = s.keys["K"];
    if (!row.value.empty()) key["V"] = row.value.front();
    std::string val = "before", got;
    try {
      got = std::to_string(about::GetKeyValue(s, about::kHkeyLocalMachine, "K", "V", val)) + " " +
            val;
    } catch (const Error& e) {
      got = "error " + std::to_string(e.code());
    }
    EXPECT_EQ(got, row.result);
    EXPECT_EQ(s.open_handles, 0);  // the key is closed whatever happened
  }
  FakeServices s;
  std::string val = "before";
  EXPECT_FALSE(about::GetKeyValue(s, about::kHkeyLocalMachine, "missing", "V", val));
  EXPECT_EQ(val + "|" + s.log[0] + "|" + s.log[1], "|open missing|close 0");
}

TEST(AboutTest, SystemInfoLookupAndTheButton) {
  const char* first = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
  const char* second = "SOFTWARE\\Microsoft\\Shared Tools Location";
  const std::string none = "msgbox Systema info not available";
  // The values of the two lookups: null for none, "" for a value of zero bytes.
  const struct {
    const char *first_value, *second_value;
    bool tool_in_folder, first_startable;
    std::string last;  // the last call made
    bool second_looked_up;
  } rows[] = {
      {"C:\\t.exe", "C:\\s", true, true, "start C:\\t.exe", false},  // first found and started
      {"C:\\t.exe", nullptr, false, false, none, false},             // the first cannot start
      {nullptr, "C:\\s", true, false, "start C:\\s\\MSINFO32.EXE", true},
      {nullptr, "C:\\s", false, false, none, true},  // the second without the tool
      {nullptr, nullptr, false, false, none, true},
      {"", "C:\\s", true, false, none, false},
  };
  const auto value = [](const char* v) {
    return *v != 0 ? text(v) : FakeServices::Value{about::kRegString, ""};
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    FakeServices s;
    if (row.first_value) s.keys[first]["PATH"] = value(row.first_value);
    if (row.second_value) s.keys[second]["MSINFO"] = value(row.second_value);
    if (row.tool_in_folder) s.files.push_back("C:\\s\\MSINFO32.EXE");
    s.startable = {"C:\\s\\MSINFO32.EXE"};
    if (row.first_startable) s.startable.push_back("C:\\t.exe");
    about::StartSysInfo(s);
    EXPECT_EQ(s.log.back(), row.last);
    EXPECT_EQ(std::count(s.log.begin(), s.log.end(), "open " + std::string(second)),
              row.second_looked_up);
    // The first path is started untested.
    EXPECT_EQ(std::count(s.log.begin(), s.log.end(), "exists C:\\t.exe"), 0);
    EXPECT_EQ(s.open_handles, 0);
  }

  // mShowAbout: the same texts every time, ErrCode untouched, and the
  // button runs the lookup.
  struct Host : AboutHost {
    void show(const AboutTexts& texts, const std::function<void()>& sys_info) override {
      shown.push_back(texts.caption + texts.description);
      sys_info();
    }
    SysInfoServices& services() override { return fake; }
    FakeServices fake;
    std::vector<std::string> shown;
  };
  auto host = std::make_shared<Host>();
  host->fake.keys[first]["PATH"] = text("C:\\t.exe");
  host->fake.startable.push_back("C:\\t.exe");
  set_about_host(host);
  Matr m;
  leave_code_3(m);
  m.mShowAbout();
  m.mShowAbout();
  set_about_host(nullptr);
  EXPECT_EQ(m.ErrCode(), 3);
  ASSERT_EQ(host->shown.size(), 2u);
  EXPECT_EQ(host->shown[0], host->shown[1]);
  EXPECT_EQ(host->shown[0].rfind("Info on Nodrel", 0), 0u);
  EXPECT_EQ(host->fake.log.back(), "start C:\\t.exe");
}

}  // namespace
}  // namespace nodrel
