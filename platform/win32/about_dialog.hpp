// The About box on Windows: a modal dialog made from a template in memory,
// its controls placed at the twips of about_layout() converted to pixels at
// the screen's resolution.
//
// The dialog's window is of the system's dialog class ("#32770") with the
// caption about_texts().caption; its controls carry the identifiers below,
// so that GetDlgItem and GetDlgItemText reach them (an accessibility tool or
// a test does).
#ifndef NODREL_ABOUT_WIN32_ABOUT_HPP
#define NODREL_ABOUT_WIN32_ABOUT_HPP

#include <windows.h>

namespace nodrel::detail {

inline constexpr int kAboutIconId = 100;         // picIcon
inline constexpr int kAboutTitleId = 101;        // lblTitle
inline constexpr int kAboutVersionId = 102;      // lblVersion
inline constexpr int kAboutDescriptionId = 103;  // lblDescription
inline constexpr int kAboutDisclaimerId = 104;   // lblDisclaimer
inline constexpr int kAboutOkId = IDOK;          // cmdOK: default and cancel button
inline constexpr int kAboutSysInfoId = 105;      // cmdSysInfo

// Twips to pixels at `dpi` pixels per inch, rounded to the nearest.
int twips_to_pixels(int twips, int dpi) noexcept;

}  // namespace nodrel::detail

#endif  // NODREL_ABOUT_WIN32_ABOUT_HPP
