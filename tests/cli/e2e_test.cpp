// The installed nodrel program, run as a user runs it where the boundary
// matters: without a terminal or a display (a script from a file, a message
// box, data from a file), and at a terminal of its own (the interactive mode
// and the terminal's dialogs, through a pseudo-terminal). What each call and
// script shows otherwise is host_test.cpp's, in process.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The program runs in a session of its own, so that it has no controlling
// terminal, and without a display: a message box or the About box returns at
// once instead of waiting for a key or a click.
TEST(StagedProgramTest, WithoutATerminal) {
  char pattern[] = "/tmp/nodrel-e2e-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const struct {
    std::string file, text;  // written into the folder before the run, if named
    std::string args;        // for the shell; the folder is the working directory
    int status;
    std::string out, err;
  } runs[] = {
      // clang-format off
      {"script.txt", "A = [[4,7],[2,6]]\nmInv A\n? mDet(A)\n? mDet([1])\n? 2\n", "--keep-going -f script.txt", 1, "0.1\n2\n", "script.txt:4: Run-time error '9': Subscript out of range\n"},
      // With no terminal the message box's text goes to standard error.
      {"", "", "-q mPrint '[1,2]' missing '\"MSGBOX\"'", 0, "MSGBOX\n", "\r\n+1.0000E+00  +2.0000E+00  \n"},
      {"", "", "-q mShowAbout", 0, "", ""},  // the About box shows nothing
      {"", "", "-f .", 2, "", "nodrel: .: Is a directory\n"},
      {"data.csv", "2; 1\n\n1 ;3\n", "-q mInv @data.csv", 0, "0     0     0\n0   0.6  -0.2\n0  -0.2   0.4\n", ""},
      {"bad.csv", "1,2\n3, x4\n", "mInv @bad.csv", 2, "", "nodrel: argument 1, bad.csv: line 2, column 4: 'x4' is not a number\n"},
      // clang-format on
  };
  for (const auto& r : runs) {
    SCOPED_TRACE(r.args);
    if (!r.file.empty()) std::ofstream(dir + "/" + r.file) << r.text;
    const std::string command = "cd '" + dir + "' && setsid -w env -u DISPLAY " +
                                "-u WAYLAND_DISPLAY '" NODREL_STAGED_PROGRAM "' " + r.args +
                                " >out 2>err";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), r.status);
    EXPECT_EQ(contents(dir + "/out"), r.out);
    EXPECT_EQ(contents(dir + "/err"), r.err);
  }
  std::system(("rm -r '" + dir + "'").c_str());
}

// The interactive mode: "nodrel -" at a terminal of its own, a pseudo-
// terminal whose other side the test types into and reads.
TEST(StagedProgramTest, AtATerminal) {
  int fd = -1;
  const pid_t pid = forkpty(&fd, nullptr, nullptr, nullptr);
  if (pid == 0) {
    unsetenv("DISPLAY");
    setenv("TERM", "xterm", 1);
    execl(NODREL_STAGED_PROGRAM, "nodrel", "-", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string seen;
  // Types `keys`, then returns what the terminal shows up to `marker`,
  // waiting `ms` at most.
  const auto type = [&](const std::string& keys, const std::string& marker, int ms = 10000) {
    EXPECT_EQ(write(fd, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (seen.find(marker) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      char block[4096];
      const ssize_t n = poll(&p, 1, 100) > 0 ? read(fd, block, sizeof block) : 0;
      if (n < 0) break;
      seen.append(block, static_cast<std::size_t>(n));
    }
    const std::size_t at = seen.find(marker);
    const std::size_t end = at == std::string::npos ? seen.size() : at + marker.size();
    const std::string shown = seen.substr(0, end);
    seen.erase(0, end);
    return shown;
  };
  EXPECT_NE(type("", "nodrel> ").find(":help for help"), std::string::npos);
  // A statement over two lines; variables stay from line to line. Each line
  // is typed after the prompt: the line editor drops what comes before.
  type("A = [[4, 7],\r", "...> ");
  type("[2, 6]]\r", "nodrel> ");
  type("mInv A\r", "nodrel> ");
  EXPECT_NE(type("? A(1, 1), UBound(A, 2)\r", "nodrel> ").find("0.6 2\r\n"), std::string::npos);
  // The arrow up brings back the line before.
  EXPECT_NE(type("\x1b[A\r", "nodrel> ").find("0.6 2\r\n"), std::string::npos);
  // The message box and the About box show on the terminal and wait for
  // Enter: the prompt comes back only after it.
  const struct {
    const char *call, *first, *last;
  } dialogs[] = {{"mPrint [1], missing, \"msgbox\", missing, \"Hi\"\r", "+1.0000E+00  ",
                  "[ OK ] Press Enter to close. "},
                 {"mShowAbout\r", "Version 1.1.1", "[ OK ] press Enter "}};
  for (const auto& d : dialogs) {
    SCOPED_TRACE(d.call);
    const std::string box = type(d.call, d.last);
    EXPECT_TRUE(box.find(d.first) != std::string::npos && box.ends_with(d.last)) << box;
    EXPECT_EQ(type("", "nodrel> ", 300), "");
    EXPECT_TRUE(type("\r", "nodrel> ").ends_with("nodrel> "));
  }
  // After a dialog has had the terminal, a Ctrl-D typed at once was lost
  // now and then (the line editor taking the terminal back): the session
  // ends with :quit, which is read as a line whatever the terminal's mode.
  // It must end within 10 s, or it is killed.
  type(":quit\r", "");
  int status = 0, i = 0;
  while (waitpid(pid, &status, WNOHANG) == 0 && i++ < 1000) poll(nullptr, 0, 10);
  if (i > 1000) kill(pid, SIGKILL), waitpid(pid, &status, 0);  // still running after 10 s
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  close(fd);
}

}  // namespace
