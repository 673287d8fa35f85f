// The About box: its texts, its layout, and the system information button.
//
// The dialog itself is the platform's (AboutHost::show); what is fixed
// here is what it shows and the order of the lookups behind its button:
//
//   about_texts().caption   -> "Info on Nodrel"
//   about_texts().version   -> "Version 1.1.1"
//   about_layout()[0]       -> picIcon at 240, 240, 540 x 540 twips
//
// The system information button looks the tool up in two registry values
// and starts it, or says "Systema info not available":
//
//   1. HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools\MSINFO, value PATH:
//      the tool's full path, started without a test that it exists;
//   2. else HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools Location,
//      value MSINFO: a folder, used when <folder>\MSINFO32.EXE is a file.
#ifndef NODREL_ABOUT_HPP
#define NODREL_ABOUT_HPP

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "nodrel/export.hpp"

namespace nodrel {

// The texts the dialog shows, composed as the form loads.
struct NODREL_API AboutTexts {
  std::string caption;      // "Info on Nodrel"
  std::string title;        // "Nodrel"
  std::string version;      // "Version 1.1.1"
  std::string description;  // three paragraphs separated by CR LF CR LF
  std::string disclaimer;
  std::string ok_button;        // "OK": default and cancel button
  std::string sys_info_button;  // "&System Info...": S is the access key
};

NODREL_API AboutTexts about_texts();

// One control of the dialog, in twips (1/1440 inch): left, top, width,
// height. For the two lines of the etched separator, left/top is the first
// endpoint and width/height the second endpoint (x2, y2).
struct AboutControl {
  std::string_view name;
  std::int32_t left, top, width, height;
};

inline constexpr std::int32_t kAboutClientWidth = 5730;   // twips
inline constexpr std::int32_t kAboutClientHeight = 3555;  // twips

NODREL_API const std::array<AboutControl, 9>& about_layout();

inline constexpr const char* kSysInfoNotAvailable = "Systema info not available";

// The services the system information button needs, in the shape of the
// platform calls it makes. Status codes are those of the registry API: 0 is
// success, anything else failure.
class NODREL_API SysInfoServices {
 public:
  virtual ~SysInfoServices();
  virtual long open_key(std::uint32_t root, const std::string& key, std::uint32_t access,
                        std::uintptr_t& handle) = 0;
  // Reads value `name` into buffer[0..size); on entry size is the buffer's
  // size, on return the value's byte count.
  virtual long query_value(std::uintptr_t handle, const std::string& name, std::uint32_t& type,
                           unsigned char* buffer, std::uint32_t& size) = 0;
  virtual void close_key(std::uintptr_t handle) = 0;
  // True when an ordinary file (not hidden, not a system file) exists there.
  virtual bool file_exists(const std::string& path) = 0;
  // Starts the program with its window shown normally and focused, without
  // waiting for it; fails with a run-time error when it cannot be started.
  virtual void start_program(const std::string& path) = 0;
  // A message box with the OK button alone; returns when it is closed.
  virtual void message_box(const std::string& text) = 0;
};

namespace about {

inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002U;
inline constexpr std::uint32_t kKeyAccess = 0x2003FU;
inline constexpr std::uint32_t kRegString = 1;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kValueBufferSize = 1024;

// Reads one registry value as text: a string as it stands (without its
// terminating zero), a 32-bit number in decimal; another type leaves KeyVal
// as it was. On any failure KeyVal becomes empty and the result is false.
// The key is closed in every case.
NODREL_API bool GetKeyValue(SysInfoServices& services, std::uint32_t KeyRoot,
                            const std::string& KeyName, const std::string& SubKeyRef,
                            std::string& KeyVal);

// The button: look the tool up, start it, or show "Systema info not
// available". Never fails: every error leads to the message box.
NODREL_API void StartSysInfo(SysInfoServices& services);

}  // namespace about

// What shows the dialog: the platform's toolkit, or the terminal. show()
// displays the texts modally and returns when the dialog is closed (OK,
// Enter or Escape); each press of the system information button calls
// `sys_info`, which runs about::StartSysInfo on services().
class NODREL_API AboutHost {
 public:
  virtual ~AboutHost();
  virtual void show(const AboutTexts& texts, const std::function<void()>& sys_info) = 0;
  virtual SysInfoServices& services() = 0;
};

// The host of the process. By default, on POSIX systems, the texts go to the
// controlling terminal, followed by an OK prompt that waits for Enter; with
// no terminal the call returns at once. On Windows it is a modal dialog
// whose button looks the tool up in the registry. Setting nullptr returns to
// the default.
NODREL_API void set_about_host(std::shared_ptr<AboutHost> host);
NODREL_API AboutHost& about_host();

// The platform's default host (the terminal or the dialog above); a new
// object at each call.
NODREL_API std::shared_ptr<AboutHost> default_about_host();

}  // namespace nodrel

#endif  // NODREL_ABOUT_HPP
