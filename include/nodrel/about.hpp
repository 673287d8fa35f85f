// The About box: its texts, its layout, and the system information button.
//
// The dialog itself is the platform's (Platform::show_about); what is fixed
// here is what it shows:
//
//   about_texts().caption   -> "Info on Nodrel"
//   about_texts().version   -> "Version 1.1.1"
//   about_layout()[0]       -> picIcon at 240, 240, 540 x 540 twips
//
// The system information button asks the platform for its tool
// (Platform::find_sys_info_tool) and starts it, or says "Systema info not
// available" when there is none or it cannot be started. On Windows the tool
// is found in two registry values:
//
//   1. HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools\MSINFO, value PATH:
//      the tool's full path, started without a test that it exists;
//   2. else HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools Location,
//      value MSINFO: a folder, used when <folder>\MSINFO32.EXE is a file.
#ifndef NODREL_ABOUT_HPP
#define NODREL_ABOUT_HPP

#include <array>
#include <cstdint>
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

}  // namespace nodrel

#endif  // NODREL_ABOUT_HPP
