// The default POSIX platform for real: files on disk, and the message box
// and the About box on a pseudo-terminal and without one. The clipboard on a real display is
// clipboard_x11_test.cpp's; the refusals of files and of a clipboard without
// a display or a tool are hardening/destination_faults_test.cpp's.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "nodrel/about.hpp"
#include "nodrel/matr.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

namespace fs = std::filesystem;

TEST(PosixPlatformTest, FilesAppendWithALineEndOrStartOverAtThePathAsWritten) {
  std::string pattern = (fs::temp_directory_path() / "nodrel-print-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path path = fs::path(pattern) / "Mixed.Txt";
  Matr m;
  m.set_locale(Locale::c());
  const auto print = [&](const char* comment, Variant append) {
    Variant perif = path.string();
    m.mPrint(Variant(DoubleArray::vector({1})), {}, perif, {}, Variant(comment), {}, append);
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str() + " " + *perif.string();
  };
  std::string upper = path.string();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  print("A", Variant::missing());
  // The caller's variable gets the keyword form; the file keeps its name.
  EXPECT_EQ(print("B", true), "A\r\n+1.0000E+00  \r\nB\r\n+1.0000E+00  \r\n " + upper);
  EXPECT_EQ(print("B", false), "B\r\n+1.0000E+00  \r\n " + upper);
  EXPECT_EQ(std::distance(fs::directory_iterator(pattern), fs::directory_iterator()), 1);
  fs::remove_all(pattern);
}

// Reads until `marker` has arrived, the other side is gone, or the guard time
// has passed (which only a hung child could take).
std::string read_until(int fd, const std::string& marker, int guard_ms = 20000) {
  std::string out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(guard_ms);
  while (out.find(marker) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    pollfd p{fd, POLLIN, 0};
    char buf[512];
    if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;  // EIO once the child has closed the terminal
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

// The exit status of our child, killed if it has not ended within the guard.
int finish_child(pid_t pid) {
  int status = 0;
  for (int k = 0; k < 400 && ::waitpid(pid, &status, WNOHANG) == 0; ++k) ::usleep(50'000);
  if (::waitpid(pid, &status, WNOHANG) == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void print_to_message_box() {
  Matr m;
  m.set_locale(Locale::c());
  m.mPrint(Variant(DoubleArray::vector({1})), {}, Variant("msgbox"), {}, Variant("Hi"));
}
void show_about() { Matr().mShowAbout(); }

// In a child: `call`, then "<returned>" on standard output; the exit status
// tells how it went.
[[noreturn]] void in_child(void (*call)()) {
  try {
    call();
    ::_exit(::write(STDOUT_FILENO, "<returned>", 10) == 10 ? 0 : 4);
  } catch (...) {
    ::_exit(3);
  }
}

// On a terminal, the text and an OK prompt that waits for Enter; without
// one, the message box writes to standard error and the About box nothing,
// and both return at once.
TEST(PosixPlatformTest, TerminalDialogsWaitForEnter) {
  const AboutTexts t = about_texts();
  std::string description = t.description;
  std::erase(description, '\r');
  const struct {
    void (*call)();
    bool terminal;
    std::string shown;
  } rows[] = {
      {print_to_message_box, true, "Hi\r\n+1.0000E+00  \r\n[ OK ] Press Enter to close. "},
      {show_about, true,
       "Info on Nodrel\n\nNodrel\nVersion 1.1.1\n\n" + description + "\n\n" + t.disclaimer +
           "\n\n[ OK ] press Enter "},
      {print_to_message_box, false, "Hi\r\n+1.0000E+00  \n"},
      {show_about, false, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.shown);
    int fd = -1;
    pid_t pid = -1;
    if (row.terminal) {
      pid = ::forkpty(&fd, nullptr, nullptr, nullptr);
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        termios raw{};  // raw output, no echo: the bytes read are the bytes written
        ::tcgetattr(STDIN_FILENO, &raw);
        raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        raw.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        in_child(row.call);
      }
      EXPECT_EQ(read_until(fd, row.shown), row.shown);
      // Still waiting. A slow child could only make this pass wrongly, never fail.
      EXPECT_EQ(read_until(fd, "<returned>", 300), "");
      ASSERT_EQ(::write(fd, "\n", 1), 1);
      EXPECT_EQ(read_until(fd, "<returned>"), "<returned>");
    } else {
      int fds[2];
      ASSERT_EQ(::pipe(fds), 0);
      pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        ::setsid();  // leaves the controlling terminal behind
        ::dup2(fds[1], STDERR_FILENO);
        ::dup2(fds[1], STDOUT_FILENO);
        in_child(row.call);
      }
      ::close(fds[1]);
      fd = fds[0];
      EXPECT_EQ(read_until(fd, "<returned>"), row.shown + "<returned>");
    }
    EXPECT_EQ(finish_child(pid), 0);
    ::close(fd);
  }
}

}  // namespace
}  // namespace nodrel
