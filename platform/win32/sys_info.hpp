// The system information tool on Windows: two registry lookups through the
// functions of advapi32, bound by name at their first use, and a file test.
//
//   1. HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools\MSINFO, value PATH:
//      the tool's full path, taken without a test that it exists;
//   2. else ...\Shared Tools Location, value MSINFO: a folder, whose
//      \MSINFO32.EXE is the tool when it is an ordinary file.
//
// Keys are opened with KEY_READ: reading is all the lookup does, and a user
// without administrator rights is refused write rights to these keys.
#ifndef NODREL_PLATFORM_WIN32_SYS_INFO_HPP
#define NODREL_PLATFORM_WIN32_SYS_INFO_HPP

#include <windows.h>

#include <string>

namespace nodrel::detail {

struct RegistryFunctions {
  LONG(WINAPI* open)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) = nullptr;
  LONG(WINAPI* query)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) = nullptr;
  LONG(WINAPI* close)(HKEY) = nullptr;
};

// RegOpenKeyExA, RegQueryValueExA and RegCloseKey of advapi32, bound by name
// at the first call; run-time error 17 when one cannot be had.
const RegistryFunctions& bound_registry();

inline constexpr REGSAM kSysInfoKeyAccess = KEY_READ;
inline constexpr DWORD kValueBufferSize = 1024;

// Reads one value as text: a string as it stands (without its terminating
// zero), a 32-bit number in decimal; another type leaves KeyVal as it was.
// On any failure (no key, no value, more than 1024 bytes) KeyVal becomes
// empty and the result is false; a value of zero bytes has no last
// character to look at and fails with run-time error 5. The key is closed
// in every case, also after a failed open.
bool GetKeyValue(const RegistryFunctions& registry, HKEY KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// The tool's path by the two lookups above, or "" when there is none.
std::string find_sys_info_tool(const RegistryFunctions& registry);

}  // namespace nodrel::detail

#endif  // NODREL_PLATFORM_WIN32_SYS_INFO_HPP
