// The destructors of the platform interfaces live here, once, so that their
// type information is emitted by the library alone: a client's object is
// recognised by dynamic_cast across the library boundary. The process's
// default platform lives here too.
#include "nodrel/platform.hpp"

#include <mutex>
#include <utility>

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

Platform::~Platform() = default;
Form::~Form() = default;
PictureBox::~PictureBox() = default;
TextBox::~TextBox() = default;
Label::~Label() = default;
Printer::~Printer() = default;

}  // namespace nodrel
