// mShowAbout: the About box, shown modally by the object's platform, and
// its System Info button.
#include <exception>
#include <string>

#include "nodrel/about.hpp"
#include "nodrel/matr.hpp"
#include "nodrel/platform.hpp"

namespace nodrel {

namespace {

// The button: the platform's tool is started, or the user is told that
// there is none. Never fails: every error leads to the message box.
void start_sys_info(Platform& platform) {
  try {
    const std::string tool = platform.find_sys_info_tool();
    if (tool.empty()) {
      platform.message_box(kSysInfoNotAvailable);
      return;
    }
    platform.start_program(tool);
  } catch (const std::exception&) {
    // Any failure of the lookup or of the start ends here, by design: the
    // user is told that the tool is not available.
    platform.message_box(kSysInfoNotAvailable);
  }
}

}  // namespace

void Matr::mShowAbout() {
  // The texts are composed afresh at every show, as the form loads each time.
  Platform& shown_by = platform();
  shown_by.show_about(about_texts(), [&shown_by] { start_sys_info(shown_by); });
}

}  // namespace nodrel
