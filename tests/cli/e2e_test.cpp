// The installed nodrel program, run as a user runs it: the tour, and a
// script from a file that fails. What each call and script shows, and every
// other way the program ends, is host_test.cpp's, in process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string contents(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  std::remove(path.c_str());
  return text.str();
}

// Runs the installed program in a session of its own, so that it has no
// controlling terminal, and without a display: a message box or the About
// box then returns at once instead of waiting for a key or a click.
Outcome run(const std::string& dir, std::vector<std::string> words) {
  const std::string out = dir + "/out", err = dir + "/err";
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  std::vector<char*> envp, argv;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "WAYLAND_DISPLAY=", 16) != 0) {
      envp.push_back(*e);
    }
  }
  envp.push_back(nullptr);
  words.insert(words.begin(), NODREL_STAGED_PROGRAM);
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  Outcome o;
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, NODREL_STAGED_PROGRAM, &files, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  EXPECT_EQ(spawned, 0) << "cannot start " << NODREL_STAGED_PROGRAM;
  int wait_status = 0;
  if (spawned == 0 && waitpid(pid, &wait_status, 0) == pid && WIFEXITED(wait_status)) {
    o.status = WEXITSTATUS(wait_status);
  }
  o.out = contents(out);
  o.err = contents(err);
  return o;
}

TEST(StagedProgramTest, TheTourAndAFailingScript) {
  char pattern[] = "/tmp/nodrel-e2e-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern, script = dir + "/script.txt";
  std::ofstream(script) << "A = [[4,7],[2,6]]\nmInv A\n? mDet(A)\n? mDet([1])\n? 2\n";
  const Outcome failing = run(dir, {"--keep-going", "-f", script});
  EXPECT_EQ(failing.status, 1);
  EXPECT_EQ(failing.out, "0.1\n2\n");
  EXPECT_EQ(failing.err, script + ":4: Run-time error '9': Subscript out of range\n");
  std::remove(script.c_str());
  const Outcome tour = run(dir, {});
  EXPECT_EQ(tour.status, 0);
  EXPECT_EQ(tour.err, "");
  EXPECT_EQ(tour.out.rfind("Nodrel, a short tour: ", 0), 0u);
  EXPECT_NE(tour.out.find("\n4 Matrice Singolare\n"), std::string::npos);
  EXPECT_NE(tour.out.find("\n+1.0000E+00  +3.0000E+00  \n"), std::string::npos);
  EXPECT_EQ(tour.out.substr(tour.out.size() - 36), "More: nodrel --help, nodrel --list.\n");
  rmdir(pattern);
}

}  // namespace
