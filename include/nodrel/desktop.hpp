// The desktop on Linux: the About dialog and the message box as real
// windows (FLTK), in the library nodrel_desktop, which only clients that
// show dialogs link (Nodrel::nodrel_desktop).
//
//   nodrel::desktop::install();          // dialogs for mShowAbout and "MSGBOX"
//   nodrel::Matr m;
//   nodrel::Variant perif = "MSGBOX";
//   m.mPrint(a, {}, perif);              // a modal message box with OK
//
// Where no display can be opened, both fall back to the terminal: the About
// texts and the message are written to it, followed by an OK prompt that
// waits for Enter, or the call returns at once when there is no terminal.
#ifndef NODREL_DESKTOP_HPP
#define NODREL_DESKTOP_HPP

#include <memory>

#include "nodrel/about.hpp"
#include "nodrel/export.hpp"
#include "nodrel/platform.hpp"

namespace nodrel::desktop {

// True when an X display can be opened ($DISPLAY names a reachable server).
NODREL_API bool display_available();

// The About host that opens the dialog (or falls back to the terminal).
NODREL_API std::shared_ptr<AboutHost> about_host();

// Makes the dialogs the process's: the About host (set_about_host) and the
// default platform (set_default_platform), for objects that print after it.
NODREL_API void install();

// A platform whose message box is a modal dialog, delegating the clipboard
// and files to `base` (system_platform() when null).
NODREL_API std::shared_ptr<Platform> platform(std::shared_ptr<Platform> base = nullptr);

}  // namespace nodrel::desktop

#endif  // NODREL_DESKTOP_HPP
