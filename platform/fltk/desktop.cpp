// The desktop hosts: dialogs when a display can be opened, the terminal
// otherwise. FLTK ends the process when it cannot open its display, so the
// connection is opened with Xlib and handed to FLTK, never left to it.
#include "nodrel/desktop.hpp"

#include <FL/x.H>
#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <utility>

#include "platform/fltk/dialogs.hpp"
#include "platform/posix/sys_info.hpp"

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

void show_message(const std::string& text, Platform* fallback) {
  if (!open_display()) {
    if (fallback != nullptr) fallback->message_box(text);
    return;
  }
  detail::MessageDialog dialog(text);
  dialog.run();
}

class DialogAboutHost : public AboutHost {
 public:
  DialogAboutHost()
      : terminal_(default_about_host()),
        services_([](const std::string& text) { show_message(text, system_platform().get()); }) {}

  void show(const AboutTexts& texts, const std::function<void()>& sys_info) override {
    if (!open_display()) {
      terminal_->show(texts, sys_info);
      return;
    }
    detail::AboutDialog dialog(texts, sys_info);
    dialog.run();
  }
  SysInfoServices& services() override { return services_; }

 private:
  std::shared_ptr<AboutHost> terminal_;
  nodrel::detail::PosixSysInfo services_;
};

class DesktopPlatform : public Platform {
 public:
  explicit DesktopPlatform(std::shared_ptr<Platform> base) : base_(std::move(base)) {}
  void message_box(const std::string& text) override { show_message(text, base_.get()); }
  std::string clipboard_get_text() override { return base_->clipboard_get_text(); }
  void clipboard_clear() override { base_->clipboard_clear(); }
  void clipboard_set_text(const std::string& text) override { base_->clipboard_set_text(text); }
  void write_file(const std::string& path, const std::string& text, bool append) override {
    base_->write_file(path, text, append);
  }

 private:
  std::shared_ptr<Platform> base_;
};

}  // namespace

std::shared_ptr<AboutHost> about_host() { return std::make_shared<DialogAboutHost>(); }

void install() {
  set_about_host(about_host());
  set_default_platform(platform());
}

std::shared_ptr<Platform> platform(std::shared_ptr<Platform> base) {
  return std::make_shared<DesktopPlatform>(base ? std::move(base) : system_platform());
}

}  // namespace nodrel::desktop
