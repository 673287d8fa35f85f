// The About box on a terminal, the default host on POSIX systems: the texts
// and an OK prompt on a pseudo-terminal, and no wait without a terminal.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "nodrel/about.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {
namespace {

// Without a display the About box goes to the terminal: the same texts, and
// an OK prompt that waits for Enter.
TEST(ShowAboutTest, OnATerminalWaitsForEnter) {
  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    set_about_host(nullptr);
    Matr m;
    m.mShowAbout();
    _exit(0);
  }
  std::string screen;
  char buf[512];
  while (screen.find("press Enter") == std::string::npos) {
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;
    screen.append(buf, static_cast<std::size_t>(n));
  }
  // The child is blocked on its prompt until it reads the line end.
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, WNOHANG), 0);
  ASSERT_EQ(write(master, "\n", 1), 1);
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(master);
  const AboutTexts t = about_texts();
  for (const std::string& text :
       {t.caption, t.version, t.disclaimer,
        std::string("This version includes 34 matrix subs and functions"), std::string("[ OK ]")}) {
    SCOPED_TRACE(text);
    EXPECT_NE(screen.find(text), std::string::npos);
  }
}

TEST(ShowAboutTest, WithoutATerminalReturnsAtOnce) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setsid();  // no controlling terminal from here on
    set_about_host(nullptr);
    Matr m;
    m.mShowAbout();
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace nodrel
