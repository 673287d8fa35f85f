// The desktop platform: dialogs when a display can be opened, the terminal
// otherwise. FLTK ends the process when it cannot open its display, so the
// connection is opened with Xlib and handed to FLTK, never left to it.
#include "nodrel/desktop.hpp"

#include <FL/x.H>
#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <utility>

#include "nodrel/about.hpp"
#include "platform/fltk/dialogs.hpp"

namespace nodrel::desktop {

bool display_available() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XCloseDisplay(display);
  return true;
}

namespace {

// True when FLTK has a display connection, opening one if it can.
bool open_display() {
  if (fl_display != nullptr) return true;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  fl_open_display(display);
  return true;
}

// The About box and the message box as dialogs; everything else, and the
// dialogs themselves where no display can be opened, is the base's.
class DesktopPlatform : public Platform {
 public:
  explicit DesktopPlatform(std::shared_ptr<Platform> base) : base_(std::move(base)) {}
  void message_box(const std::string& text) override {
    if (!open_display()) return base_->message_box(text);
    detail::MessageDialog dialog(text);
    dialog.run();
  }
  std::string clipboard_get_text() override { return base_->clipboard_get_text(); }
  void clipboard_clear() override { base_->clipboard_clear(); }
  void clipboard_set_text(const std::string& text) override { base_->clipboard_set_text(text); }
  void write_file(const std::string& path, const std::string& text, bool append) override {
    base_->write_file(path, text, append);
  }
  void show_about(const AboutTexts& texts, const std::function<void()>& sys_info) override {
    if (!open_display()) return base_->show_about(texts, sys_info);
    detail::AboutDialog dialog(texts, sys_info);
    dialog.run();
  }
  std::string find_sys_info_tool() override { return base_->find_sys_info_tool(); }
  void start_program(const std::string& path) override { base_->start_program(path); }

 private:
  std::shared_ptr<Platform> base_;
};

}  // namespace

void install() { set_default_platform(platform()); }

std::shared_ptr<Platform> platform(std::shared_ptr<Platform> base) {
  return std::make_shared<DesktopPlatform>(base ? std::move(base) : system_platform());
}

}  // namespace nodrel::desktop
