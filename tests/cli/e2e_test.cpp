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
};

TEST_F(StagedProgram, SingleCalls) {
  const std::vector<Case> cases = {
      {{"mInv", "[[4,7],[2,6]]"},
       0,
       "mtrDest (0..2, 0..2) =\n"
       "             01           02  \n"
       "01  +6.0000E-01  -7.0000E-01  \n"
       "02  -2.0000E-01  +4.0000E-01  \n"
       "ErrCode = 0 (Nessun Errore)\n",
       ""},
      {{"mDet", "[[2,1],[1,3]]"}, 0, "mDet = 5\nErrCode = 0 (Nessun Errore)\n", ""},
      {{"MSWAPRC", "[[1,2],[3,4]]", "\"R\"", "1", "2"},
       0,
       "mtrA (1..2, 1..2) =\n"
       "             01           02  \n"
       "01  +3.0000E+00  +4.0000E+00  \n"
       "02  +1.0000E+00  +2.0000E+00  \n"
       "ErrCode = 0 (Nessun Errore)\n",
       ""},
      {{"--format", "0", "mMakeMatrI", "[]", "3"},
       0,
       "mtrA (0..3, 0..3) =\n    01  02  03  \n01  +1  +0  +0  \n02  +0  +1  +0  \n03  +0  +0  +1  "
       "\n"
       "ErrCode = 0 (Nessun Errore)\n",
       ""},
      {{"--literal", "mDivd", "[]", "[[1,2],[3,4]]", "[[2,0],[0,4]]"},
       0,
       "mtrDest (0..2, 0..2) =\n0:[[0,0,0],[0,0.5,1],[0,0.75,1]]\nErrCode = 0 (Nessun Errore)\n",
       ""},
      {{"mPrint", "[1,2,3]", "screen", "missing", "\"0.0\"", "\"v\""},
       0,
       "v\n+1.0  +2.0  +3.0  \nErrCode = 0 (Nessun Errore)\n",
       ""},
      {{"--literal", "mDuplVar", "[]", "[[1,\"2.5\"],[true,4]]"},
       0,
       "mtrDest (0..2, 0..2) =\n0:[[0,0,0],[0,1,2.5],[0,-1,4]]\nErrCode = 0 (Nessun Errore)\n",
       ""},
      {{"mPolin", "[]", "[[1,1],[2,3],[3,5],[4,7]]", "5"},
       0,
       "vetCoeff (never dimensioned)\nErrCode = 9 (Rango k della matrice dei coefficienti "
       "superiore a n-2)\n",
       ""},
      {{"mPrint", "1", "missing", "\"debug\"", "missing", "missing", "true"},
       0,
       "Perif = \"DEBUG\"\nRowCol = False\nErrCode = 0 (Nessun Errore)\n",
       ""},
      {{"mMatrIsVect", "[]"}, 0, "mMatrIsVect = False\nErrCode = 0 (Nessun Errore)\n", ""},
      // No terminal: the About box returns at once.
      {{"mShowAbout"}, 0, "ErrCode = 0 (Nessun Errore)\n", ""},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += a + " ";
    SCOPED_TRACE(trace);
    const Outcome o = run(c.args);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(o.status, c.status);
  }
}

TEST_F(StagedProgram, ErrorsAndExitStatuses) {
  const std::vector<Case> cases = {
      {{"mDet", "[1,2]"},
       1,
       "ErrCode = 0 (Nessun Errore)\n",
       "Run-time error '9': Subscript out of range\n"},
      {{"mDupl", "[]"},
       1,
       "mtrDest (never dimensioned)\nErrCode = 0 (Nessun Errore)\n",
       "Run-time error '449': Argument not optional\n"},
      {{"mTrace", "[[1]]", "[[1]]"},
       1,
       "ErrCode = 0 (Nessun Errore)\n",
       "Run-time error '450': Wrong number of arguments or invalid property assignment\n"},
      {{"mTrace", "\"[[1]]\""},
       1,
       "ErrCode = 0 (Nessun Errore)\n",
       "Run-time error '13': Type mismatch\n"},
      {{"SwapValues", "1", "2"},
       1,
       "",
       "Run-time error '438': Object doesn't support this property or method\n"},
      {{"mDet", "[[1,2],[3]]"},
       2,
       "",
       "nodrel: argument 1, column 8: syntax error: this list has 1 elements, the first one of "
       "its level 2\n    [[1,2],[3]]\n           ^\n"},
      {{"mSwapRC", "[[1]]", "R"},
       2,
       "",
       "nodrel: argument 2, column 1: syntax error: unknown value 'R' (text is written in double "
       "quotes)\n    R\n    ^\n"},
      // The sum fails at (1, 2): what it wrote before is shown.
      {{"--literal", "mSum", "[[0],[0]]", "[[1,2],[3,4]]", "[[1,1],[1,1]]"},
       1,
       "mtrDest (1..2, 1..1) =\n[[2],[0]]\nErrCode = 0 (Nessun Errore)\n",
       "Run-time error '9': Subscript out of range\n"},
      {{"-x"}, 2, "", "nodrel: unknown option '-x'\nTry 'nodrel --help' for more information.\n"},
      {{"--format"},
       2,
       "",
       "nodrel: option '--format' needs a value\nTry 'nodrel --help' for more information.\n"},
      {{"--format", "x", "mDet", "[[1]]"},
       2,
       "",
       "nodrel: --format 'x': Run-time error '5': Invalid procedure call or argument\n"},
      {{"-f", "a", "mDet"},
       2,
       "",
       "nodrel: a script and a method cannot be given together\nTry 'nodrel --help' for more "
       "information.\n"},
      {{"--", "-x"},
       1,
       "",
       "Run-time error '438': Object doesn't support this property or method\n"},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += a + " ";
    SCOPED_TRACE(trace);
    const Outcome o = run(c.args);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(o.status, c.status);
  }
}

TEST_F(StagedProgram, ScriptsFromAFileAndFromStandardInput) {
  const std::string script =
      "A = [[4,7],[2,6]]\n"
      "mInv A\n"
      "? mDet(A), ErrCode\n"
      "S = [[1,1],[1,1]]\n"
      "mInv S\n"
      "? ErrCode; ErrMsg(ErrCode)\n"
      "? mDet([1])\n"
      "? \"not reached\"\n";
  const std::string path = write("script.txt", script);
  const std::string printed = "0.1 0\n4 Matrice Singolare\n";
  {
    const Outcome o = run({"-f", path});
    EXPECT_EQ(o.out, printed);
    EXPECT_EQ(o.err, path + ":7: Run-time error '9': Subscript out of range\n");
    EXPECT_EQ(o.status, 1);
  }
  {
    const Outcome o = run({"--keep-going", "-f", "-"}, script);
    EXPECT_EQ(o.out, printed + "not reached\n");
    EXPECT_EQ(o.err, "<stdin>:7: Run-time error '9': Subscript out of range\n");
    EXPECT_EQ(o.status, 1);
  }
  {
    const Outcome o = run({"--file=-"}, "A = [[4,7],\n     [2,6]]\n? mTrace(A)\n");
    EXPECT_EQ(o.out, "10\n");
    EXPECT_EQ(o.status, 0);
  }
  {
    const Outcome o = run({"-f", "-"}, "? 1\n? 2 3\n");
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err,
              "<stdin>:2:5: syntax error: unexpected a number after the statement\n"
              "    ? 2 3\n        ^\n");
    EXPECT_EQ(o.status, 2);
  }
  {
    const Outcome o = run({"-f", dir_ + "/no-such-script"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
  }
}

TEST_F(StagedProgram, TheFirstCommandRunsTheTour) {
  const Outcome o = run({});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out,
            "Nodrel, a short tour: calls on one Matr object, each shown before it runs.\n"
            "\n"
            "An inverse: mInv replaces the matrix by its inverse, with lower bounds 0.\n"
            "> A = [[4, 7], [2, 6]]\n"
            "> ? mDet(A)\n"
            "10\n"
            "> mInv A\n"
            "> ? A\n"
            "             01           02  \n"
            "01  +6.0000E-01  -7.0000E-01  \n"
            "02  -2.0000E-01  +4.0000E-01  \n"
            "\n"
            "A singular matrix is left as it was; ErrCode says why.\n"
            "> S = [[1, 1], [1, 1]]\n"
            "> mInv S\n"
            "> ? ErrCode, ErrMsg(ErrCode)\n"
            "4 Matrice Singolare\n"
            "\n"
            "A linear system by Cramer's rule: 2x + y = 5, x + 3y = 10.\n"
            "> M = [[2, 1], [1, 3]]\n"
            "> B = [5, 10]\n"
            "> X = [0, 0]\n"
            "> mSist X, M, B\n"
            "> ? X\n"
            "+1.0000E+00  +3.0000E+00  \n"
            "\n"
            "A least-squares line through (1, 1), (2, 3), (3, 5), and its value at 4.\n"
            "> P = [[1, 1], [2, 3], [3, 5]]\n"
            "> mPolin C, P, 2\n"
            "> ? C\n"
            "-1.0000E+00  +2.0000E+00  \n"
            "> ? mGetYPolin(4, C)\n"
            "7\n"
            "\n"
            "Printing: mPrint composes the text; screen is this terminal.\n"
            "> mPrint A, screen, , \"0.000\", \"The inverse of [[4, 7], [2, 6]]:\"\n"
            "The inverse of [[4, 7], [2, 6]]:\n"
            "        01      02  \n"
            "01  +0.600  -0.700  \n"
            "02  -0.200  +0.400  \n"
            "\n"
            "More: nodrel --help, nodrel --list.\n");
}

TEST_F(StagedProgram, HelpVersionAndListing) {
  const Outcome help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.substr(0, 5), "NAME\n");
  EXPECT_NE(help.out.find("EXIT STATUS"), std::string::npos);
  const Outcome version = run({"--version"});
  EXPECT_EQ(version.out, "nodrel 1.1.1\n");
  const Outcome list = run({"--list"});
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out.substr(0, 23), "Sub Initialize_dMatr()\n");
}

}  // namespace
