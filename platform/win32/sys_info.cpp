#include "platform/win32/sys_info.hpp"

#include <cstdint>
#include <string>
#include <vector>

#include "nodrel/error.hpp"

namespace nodrel::detail {

namespace {

// A function of advapi32 found by its name; run-time error 17 when the
// library or the function cannot be had (the button then says that the
// tool is not available).
template <typename Fn>
Fn bind(const char* name) {
  const auto refuse = [name] {
    const ErrorNumber number = ErrorNumber::kCantPerformRequestedOperation;
    raise(number, std::string(describe(number)) + " (" + name + ": error " +
                      std::to_string(GetLastError()) + ")");
  };
  const HMODULE library = LoadLibraryA("advapi32");
  if (library == nullptr) refuse();
  // A FARPROC is a function pointer of another signature; the cast through
  // void* is how GetProcAddress is meant to be used.
  FARPROC function = GetProcAddress(library, name);
  if (function == nullptr) refuse();
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(function));
}

constexpr DWORD kRegString = REG_SZ;     // 1
constexpr DWORD kRegDword = REG_DWORD;  // 4

bool is_ordinary_file(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  constexpr DWORD kNotOrdinary =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  return (attributes & kNotOrdinary) == 0;
}

}  // namespace

const RegistryFunctions& bound_registry() {
  static const RegistryFunctions functions = [] {
    RegistryFunctions f;
    f.open = bind<decltype(f.open)>("RegOpenKeyExA");
    f.query = bind<decltype(f.query)>("RegQueryValueExA");
    f.close = bind<decltype(f.close)>("RegCloseKey");
    return f;
  }();
  return functions;
}

bool GetKeyValue(const RegistryFunctions& registry, HKEY KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
  HKEY key = nullptr;
  bool ok = false;
  if (registry.open(KeyRoot, KeyName.c_str(), 0, kSysInfoKeyAccess, &key) == ERROR_SUCCESS) {
    std::vector<unsigned char> buffer(kValueBufferSize, 0);
    DWORD size = kValueBufferSize;
    DWORD type = 0;
    // A value longer than the buffer fails the query and so the lookup.
    if (registry.query(key, SubKeyRef.c_str(), nullptr, &type, buffer.data(), &size) ==
            ERROR_SUCCESS &&
        size <= kValueBufferSize) {
      // A value of zero bytes has no last character to look at: an error,
      // which sends the button straight to its message box. The key is
      // closed first, so that the error leaks no handle.
      if (size == 0) {
        registry.close(key);
        raise(ErrorNumber::kInvalidProcedureCall);
      }
      // A string usually carries its terminating zero in its byte count.
      const std::size_t n = buffer[size - 1] == 0 ? size - 1 : size;
      if (type == kRegString) {
        KeyVal.assign(reinterpret_cast<const char*>(buffer.data()), n);
      } else if (type == kRegDword) {
        std::uint32_t number = 0;
        for (std::size_t k = 0; k < 4 && k < size; ++k) {
          number |= static_cast<std::uint32_t>(buffer[k]) << (8 * k);  // little-endian
        }
        KeyVal = std::to_string(number);
      }
      ok = true;
    }
  } else {
    key = nullptr;  // what a failed open leaves is no handle
  }
  if (!ok) KeyVal.clear();
  // Closed on every path, also after a failed open (the handle is then 0,
  // which the system refuses harmlessly).
  registry.close(key);
  return ok;
}

std::string find_sys_info_tool(const RegistryFunctions& registry) {
  std::string path;
  if (GetKeyValue(registry, HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH",
                  path)) {
    return path;
  }
  std::string folder;
  if (!GetKeyValue(registry, HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location",
                   "MSINFO", folder)) {
    return "";
  }
  path = folder + "\\MSINFO32.EXE";
  return is_ordinary_file(path) ? path : "";
}

}  // namespace nodrel::detail
