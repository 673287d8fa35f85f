// The destructors of the platform interfaces live here, once, so that their
// type information is emitted by the library alone: a client's object is
// recognised by dynamic_cast across the library boundary. The process's
// default platform, the one hook by which a host routes the services, lives
// here too.
#include <mutex>
#include <utility>

#include "nodrel/about.hpp"
#include "nodrel/platform.hpp"

namespace nodrel {

namespace {
std::mutex default_mutex;
std::shared_ptr<Platform>& default_slot() {
  static std::shared_ptr<Platform> slot;
  return slot;
}
}  // namespace

std::shared_ptr<Platform> default_platform() {
  const std::lock_guard<std::mutex> lock(default_mutex);
  const std::shared_ptr<Platform>& chosen = default_slot();
  return chosen ? chosen : system_platform();
}

void set_default_platform(std::shared_ptr<Platform> platform) {
  const std::lock_guard<std::mutex> lock(default_mutex);
  default_slot() = std::move(platform);
}

// A platform that routes only the print destinations keeps the system's
// About box; the system platform overrides all three.
void Platform::show_about(const AboutTexts& texts, const std::function<void()>& sys_info) {
  system_platform()->show_about(texts, sys_info);
}
std::string Platform::find_sys_info_tool() { return system_platform()->find_sys_info_tool(); }
void Platform::start_program(const std::string& path) { system_platform()->start_program(path); }

Platform::~Platform() = default;
Form::~Form() = default;
PictureBox::~PictureBox() = default;
TextBox::~TextBox() = default;
Label::~Label() = default;
Printer::~Printer() = default;

}  // namespace nodrel
