// The installed nodrel program, run as a user runs it: single calls, scripts
// from a file and from standard input, the tour, errors and exit statuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream text;
  text << f.rdbuf();
  return text.str();
}

class StagedProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nodrel-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    for (const char* name : {"in", "out", "err", "script.txt"}) {
      std::remove((dir_ + "/" + name).c_str());
    }
    rmdir(dir_.c_str());
  }

  std::string write(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // Runs the installed program in a session of its own, so that it has no
  // controlling terminal, and without a display: a message box or the About
  // box then returns at once instead of waiting for a key or a click.
  Outcome run(const std::vector<std::string>& args, const std::string& input = "") {
    const std::string in = write("in", input);
    const std::string out = dir_ + "/out", err = dir_ + "/err";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "WAYLAND_DISPLAY=", 16) != 0) {
        environment.emplace_back(*e);
      }
    }
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> words = {NODREL_STAGED_PROGRAM};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    Outcome o;
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, NODREL_STAGED_PROGRAM, &files, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    EXPECT_EQ(spawned, 0) << "cannot start " << NODREL_STAGED_PROGRAM << ": "
                          << std::strerror(spawned);
    if (spawned != 0) return o;
    int wait_status = 0;
    waitpid(pid, &wait_status, 0);
    EXPECT_TRUE(WIFEXITED(wait_status)) << "the program did not exit normally";
    o.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    o.out = read_file(out);
    o.err = read_file(err);
    return o;
  }

  std::string dir_;
};

struct Case {
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
  std::string input = "";
};

// One case for each way the program ends; what each call and script shows
// is host_test.cpp's, in process.
TEST_F(StagedProgram, CallsScriptsAndExitStatuses) {
  const std::string script = "A = [[4,7],[2,6]]\nmInv A\n? mDet(A)\n? mDet([1])\n? 2\n";
  const std::string script_path = write("script.txt", script);
  const std::vector<Case> cases = {
      {{"mInv", "[[4,7],[2,6]]"},
       0,
       "mtrDest (0..2, 0..2) =\n"
       "             01           02  \n"
       "01  +6.0000E-01  -7.0000E-01  \n"
       "02  -2.0000E-01  +4.0000E-01  \n"
       "ErrCode = 0 (Nessun Errore)\n",
       ""},
      // No terminal: the About box returns at once.
      {{"mShowAbout"}, 0, "ErrCode = 0 (Nessun Errore)\n", ""},
      {{"mDet", "[1,2]"},
       1,
       "ErrCode = 0 (Nessun Errore)\n",
       "Run-time error '9': Subscript out of range\n"},
      {{"mDet", "[[1,2],[3]]"},
       2,
       "",
       "nodrel: argument 1, column 8: syntax error: this list has 1 elements, the first one of "
       "its level 2\n    [[1,2],[3]]\n           ^\n"},
      {{"-x"}, 2, "", "nodrel: unknown option '-x'\nTry 'nodrel --help' for more information.\n"},
      {{"-f", script_path},
       1,
       "0.1\n",
       script_path + ":4: Run-time error '9': Subscript out of range\n"},
      {{"--keep-going", "--file=-"},
       1,
       "0.1\n2\n",
       "<stdin>:4: Run-time error '9': Subscript out of range\n",
       script},
      {{"-f", "-"},
       2,
       "",
       "<stdin>:2:5: syntax error: unexpected a number after the statement\n    ? 2 3\n        ^\n",
       "? 1\n? 2 3\n"},
      {{"--version"}, 0, "nodrel 1.1.1\n", ""},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += a + " ";
    SCOPED_TRACE(trace);
    const Outcome o = run(c.args, c.input);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(o.status, c.status);
  }
}

// The tour's text is its script echoed (host_test.cpp); here, that the
// installed program runs it to the end.
TEST_F(StagedProgram, TheFirstCommandRunsTheTour) {
  const Outcome o = run({});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out.rfind("Nodrel, a short tour: ", 0), 0u);
  EXPECT_NE(o.out.find("\n4 Matrice Singolare\n"), std::string::npos);
  EXPECT_NE(o.out.find("\n+1.0000E+00  +3.0000E+00  \n"), std::string::npos);
  EXPECT_EQ(o.out.substr(o.out.size() - 36), "More: nodrel --help, nodrel --list.\n");
}

}  // namespace
