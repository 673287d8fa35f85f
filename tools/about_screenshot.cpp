// Shows the About dialog, saves a picture of it with ImageMagick's import,
// and closes it: scripts/screenshot-about.sh runs it under Xvfb to refresh
// docs/about.png.
#include <FL/Fl.H>
#include <FL/x.H>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/fltk/dialogs.hpp"
#include "nodrel/desktop.hpp"
#include "nodrel/matr.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  static std::string output = argv[1];
  static int status = 1;
  if (!nodrel::desktop::display_available()) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }
  nodrel::desktop::detail::on_about_shown = [](nodrel::desktop::detail::AboutDialog& d) {
    Fl::add_timeout(
        0.5,
        [](void* data) {
          auto* dialog = static_cast<nodrel::desktop::detail::AboutDialog*>(data);
          const std::string command =
              "import -window " + std::to_string(fl_xid(&dialog->window())) + " '" + output + "'";
          status = std::system(command.c_str());
          dialog->window().hide();
        },
        &d);
  };
  nodrel::desktop::install();
  nodrel::Matr m;
  m.mShowAbout();
  return status == 0 ? 0 : 1;
}
