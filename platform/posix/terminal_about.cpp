// The About box on a terminal: the texts, then an OK prompt that waits for
// Enter. Without a controlling terminal the call returns at once, so that a
// client without a user never blocks. A terminal has no button to press, so
// the system information lookup is not offered.
#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "platform/posix/sys_info.hpp"
#include "nodrel/about.hpp"

namespace nodrel {
namespace detail {

namespace {

// Writes all of `text`, retrying on short writes.
void write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;  // the terminal went away: nothing more to show
    done += static_cast<std::size_t>(n);
  }
}

std::string without_cr(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out.push_back(c);
  }
  return out;
}

// The message box on a terminal: the text and an OK prompt that waits for
// Enter; without a terminal the text goes to standard error.
void terminal_message_box(const std::string& text) {
  const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    write_all(STDERR_FILENO, text + "\n");
    return;
  }
  write_all(fd, text + "\n[ OK ] press Enter ");
  char c = 0;
  while (::read(fd, &c, 1) == 1 && c != '\n') {
  }
  ::close(fd);
}

class TerminalAboutHost : public AboutHost {
 public:
  void show(const AboutTexts& t, const std::function<void()>&) override {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;  // no terminal: nobody to show it to
    write_all(fd, t.caption + "\n\n" + t.title + "\n" + t.version + "\n\n" +
                      without_cr(t.description) + "\n\n" + t.disclaimer + "\n\n[ " + t.ok_button +
                      " ] press Enter ");
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n') {
    }
    ::close(fd);
  }
  SysInfoServices& services() override { return services_; }

 private:
  PosixSysInfo services_{terminal_message_box};
};

}  // namespace

}  // namespace detail

std::shared_ptr<AboutHost> default_about_host() {
  return std::make_shared<detail::TerminalAboutHost>();
}
}  // namespace nodrel
