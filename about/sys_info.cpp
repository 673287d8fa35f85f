// The system information button: two registry lookups, a file test, and a
// message box when the tool cannot be found or started.
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "nodrel/about.hpp"
#include "nodrel/error.hpp"

namespace nodrel {

SysInfoServices::~SysInfoServices() = default;

namespace about {

bool GetKeyValue(SysInfoServices& services, std::uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
  std::uintptr_t key = 0;
  bool ok = false;
  if (services.open_key(KeyRoot, KeyName, kKeyAccess, key) == 0) {
    std::vector<unsigned char> buffer(kValueBufferSize, 0);
    std::uint32_t size = kValueBufferSize;
    std::uint32_t type = 0;
    // A value longer than the buffer fails the query and so the lookup.
    if (services.query_value(key, SubKeyRef, type, buffer.data(), size) == 0 &&
        size <= kValueBufferSize) {
      // A value of zero bytes has no last character to look at: an error,
      // which sends the button straight to its message box. The key is
      // closed first, so that the error leaks no handle.
      if (size == 0) {
        services.close_key(key);
        raise(ErrorNumber::kInvalidProcedureCall);
      }
      {
        // A string usually carries its terminating zero in its byte count.
        const std::size_t n = buffer[size - 1] == 0 ? size - 1 : size;
        const std::string text(reinterpret_cast<const char*>(buffer.data()), n);
        if (type == kRegString) {
          KeyVal = text;
        } else if (type == kRegDword) {
          std::uint32_t number = 0;
          for (std::size_t k = 0; k < 4 && k < size; ++k) {
            number |= static_cast<std::uint32_t>(buffer[k]) << (8 * k);  // little-endian
          }
          KeyVal = std::to_string(number);
        }
        ok = true;
      }
    }
  }
  if (!ok) KeyVal.clear();
  // Closed on every path, also after a failed open (the handle is then 0).
  services.close_key(key);
  return ok;
}

void StartSysInfo(SysInfoServices& services) {
  try {
    std::string path;
    if (!GetKeyValue(services, kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO",
                     "PATH", path)) {
      std::string folder;
      if (!GetKeyValue(services, kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools Location",
                       "MSINFO", folder)) {
        services.message_box(kSysInfoNotAvailable);
        return;
      }
      path = folder + "\\MSINFO32.EXE";
      if (!services.file_exists(path)) {
        services.message_box(kSysInfoNotAvailable);
        return;
      }
    }
    // The path from the first lookup is started without a test that it
    // exists; a failure to start leads to the message box all the same.
    services.start_program(path);
  } catch (const std::exception&) {
    // Any failure of the lookup or of the start ends here, by design: the
    // user is told that the tool is not available.
    services.message_box(kSysInfoNotAvailable);
  }
}

}  // namespace about
}  // namespace nodrel
