// The installed nodrel program, run as a user runs it where the boundary
// matters: without a terminal or a display (a script from a file, a message
// box, a binary file, data from a file), and at a terminal of its own
// (the interactive mode and the terminal's dialogs, through a pseudo-
// terminal). What each call and script shows otherwise is host_test.cpp's,
// in process.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>

#include <csignal>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string contents(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

struct Case {
  std::string file;  // written into the folder before the run, if not empty
  std::string file_text;
  std::string args;  // for the shell; the folder is the working directory
  int status;
  std::string out, err;
};

// The program runs in a session of its own, so that it has no controlling
// terminal, and without a display: a message box or the About box returns at
// once instead of waiting for a key or a click.
TEST(StagedProgramTest, WithoutATerminal) {
  char pattern[] = "/tmp/nodrel-e2e-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const std::vector<Case> runs = {
      {"script.txt", "A = [[4,7],[2,6]]\nmInv A\n? mDet(A)\n? mDet([1])\n? 2\n",
       "--keep-going -f script.txt", 1, "0.1\n2\n",
       "script.txt:4: Run-time error '9': Subscript out of range\n"},
      // With no terminal the message box's text goes to standard error.
      {"", "", "-q mPrint '[1,2]' missing '\"MSGBOX\"'", 0, "MSGBOX\n",
       "\r\n+1.0000E+00  +2.0000E+00  \n"},
      {"", "", "-q mShowAbout", 0, "", ""},  // the About box shows nothing
      {"", "", "-f .", 2, "", "nodrel: .: Is a directory\n"},
      {"", "", "-f missing.txt", 2, "", "nodrel: missing.txt: No such file or directory\n"},
      {"", "", "-f '" NODREL_STAGED_PROGRAM "'", 2, "",
       "nodrel: " NODREL_STAGED_PROGRAM
       ": not a text file: line 1, column 1 holds \"\\x7FELF\\x02"},
      {"data.csv", "2; 1\n\n1 ;3\n", "-q mInv @data.csv", 0,
       "0     0     0\n0   0.6  -0.2\n0  -0.2   0.4\n", ""},
      {"bad.csv", "1,2\n3, x4\n", "mInv @bad.csv", 2, "",
       "nodrel: argument 1, bad.csv: line 2, column 4: 'x4' is not a number\n"},
      {"", "", "--csv -q mMakeMatrI [] 2", 0, "0,0,0\n0,1,0\n0,0,1\n", ""},
      {"", "", "-q mMakeVectI [] 5000", 0,
       "0  1  1  ...  1  1  1\n(5001 elements; --all shows every one)\n", ""},
  };
  for (const Case& r : runs) {
    SCOPED_TRACE(r.args);
    if (!r.file.empty()) std::ofstream(dir + "/" + r.file) << r.file_text;
    const int status = std::system(
        ("cd '" + dir +
         "' && setsid -w env -u DISPLAY -u WAYLAND_DISPLAY '" NODREL_STAGED_PROGRAM "' " + r.args +
         " >out 2>err")
            .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), r.status);
    EXPECT_EQ(contents(dir + "/out"), r.out);
    // Of a binary file, the start of the message: the bytes are the linker's.
    EXPECT_EQ(contents(dir + "/err").substr(0, r.err.size()), r.err);
  }
  std::system(("rm -r '" + dir + "'").c_str());
}

// The interactive mode: "nodrel -" at a terminal of its own, a pseudo-
// terminal whose other side the test types into and reads.
class Terminal {
 public:
  Terminal() : pid_(forkpty(&fd_, nullptr, nullptr, nullptr)) {
    if (pid_ != 0) return;
    unsetenv("DISPLAY");
    setenv("TERM", "xterm", 1);
    execl(NODREL_STAGED_PROGRAM, "nodrel", "-", static_cast<char*>(nullptr));
    _exit(127);
  }
  ~Terminal() { close(fd_); }
  void type(const std::string& keys) { EXPECT_GT(write(fd_, keys.data(), keys.size()), 0); }
  // What the terminal shows up to `marker`, waiting 10 s at most.
  std::string until(const std::string& marker, int ms = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (seen_.find(marker) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      char block[4096];
      const ssize_t n = poll(&p, 1, 100) > 0 ? read(fd_, block, sizeof block) : 0;
      if (n < 0) break;
      seen_.append(block, static_cast<std::size_t>(n));
    }
    const std::size_t at = seen_.find(marker);
    const std::size_t end = at == std::string::npos ? seen_.size() : at + marker.size();
    std::string shown = seen_.substr(0, end);
    seen_.erase(0, end);
    return shown;
  }
  // The exit status, waiting 10 s at most (then the program is killed: -1).
  int wait_exit() {
    int status = 0;
    for (int i = 0; i < 1000 && waitpid(pid_, &status, WNOHANG) == 0; ++i) poll(nullptr, 0, 10);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  int fd_ = -1;
  pid_t pid_;
  std::string seen_;
};

TEST(StagedProgramTest, AtATerminal) {
  Terminal t;
  EXPECT_NE(t.until("nodrel> ").find(":help for help"), std::string::npos);
  // A statement over two lines; variables stay from line to line.
  t.type("A = [[4, 7],\r");
  t.until("...> ");
  // Each line typed after the prompt: the line editor drops what comes before.
  for (const char* line : {"[2, 6]]\r", "mInv A\r"}) {
    t.type(line);
    t.until("nodrel> ");
  }
  t.type("? A(1, 1), UBound(A, 2)\r");
  const std::string shown = t.until("nodrel> ");
  EXPECT_NE(shown.find("0.6 2\r\n"), std::string::npos) << shown;
  // An undefined variable is an error, and the session goes on.
  t.type("? Z\r");
  EXPECT_NE(t.until("nodrel> ").find("Z is not defined"), std::string::npos);
  // The history: the arrow up brings back the line before.
  t.type("? 6, 7\r");
  EXPECT_NE(t.until("nodrel> ").find("6 7\r\n"), std::string::npos);
  t.type("\x1b[A\r");
  EXPECT_NE(t.until("nodrel> ").find("6 7\r\n"), std::string::npos);
  // The message box and the About box show on the terminal and wait for
  // Enter: the prompt comes back only after it.
  const struct {
    const char *call, *first, *last;
  } dialogs[] = {{"mPrint [1], missing, \"msgbox\", missing, \"Hi\"\r", "+1.0000E+00  ",
                  "[ OK ] Press Enter to close. "},
                 {"mShowAbout\r", "Version 1.1.1", "[ OK ] press Enter "}};
  for (const auto& d : dialogs) {
    SCOPED_TRACE(d.call);
    t.type(d.call);
    const std::string box = t.until(d.last);
    EXPECT_NE(box.find(d.first), std::string::npos) << box;
    EXPECT_NE(box.find(d.last), std::string::npos) << box;
    EXPECT_EQ(t.until("nodrel> ", 300), "");
    t.type("\r");
    EXPECT_NE(t.until("nodrel> ").find("nodrel> "), std::string::npos);
  }
  t.type(":help mDet\r");
  EXPECT_NE(t.until("nodrel> ").find("Function mDet(mtrA() As Double) As Double"),
            std::string::npos);
  // After a dialog has had the terminal, a Ctrl-D typed at once was lost
  // now and then (the line editor taking the terminal back): the session
  // ends with :quit, which is read as a line whatever the terminal's mode.
  t.type(":quit\r");
  EXPECT_EQ(t.wait_exit(), 0);
}

}  // namespace
