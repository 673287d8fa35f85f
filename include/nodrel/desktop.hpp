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

#include "nodrel/export.hpp"
#include "nodrel/platform.hpp"

namespace nodrel::desktop {

// True when an X display can be opened ($DISPLAY names a reachable server).
NODREL_API bool display_available();

// A platform whose About box and message box are modal dialogs, delegating
// the rest (and the dialogs, when no display can be opened) to `base`
// (system_platform() when null).
NODREL_API std::shared_ptr<Platform> platform(std::shared_ptr<Platform> base = nullptr);

// Makes the dialogs the process's: set_default_platform(platform()), for
// objects that print or show the About box after it.
NODREL_API void install();

}  // namespace nodrel::desktop

#endif  // NODREL_DESKTOP_HPP
