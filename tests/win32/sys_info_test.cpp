// The system information lookup against the registry of the test's Wine
// prefix, through recorders of the bound registry functions: the keys and
// the access each open asks for, every value read, and every close.
#include <windows.h>
// After windows.h: GoogleTest's headers must see its macros undisturbed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>

#include "nodrel/error.hpp"
#include "platform/win32/sys_info.hpp"

namespace nodrel::detail {
namespace {

std::string calls;  // "|"-separated, as the recorders saw them

LONG WINAPI open_key(HKEY root, LPCSTR key, DWORD options, REGSAM access, PHKEY result) {
  char mask[16];
  std::snprintf(mask, sizeof mask, "%#lx", static_cast<unsigned long>(access));
  calls += std::string("|open ") + (root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "") + key + " " + mask;
  return bound_registry().open(root, key, options, access, result);
}
LONG WINAPI query_value(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                        LPDWORD size) {
  calls += std::string("|query ") + name;
  return bound_registry().query(key, name, reserved, type, data, size);
}
LONG WINAPI close_key(HKEY key) {
  calls += key != nullptr ? "|close" : "|close 0";
  return bound_registry().close(key);
}
const RegistryFunctions kRecorded{open_key, query_value, close_key};

TEST(Win32SysInfo, KeyValuesAsText) {
  const char* const kKey = "Software\\NodrelTest";
  const struct {
    const char* what;
    DWORD type;
    std::string data;  // none: the key lacks the value
    std::string result;
  } rows[] = {
      {"string with its zero", REG_SZ, std::string("C:\\x.exe", 9), "1 C:\\x.exe"},
      {"string without a zero", REG_SZ, "abc", "1 abc"},
      {"32-bit number", REG_DWORD, std::string("\x2A\x01\0\0", 4), "1 298"},
      {"another type leaves the text", REG_BINARY, "\x01\x02", "1 before"},
      {"longer than the buffer", REG_SZ, std::string(1024, 'x') + '\0', "0 "},
      {"no value", REG_NONE, "", "0 "},
      {"a value of zero bytes is an error", REG_SZ, "", "error 5"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kKey, &created), ERROR_SUCCESS);
    RegCloseKey(created);
    if (row.type != REG_NONE) {
      ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "V", row.type, row.data.data(),
                                static_cast<DWORD>(row.data.size())),
                ERROR_SUCCESS);
    }
    calls.clear();
    std::string value = "before", got;
    try {
      got = std::to_string(GetKeyValue(kRecorded, HKEY_CURRENT_USER, kKey, "V", value)) + " " +
            value;
    } catch (const Error& e) {
      got = "error " + std::to_string(e.code());
    }
    EXPECT_EQ(got, row.result);
    // Read rights alone, and the key closed whatever happened.
    EXPECT_EQ(calls, std::string("|open ") + kKey + " 0x20019|query V|close");
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
}

TEST(Win32SysInfo, TheToolByThePathThenByTheFolder) {
  const std::string first = "HKLM\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO 0x20019";
  const std::string second = "HKLM\\SOFTWARE\\Microsoft\\Shared Tools Location 0x20019";
  char self[MAX_PATH] = "";
  const std::string here =
      std::filesystem::path(std::string(self, GetModuleFileNameA(nullptr, self, MAX_PATH)))
          .parent_path()
          .string();
  const struct {
    std::string path, folder;  // the two values; empty: not set
    std::string tool, calls;
  } rows[] = {
      {"C:\\t.exe", here + "\\tool", "C:\\t.exe", "|open " + first + "|query PATH|close"},
      {"", here + "\\tool", here + "\\tool\\MSINFO32.EXE",
       "|open " + first + "|close 0|open " + second + "|query MSINFO|close"},
      {"", here, "", "|open " + first + "|close 0|open " + second + "|query MSINFO|close"},
      {"", "", "", "|open " + first + "|close 0|open " + second + "|close 0"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.calls);
    for (const auto& [key, name, value] :
         {std::tuple{"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", row.path},
          std::tuple{"SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", row.folder}}) {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
      if (value.empty()) continue;
      RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, name, REG_SZ, value.c_str(),
                      static_cast<DWORD>(value.size() + 1));
    }
    calls.clear();
    EXPECT_EQ(find_sys_info_tool(kRecorded), row.tool);
    EXPECT_EQ(calls, row.calls);
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location");
}

}  // namespace
}  // namespace nodrel::detail
