// The two FLTK dialogs: the About box and the message box. Both are modal:
// run() returns when the dialog has been closed. The widgets are reachable
// so that a test can read back what the dialog shows.
#ifndef NODREL_ABOUT_DESKTOP_DIALOGS_HPP
#define NODREL_ABOUT_DESKTOP_DIALOGS_HPP

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Return_Button.H>

#include <functional>
#include <memory>
#include <string>

#include "nodrel/about.hpp"

namespace nodrel::desktop::detail {

// Twips to pixels at 15 twips to a pixel, rounded to the nearest pixel.
int to_pixels(int twips);

// What closed a dialog.
enum class CloseReason { kOpen, kOkButton, kWindow };

class AboutDialog {
 public:
  AboutDialog(const AboutTexts& texts, std::function<void()> sys_info);
  ~AboutDialog();
  AboutDialog(const AboutDialog&) = delete;
  AboutDialog& operator=(const AboutDialog&) = delete;

  // Shows the dialog and returns when it is closed.
  void run();

  Fl_Double_Window& window() { return *window_; }
  Fl_Box& title() { return *title_; }
  Fl_Box& version() { return *version_; }
  Fl_Box& description() { return *description_; }
  Fl_Box& disclaimer() { return *disclaimer_; }
  Fl_Return_Button& ok() { return *ok_; }
  Fl_Button& sys_info() { return *sys_info_button_; }
  CloseReason close_reason() const { return reason_; }

 private:
  static void on_ok(Fl_Widget*, void* self);
  static void on_window(Fl_Widget*, void* self);
  static void on_sys_info(Fl_Widget*, void* self);

  std::string caption_, title_text_, version_text_, description_text_, disclaimer_text_;
  std::string ok_text_, sys_info_text_;
  std::function<void()> sys_info_;
  std::unique_ptr<Fl_Pixmap> icon_image_;
  std::unique_ptr<Fl_Double_Window> window_;
  Fl_Box* title_ = nullptr;
  Fl_Box* version_ = nullptr;
  Fl_Box* description_ = nullptr;
  Fl_Box* disclaimer_ = nullptr;
  Fl_Return_Button* ok_ = nullptr;
  Fl_Button* sys_info_button_ = nullptr;
  CloseReason reason_ = CloseReason::kOpen;
};

class MessageDialog {
 public:
  explicit MessageDialog(const std::string& text);
  ~MessageDialog();
  MessageDialog(const MessageDialog&) = delete;
  MessageDialog& operator=(const MessageDialog&) = delete;

  void run();

  Fl_Double_Window& window() { return *window_; }
  Fl_Box& message() { return *message_; }
  Fl_Return_Button& ok() { return *ok_; }
  CloseReason close_reason() const { return reason_; }

 private:
  static void on_ok(Fl_Widget*, void* self);
  static void on_window(Fl_Widget*, void* self);

  std::string text_;
  std::unique_ptr<Fl_Double_Window> window_;
  Fl_Box* message_ = nullptr;
  Fl_Return_Button* ok_ = nullptr;
  CloseReason reason_ = CloseReason::kOpen;
};

// Called with every dialog right after it is shown, before the modal wait:
// the hooks by which the tests find the dialog they drive. Null by default.
extern std::function<void(AboutDialog&)> on_about_shown;
extern std::function<void(MessageDialog&)> on_message_shown;
// Called with every dialog once it has been closed, before it is destroyed.
extern std::function<void(AboutDialog&)> on_about_closed;
extern std::function<void(MessageDialog&)> on_message_closed;

}  // namespace nodrel::desktop::detail

#endif  // NODREL_ABOUT_DESKTOP_DIALOGS_HPP
