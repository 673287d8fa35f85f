// The system information lookup against the registry of the test's Wine
// prefix, through recorders of the bound registry functions: the keys and
// the access each open asks for, every value read, and every close.
#include <windows.h>
// After windows.h: GoogleTest's headers must see its macros undisturbed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

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

// The tool's path as the first key's value, of any type that gives a text;
// else <folder>\MSINFO32.EXE from the second key, when that is a file. Each
// key is opened with read rights alone (KEY_READ, 0x20019) and closed
// whatever happened; a value of zero bytes is run-time error 5.
TEST(Win32SysInfo, TheToolByThePathThenByTheFolder) {
  const char* const path_key = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
  const char* const folder_key = "SOFTWARE\\Microsoft\\Shared Tools Location";
  const std::string first = std::string("|open HKLM\\") + path_key + " 0x20019",
                    second = std::string("|open HKLM\\") + folder_key + " 0x20019";
  char self[MAX_PATH] = "";
  const std::string here =
      std::filesystem::path(std::string(self, GetModuleFileNameA(nullptr, self, MAX_PATH)))
          .parent_path()
          .string();
  constexpr DWORD kNoKey = 0xFFFFFFFF;
  const std::string tool = here + "\\tool\\MSINFO32.EXE", by_folder = "|close 0" + second;
  const struct {
    DWORD type;                // of the path's value; 0: no key, REG_NONE: a key without the value
    std::string path, folder;  // the values; an empty folder: none
    std::string tool, calls;
  } rows[] = {
      {REG_SZ, std::string("C:\\t.exe", 9), here + "\\tool", "C:\\t.exe",
       first + "|query PATH|close"},  // with its zero
      {REG_SZ, "abc", "", "abc", first + "|query PATH|close"},
      {REG_DWORD, std::string("\x2A\x01\0\0", 4), "", "298", first + "|query PATH|close"},
      {REG_BINARY, "\x01\x02", here + "\\tool", "", first + "|query PATH|close"},  // no text
      {REG_SZ, "", "", "error 5", first + "|query PATH|close"},
      {REG_SZ, std::string(1024, 'x') + '\0', here + "\\tool", tool,
       first + "|query PATH|close" + second + "|query MSINFO|close"},  // longer than the buffer
      {REG_NONE, "", "", "", first + "|query PATH|close" + second + "|close 0"},
      {kNoKey, "", here + "\\tool", tool, first + by_folder + "|query MSINFO|close"},
      {kNoKey, "", here, "", first + by_folder + "|query MSINFO|close"},
      {kNoKey, "", "", "", first + by_folder + "|close 0"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.calls);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path_key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, folder_key);
    HKEY created = nullptr;
    if (row.type != kNoKey &&
        RegCreateKeyA(HKEY_LOCAL_MACHINE, path_key, &created) == ERROR_SUCCESS) {
      RegCloseKey(created);
    }
    if (row.type != kNoKey && row.type != REG_NONE) {
      RegSetKeyValueA(HKEY_LOCAL_MACHINE, path_key, "PATH", row.type, row.path.data(),
                      static_cast<DWORD>(row.path.size()));
    }
    if (!row.folder.empty()) {
      RegSetKeyValueA(HKEY_LOCAL_MACHINE, folder_key, "MSINFO", REG_SZ, row.folder.c_str(),
                      static_cast<DWORD>(row.folder.size() + 1));
    }
    calls.clear();
    std::string found;
    try {
      found = find_sys_info_tool(kRecorded);
    } catch (const Error& e) {
      found = "error " + std::to_string(e.code());
    }
    EXPECT_EQ(found, row.tool);
    EXPECT_EQ(calls, row.calls);
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path_key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, folder_key);
}

}  // namespace
}  // namespace nodrel::detail
