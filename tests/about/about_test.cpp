#include "nodrel/about.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

TEST(AboutTextsTest, ComposedAsTheFormLoads) {
  const AboutTexts t = about_texts();
  EXPECT_EQ(t.caption, "Info on Nodrel");
  EXPECT_EQ(t.title, "Nodrel");
  EXPECT_EQ(t.version, "Version 1.1.1");
  EXPECT_EQ(t.ok_button, "OK");
  EXPECT_EQ(t.sys_info_button, "&System Info...");
  // Three paragraphs: a description, a credit line with a contact address,
  // and the count of routines with no line end.
  const std::string sep = "\r\n\r\n";
  const auto first = t.description.find(sep);
  ASSERT_NE(first, std::string::npos);
  const auto second = t.description.find(sep, first + sep.size());
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(t.description.find(sep, second + sep.size()), std::string::npos);
  const std::string credit = t.description.substr(first + sep.size(), second - first - sep.size());
  EXPECT_NE(credit.find("the Nodrel developers"), std::string::npos);
  EXPECT_NE(credit.find("@example.org"), std::string::npos);
  EXPECT_EQ(t.description.substr(second + sep.size()),
            "This version includes 34 matrix subs and functions");
  EXPECT_EQ(about_texts().description, t.description);  // never doubled
}

TEST(AboutTextsTest, LayoutInTwips) {
  const auto& layout = about_layout();
  struct Row {
    const char* name;
    std::int32_t left, top, width, height;
  };
  const Row expected[] = {
      {"picIcon", 240, 240, 540, 540},         {"lblTitle", 1050, 240, 3885, 480},
      {"lblVersion", 1050, 780, 3885, 225},    {"lblDescription", 1050, 1125, 3885, 1170},
      {"Line1(1)", 90, 2445, 5654, 2445},      {"Line1(0)", 105, 2460, 5654, 2460},
      {"lblDisclaimer", 255, 2625, 3870, 825}, {"cmdOK", 4245, 2625, 1260, 345},
      {"cmdSysInfo", 4260, 3075, 1245, 345},
  };
  ASSERT_EQ(layout.size(), std::size(expected));
  for (std::size_t k = 0; k < layout.size(); ++k) {
    SCOPED_TRACE(expected[k].name);
    EXPECT_EQ(layout[k].name, expected[k].name);
    EXPECT_EQ(layout[k].left, expected[k].left);
    EXPECT_EQ(layout[k].top, expected[k].top);
    EXPECT_EQ(layout[k].width, expected[k].width);
    EXPECT_EQ(layout[k].height, expected[k].height);
  }
  EXPECT_EQ(kAboutClientWidth, 5730);
  EXPECT_EQ(kAboutClientHeight, 3555);
}

// A registry in memory, a file system of names, and a log of every call.
class FakeServices : public SysInfoServices {
 public:
  struct Value {
    std::uint32_t type;
    std::vector<unsigned char> data;
  };
  std::map<std::string, std::map<std::string, Value>> keys;
  std::vector<std::string> files;
  std::vector<std::string> startable;
  std::vector<std::string> log;
  int open_handles = 0;

  static Value text(const std::string& s, bool zero = true) {
    std::vector<unsigned char> d(s.begin(), s.end());
    if (zero) d.push_back(0);
    return {about::kRegString, d};
  }

  long open_key(std::uint32_t root, const std::string& key, std::uint32_t access,
                std::uintptr_t& handle) override {
    log.push_back("open " + key);
    EXPECT_EQ(root, 0x80000002U);
    EXPECT_EQ(access, 0x2003FU);
    const auto it = keys.find(key);
    if (it == keys.end()) return 2;  // not found
    handle = reinterpret_cast<std::uintptr_t>(&it->second);
    ++open_handles;
    return 0;
  }
  long query_value(std::uintptr_t handle, const std::string& name, std::uint32_t& type,
                   unsigned char* buffer, std::uint32_t& size) override {
    log.push_back("query " + name);
    const auto& values = *reinterpret_cast<std::map<std::string, Value>*>(handle);
    const auto it = values.find(name);
    if (it == values.end()) return 2;
    if (it->second.data.size() > size) return 234;  // more data
    type = it->second.type;
    size = static_cast<std::uint32_t>(it->second.data.size());
    if (size > 0) std::memcpy(buffer, it->second.data.data(), size);
    return 0;
  }
  void close_key(std::uintptr_t handle) override {
    log.push_back(handle == 0 ? "close 0" : "close");
    if (handle != 0) --open_handles;
  }
  bool file_exists(const std::string& path) override {
    log.push_back("exists " + path);
    for (const auto& f : files) {
      if (f == path) return true;
    }
    return false;
  }
  void start_program(const std::string& path) override {
    log.push_back("start " + path);
    for (const auto& p : startable) {
      if (p == path) return;
    }
    raise(ErrorNumber::kFileNotFound);
  }
  void message_box(const std::string& text) override { log.push_back("msgbox " + text); }
};

const char* kFirstKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* kSecondKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

TEST(GetKeyValueTest, ValueTypesAndTrimming) {
  struct Row {
    const char* what;
    FakeServices::Value value;
    bool ok;
    std::string expected;
  };
  const Row rows[] = {
      {"string with its zero", FakeServices::text("C:\\x.exe"), true, "C:\\x.exe"},
      {"string without a zero", FakeServices::text("abc", false), true, "abc"},
      {"32-bit number", {about::kRegDword, {0x2A, 0x01, 0, 0}}, true, "298"},
      {"another type leaves the text", {3, {1, 2}}, true, "before"},
      {"longer than the buffer", FakeServices::text(std::string(1024, 'x')), false, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeServices s;
    s.keys["K"]["V"] = row.value;
    std::string val = "before";
    EXPECT_EQ(about::GetKeyValue(s, about::kHkeyLocalMachine, "K", "V", val), row.ok);
    EXPECT_EQ(val, row.expected);
    EXPECT_EQ(s.open_handles, 0);
  }
}

TEST(GetKeyValueTest, FailuresEmptyTheTextAndCloseTheKey) {
  FakeServices s;
  std::string val = "before";
  EXPECT_FALSE(about::GetKeyValue(s, about::kHkeyLocalMachine, "missing", "V", val));
  EXPECT_EQ(val, "");
  EXPECT_EQ(s.log, (std::vector<std::string>{"open missing", "close 0"}));

  s.keys["K"];  // a key without the value
  val = "before";
  EXPECT_FALSE(about::GetKeyValue(s, about::kHkeyLocalMachine, "K", "V", val));
  EXPECT_EQ(val, "");
  EXPECT_EQ(s.open_handles, 0);

  // A value of zero bytes is an error; the key is closed all the same.
  s.keys["K"]["V"] = FakeServices::Value{about::kRegString, {}};
  EXPECT_RUNTIME_ERROR(about::GetKeyValue(s, about::kHkeyLocalMachine, "K", "V", val), 5);
  EXPECT_EQ(s.open_handles, 0);
}

TEST(StartSysInfoTest, LookupsAndFallback) {
  struct Row {
    const char* what;
    bool first;            // the first value names C:\tools\msinfo.exe
    bool first_empty;      // the first value has zero bytes
    bool second;           // the second value names the folder C:\shared
    bool tool_in_folder;   // C:\shared\MSINFO32.EXE exists
    bool first_startable;  // C:\tools\msinfo.exe can be started
    std::string last;      // the last call made
    bool second_looked_up;
  };
  const Row rows[] = {
      {"first lookup found and started", true, false, true, true, true,
       "start C:\\tools\\msinfo.exe", false},
      {"first names a file that cannot start", true, false, false, false, false,
       "msgbox Systema info not available", false},
      {"second lookup with the tool", false, false, true, true, false,
       "start C:\\shared\\MSINFO32.EXE", true},
      {"second lookup without the tool", false, false, true, false, false,
       "msgbox Systema info not available", true},
      {"no lookup succeeds", false, false, false, false, false, "msgbox Systema info not available",
       true},
      {"first value of zero bytes", false, true, true, true, false,
       "msgbox Systema info not available", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeServices s;
    if (row.first) s.keys[kFirstKey]["PATH"] = FakeServices::text("C:\\tools\\msinfo.exe");
    if (row.first_empty) s.keys[kFirstKey]["PATH"] = FakeServices::Value{about::kRegString, {}};
    if (row.second) s.keys[kSecondKey]["MSINFO"] = FakeServices::text("C:\\shared");
    if (row.tool_in_folder) s.files.push_back("C:\\shared\\MSINFO32.EXE");
    s.startable.push_back("C:\\shared\\MSINFO32.EXE");
    if (row.first_startable) s.startable.push_back("C:\\tools\\msinfo.exe");
    about::StartSysInfo(s);
    ASSERT_FALSE(s.log.empty());
    EXPECT_EQ(s.log.back(), row.last);
    bool second = false;
    bool tested_first_path = false;
    for (const auto& call : s.log) {
      if (call == std::string("open ") + kSecondKey) second = true;
      if (call == "exists C:\\tools\\msinfo.exe") tested_first_path = true;
    }
    EXPECT_EQ(second, row.second_looked_up);
    EXPECT_FALSE(tested_first_path);  // the first path is started untested
    EXPECT_EQ(s.open_handles, 0);
  }
}

// A dialog that records what it was shown and presses its buttons as told.
class FakeHost : public AboutHost {
 public:
  FakeServices fake;
  std::vector<AboutTexts> shown;
  int sys_info_presses = 0;
  void show(const AboutTexts& texts, const std::function<void()>& sys_info) override {
    shown.push_back(texts);
    for (int k = 0; k < sys_info_presses; ++k) sys_info();
  }
  SysInfoServices& services() override { return fake; }
};

TEST(ShowAboutTest, ShowsTheSameTextsEveryTimeAndLeavesErrCode) {
  auto host = std::make_shared<FakeHost>();
  set_about_host(host);
  Matr m;
  DoubleArray d = DoubleArray::zeros(2, 2);
  m.mSum(d, d, DoubleArray::zeros(3, 3));
  ASSERT_EQ(m.ErrCode(), 1);
  m.mShowAbout();
  m.mShowAbout();
  ASSERT_EQ(host->shown.size(), 2u);
  EXPECT_EQ(host->shown[0].description, host->shown[1].description);
  EXPECT_EQ(host->shown[1].caption, "Info on Nodrel");
  EXPECT_EQ(m.ErrCode(), 1);
  set_about_host(nullptr);
}

TEST(ShowAboutTest, SystemInfoButtonRunsTheLookup) {
  auto host = std::make_shared<FakeHost>();
  host->sys_info_presses = 1;
  host->fake.keys[kFirstKey]["PATH"] = FakeServices::text("C:\\msinfo.exe");
  host->fake.startable.push_back("C:\\msinfo.exe");
  set_about_host(host);
  Matr m;
  m.mShowAbout();
  ASSERT_FALSE(host->fake.log.empty());
  EXPECT_EQ(host->fake.log.back(), "start C:\\msinfo.exe");
  set_about_host(nullptr);
}

}  // namespace
}  // namespace nodrel
