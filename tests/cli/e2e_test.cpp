// The installed nodrel program, run once as a user runs it: a script from a
// file that fails, carried on past its error. What each call and script
// shows, the tour, and every other way the program ends are host_test.cpp's,
// in process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string contents(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// The program runs in a session of its own, so that it has no controlling
// terminal, and without a display: a message box or the About box would
// return at once instead of waiting for a key or a click.
TEST(StagedProgramTest, AFailingScript) {
  char pattern[] = "/tmp/nodrel-e2e-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern, script = dir + "/script.txt";
  std::ofstream(script) << "A = [[4,7],[2,6]]\nmInv A\n? mDet(A)\n? mDet([1])\n? 2\n";
  const int status = std::system(
      ("setsid -w env -u DISPLAY -u WAYLAND_DISPLAY '" NODREL_STAGED_PROGRAM "' --keep-going -f '" +
       script + "' </dev/null >'" + dir + "/out' 2>'" + dir + "/err'")
          .c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(contents(dir + "/out"), "0.1\n2\n");
  EXPECT_EQ(contents(dir + "/err"), script + ":4: Run-time error '9': Subscript out of range\n");
  for (const char* name : {"/script.txt", "/out", "/err"}) std::remove((dir + name).c_str());
  rmdir(pattern);
}

}  // namespace
