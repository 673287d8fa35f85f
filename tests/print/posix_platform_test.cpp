// The default POSIX platform for real: files on disk, the message box on a
// pseudo-terminal and without one, and the clipboard's refusals when there is
// no display or no tool. The clipboard itself is exercised under a virtual X
// display by clipboard_x11_test.cpp.
#include <fcntl.h>
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
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "nodrel/matr.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

namespace fs = std::filesystem;

const std::string kTextA = "A\r\n+1.0000E+00  ";
const std::string kTextB = "B\r\n+1.0000E+00  ";

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "nodrel-print-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(path_)) names.insert(e.path().filename().string());
    return names;
  }

 private:
  fs::path path_;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void print_vector(Matr& m, const char* comment, const std::string& perif,
                  Variant append = Variant::missing()) {
  m.mPrint(Variant(DoubleArray::vector({1})), {}, Variant(perif), {}, Variant(comment), {}, append);
}

class PosixFileTest : public testing::Test {
 protected:
  PosixFileTest() { m_.set_locale(Locale::c()); }
  Matr m_;  // with the default platform
  TempDir dir_;
};

TEST_F(PosixFileTest, AppendAddsTextAndLineEndReplaceStartsOver) {
  const std::string path = (dir_.path() / "out.txt").string();
  print_vector(m_, "A", path);
  print_vector(m_, "B", path, Variant(true));
  EXPECT_EQ(read_file(path), kTextA + "\r\n" + kTextB + "\r\n");
  print_vector(m_, "B", path, Variant(false));
  EXPECT_EQ(read_file(path), kTextB + "\r\n");
}

TEST_F(PosixFileTest, OpensThePathAsTheCallerWroteIt) {
  const std::string path = (dir_.path() / "Mixed.Txt").string();
  Variant perif = Variant(path);
  m_.mPrint(Variant(DoubleArray::vector({1})), {}, perif, {}, Variant("A"));
  EXPECT_EQ(dir_.entries(), std::set<std::string>{"Mixed.Txt"});
  EXPECT_EQ(read_file(path), kTextA + "\r\n");
  // The caller's variable still receives the keyword form.
  std::string upper = path;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(*perif.string(), upper);
}

TEST_F(PosixFileTest, FilesThatCannotBeOpenedFailAndNothingIsWritten) {
  { std::ofstream(dir_.path() / "plain"); }
  struct Row {
    const char* name;
    std::string path;
    int number;
  };
  const std::vector<Row> rows = {
      {"missing directory", (dir_.path() / "missing" / "x.txt").string(), 76},
      {"a file used as a directory", (dir_.path() / "plain" / "x.txt").string(), 76},
      {"empty name", "", 75},
      {"a directory", dir_.path().string(), 75},
      {"a NUL in the name", (dir_.path() / "x").string() + std::string(1, '\0') + "y", 52},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_RUNTIME_ERROR(print_vector(m_, "A", row.path), row.number);
    EXPECT_EQ(dir_.entries(), std::set<std::string>{"plain"});
    EXPECT_EQ(fs::file_size(dir_.path() / "plain"), 0u);
  }
}

// Reads from `fd` until `marker` has arrived, the other side is gone, or the
// guard time has passed (which only a hung child could take).
std::string read_until(int fd, const std::string& marker,
                       std::chrono::milliseconds guard = std::chrono::seconds(20)) {
  std::string out;
  const auto deadline = std::chrono::steady_clock::now() + guard;
  while (out.find(marker) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[512];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;  // EIO once the child has closed the terminal
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

// Exit status of a child, killing it if it has not ended (it is ours).
int finish_child(pid_t pid) {
  int status = 0;
  for (int k = 0; k < 200; ++k) {
    if (::waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ::usleep(50'000);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -2;
}

// In a child: prints the vector (1) with comment "Hi" to the message box and
// reports through its exit status.
[[noreturn]] void child_shows_message_box(const char* after) {
  try {
    Matr m;
    m.set_locale(Locale::c());
    m.mPrint(Variant(DoubleArray::vector({1})), {}, Variant("msgbox"), {}, Variant("Hi"));
    if (after != nullptr && ::write(STDOUT_FILENO, after, std::strlen(after)) < 0) ::_exit(4);
    ::_exit(0);
  } catch (...) {
    ::_exit(3);
  }
}

TEST(PosixMessageBoxTest, ShowsTheTextOnTheTerminalAndWaitsForEnter) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // Raw output and no echo, so that the bytes read are the bytes written.
    termios t{};
    ::tcgetattr(STDIN_FILENO, &t);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &t);
    child_shows_message_box("<returned>");
  }
  const std::string prompt = "[ OK ] Press Enter to close. ";
  EXPECT_EQ(read_until(master, prompt), "Hi\r\n+1.0000E+00  \r\n" + prompt);
  // Still waiting. A slow child could only make this pass wrongly, never fail.
  EXPECT_EQ(read_until(master, "<returned>", std::chrono::milliseconds(300)), "");
  ASSERT_EQ(::write(master, "\r", 1), 1);
  EXPECT_EQ(read_until(master, "<returned>"), "<returned>");
  EXPECT_EQ(finish_child(pid), 0);
  ::close(master);
}

TEST(PosixMessageBoxTest, WithoutATerminalWritesToStandardErrorAndReturns) {
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::setsid();  // leaves the controlling terminal behind
    ::dup2(pipe_fds[1], STDERR_FILENO);
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    child_shows_message_box(nullptr);
  }
  ::close(pipe_fds[1]);
  EXPECT_EQ(read_until(pipe_fds[0], "  \n"), "Hi\r\n+1.0000E+00  \n");
  EXPECT_EQ(finish_child(pid), 0);
  ::close(pipe_fds[0]);
}

// Sets or removes environment variables for one test, and restores them.
class ScopedEnv {
 public:
  void set(const char* name, const char* value) {
    if (saved_.find(name) == saved_.end()) {
      const char* old = std::getenv(name);
      saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

std::string clipboard_failure(Variant append) {
  Matr m;
  try {
    m.mPrint(Variant(1), {}, Variant("Clipboard"), {}, {}, {}, append);
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), 17);
    return e.description();
  }
  ADD_FAILURE() << "the clipboard did not fail";
  return {};
}

TEST(PosixClipboardTest, WithoutADisplayFailsWithError17) {
  ScopedEnv env;
  env.set("DISPLAY", nullptr);
  env.set("WAYLAND_DISPLAY", "");
  for (Variant append : {Variant(true), Variant(false)}) {
    EXPECT_NE(clipboard_failure(append).find("no display"), std::string::npos);
  }
}

TEST(PosixClipboardTest, WithoutToolsFailsWithError17) {
  TempDir empty;
  ScopedEnv env;
  env.set("DISPLAY", ":99");
  env.set("WAYLAND_DISPLAY", "wayland-9");
  env.set("PATH", empty.path().c_str());
  for (Variant append : {Variant(true), Variant(false)}) {
    EXPECT_NE(clipboard_failure(append).find("xclip"), std::string::npos);
  }
}

}  // namespace
}  // namespace nodrel
