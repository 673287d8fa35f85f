// What the About box shows, composed in the order the form loads it.
#include <string>

#include "nodrel/about.hpp"
#include "nodrel/version.hpp"

namespace nodrel {

AboutTexts about_texts() {
  AboutTexts t;
  t.caption = std::string("Info on ") + kTitle;
  t.version = "Version " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
              "." + std::to_string(kVersionRevision);
  t.title = kTitle;
  // The first assignment replaces the text and the next two append to it,
  // so showing the box twice never doubles the description.
  t.description = "An automation library of matrix functions.\r\n\r\n";
  t.description += "By the Nodrel developers <nodrel@example.org>.\r\n\r\n";
  t.description += "This version includes 34 matrix subs and functions";
  t.disclaimer =
      "This software is free for any use. You use it at your own risk. Its authors take no "
      "responsibility for any damage that its use may cause.";
  t.ok_button = "OK";
  t.sys_info_button = "&System Info...";
  return t;
}

const std::array<AboutControl, 9>& about_layout() {
  static const std::array<AboutControl, 9> kLayout = {{
      {"picIcon", 240, 240, 540, 540},
      {"lblTitle", 1050, 240, 3885, 480},
      {"lblVersion", 1050, 780, 3885, 225},
      {"lblDescription", 1050, 1125, 3885, 1170},
      {"Line1(1)", 90, 2445, 5654, 2445},   // grey, RGB 128, 128, 128
      {"Line1(0)", 105, 2460, 5654, 2460},  // white
      {"lblDisclaimer", 255, 2625, 3870, 825},
      {"cmdOK", 4245, 2625, 1260, 345},
      {"cmdSysInfo", 4260, 3075, 1245, 345},
  }};
  return kLayout;
}

}  // namespace nodrel
