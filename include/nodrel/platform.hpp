// The services of the platform: where mPrint delivers its text (the
// client's user-interface objects, a message box, the clipboard and files),
// and the About box with its system information tool.
//
// A client adapts its own widgets to the five object kinds below and passes
// them in the `obj` argument of mPrint; the kind is recognised by which of
// these interfaces the object implements, tested in the order Form,
// PictureBox, TextBox, Label, Printer (the first that matches is served).
//
// Everything else sits behind Platform. Every Matr object uses
// default_platform() unless it is given another one, which is how a host (or
// a test) routes those services elsewhere:
//
//   class Recorder : public nodrel::Platform { ... };
//   nodrel::Matr m;
//   m.set_platform(std::make_shared<Recorder>());
//   nodrel::Variant perif = "clipboard";
//   m.mPrint(a, {}, perif);  // Recorder::clipboard_* receive the text
//
// Every operation fails only through nodrel::raise() (a nodrel::Error with an
// automation error number); mPrint lets such an error end the call.
#ifndef NODREL_PLATFORM_HPP
#define NODREL_PLATFORM_HPP

#include <functional>
#include <memory>
#include <string>

#include "nodrel/export.hpp"
#include "nodrel/variant.hpp"

namespace nodrel {

struct AboutTexts;  // <nodrel/about.hpp>

// Operating-system services of the print destinations and of the About box.
class NODREL_API Platform {
 public:
  virtual ~Platform();

  // Shows `text` with an OK button alone and no title, and returns when the
  // user has closed it. Blocks the calling thread.
  virtual void message_box(const std::string& text) = 0;

  // The clipboard's plain text; empty when it holds none.
  virtual std::string clipboard_get_text() = 0;
  // Empties the clipboard.
  virtual void clipboard_clear() = 0;
  // Replaces the clipboard's plain text with `text`.
  virtual void clipboard_set_text(const std::string& text) = 0;

  // Writes `text` and then CR LF to the file `path`, at its end when `append`
  // is true (creating it when missing), or replacing its contents otherwise;
  // the file is closed before the call returns. A file that cannot be opened
  // fails with the file error of the platform (52, 53, 57, 61, 70, 75, 76)
  // and nothing is written.
  virtual void write_file(const std::string& path, const std::string& text, bool append) = 0;

  // The About box. A platform that does not override these has
  // system_platform()'s, so one that routes only the print destinations
  // still shows the system's About box.
  //
  // Shows `texts` modally and returns when the dialog is closed (OK, Enter
  // or Escape); each press of its System Info button calls `sys_info`, which
  // asks find_sys_info_tool() and start_program() of the same platform, or
  // says "Systema info not available" through message_box().
  virtual void show_about(const AboutTexts& texts, const std::function<void()>& sys_info);
  // The full path of the platform's system information tool; "" when it
  // has none.
  virtual std::string find_sys_info_tool();
  // Starts the program at `path`, its window shown normally and focused,
  // without waiting for it; a run-time error when it cannot be started.
  virtual void start_program(const std::string& path);
};

// The operating system's own services, made at first use. On POSIX systems:
//   - the message box writes the text to the controlling terminal followed by
//     an OK prompt, and waits for Enter; without a terminal it writes the
//     text to standard error and returns at once;
//   - the clipboard is the desktop's, reached through wl-copy/wl-paste when
//     $WAYLAND_DISPLAY is set, else xclip or xsel when $DISPLAY is set;
//     without a display, or without those tools, it fails with run-time
//     error 17;
//   - files are opened by the path exactly as given (names are
//     case-sensitive);
//   - the About box is written to the controlling terminal with an OK prompt
//     that waits for Enter (no terminal: the call returns at once), and the
//     system information tool is the first of hardinfo2, hardinfo,
//     kinfocenter, lshw-gtk and gnome-system-monitor found on $PATH.
// On Windows:
//   - the message box is the system's (MessageBoxA), with an empty caption,
//     modal for the calling thread's windows (over the About box while it is
//     shown);
//   - the About box is a modal dialog, and the system information tool is
//     found in two registry values, their keys opened for reading only (see
//     <nodrel/about.hpp>);
//   - the clipboard is the system's, its text as CF_TEXT; a clipboard that
//     another program keeps open fails with run-time error 17;
//   - texts, paths included, are in the ANSI code page, the encoding of the
//     core's strings on Windows, and are written as they are.
NODREL_API std::shared_ptr<Platform> system_platform();

// The platform of the process, shared by every Matr object that was not
// given another: system_platform() unless set_default_platform() chose
// another (nodrel::desktop::install() chooses the desktop's dialogs). An
// object takes it at its first print or About box, so set it before;
// nullptr returns to system_platform().
NODREL_API std::shared_ptr<Platform> default_platform();
NODREL_API void set_default_platform(std::shared_ptr<Platform> platform);

// The five kinds of user-interface object. Their members carry the names by
// which an automation client knows them; Text and Caption are properties,
// hence the get_/put_ pairs.

// A form: a surface that can be cleared and printed on.
class NODREL_API Form : public Object {
 public:
  ~Form() override;
  // Clears what is drawn on the surface.
  virtual void Cls() = 0;
  // Writes `text` at the current position and ends the line.
  virtual void Print(const std::string& text) = 0;
};

// A picture box: the same members as a form.
class NODREL_API PictureBox : public Object {
 public:
  ~PictureBox() override;
  virtual void Cls() = 0;
  virtual void Print(const std::string& text) = 0;
};

// A text box: its whole text, read and written.
class NODREL_API TextBox : public Object {
 public:
  ~TextBox() override;
  virtual std::string get_Text() = 0;
  virtual void put_Text(const std::string& text) = 0;
};

// A label: its whole caption, read and written.
class NODREL_API Label : public Object {
 public:
  ~Label() override;
  virtual std::string get_Caption() = 0;
  virtual void put_Caption(const std::string& caption) = 0;
};

// A printer: printed lines and the end of the print job.
class NODREL_API Printer : public Object {
 public:
  ~Printer() override;
  // Writes `text` at the current position and ends the line.
  virtual void Print(const std::string& text) = 0;
  // Ends the print job, so that the page is sent to the printer.
  virtual void EndDoc() = 0;
};

}  // namespace nodrel

#endif  // NODREL_PLATFORM_HPP
