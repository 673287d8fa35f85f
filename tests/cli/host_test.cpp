// The host in process: single calls and scripts on one object, what is
// printed, and how failures reach standard error and the exit status (0
// when every call returned, 1 after a run-time error, 2 for bad usage or
// syntax).
#include "cli/host.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "nodrel/dispatch.hpp"

namespace nodrel::cli {
namespace {

struct Outcome {
  int status;
  std::string out, err;
};

Outcome run(std::vector<std::string> args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = run_host(args, in, out, err);
  return {status, out.str(), err.str()};
}

const std::string kOk = "ErrCode = 0 (Nessun Errore)\n";
const std::string kUsage = "Try 'nodrel --help' for more information.\n";

struct Case {
  std::string args;  // words apart by spaces; with a script: the options before "-f -"
  std::string script;
  int status;
  std::string out, err;
};

TEST(HostTest, CallsScriptsAndHowTheyEnd) {
  const std::string stop = "? 1\n? mDet([1])\n? 2\nmMakeVectNul V, -1\n? 3\n";
  const std::string error9 = "Run-time error '9': Subscript out of range\n";
  const std::vector<Case> cases = {
      {"mDet [[2,1],[1,3]]", "", 0, "mDet = 5\n" + kOk, ""},
      {"--format 0 mMakeMatrI [] 2", "", 0,
       "mtrA (0..2, 0..2) =\n    01  02  \n01  +1  +0  \n02  +0  +1  \n" + kOk, ""},
      {"mPrint [1,2,3] screen missing \"0.0\" \"v\"", "", 0, "v\n+1.0  +2.0  +3.0  \n" + kOk, ""},
      {"mPrint 1 missing \"debug\" missing missing true", "", 0,
       "Perif = \"DEBUG\"\nRowCol = False\n" + kOk, ""},
      {"mPolin [] [[1,1],[2,3],[3,5],[4,7]] 5", "", 0,
       "vetCoeff (never dimensioned)\n"
       "ErrCode = 9 (Rango k della matrice dei coefficienti superiore a n-2)\n",
       ""},
      // What the sum wrote before it failed at (1, 2) is shown.
      {"--literal mSum [[0],[0]] [[1,2],[3,4]] [[1,1],[1,1]]", "", 1,
       "mtrDest (1..2, 1..1) =\n[[2],[0]]\n" + kOk, error9},
      {"--version", "", 0, "nodrel 1.1.1\n", ""},
      {"-- -x", "", 1, "",
       "Run-time error '438': Object doesn't support this property or method\n"},
      {"--format", "", 2, "", "nodrel: option '--format' needs a value\n" + kUsage},
      {"--format x mDet [[1]]", "", 2, "",
       "nodrel: --format 'x': Run-time error '5': Invalid procedure call or argument\n"},
      {"-f a mDet", "", 2, "", "nodrel: a script and a method cannot be given together\n" + kUsage},
      // By reference: the call changes the variable; a new variable
      // receives the array the method makes; an assignment copies.
      {"--literal", "A = [[4,7],[2,6]]\nB = A\nmInv A\n? A\n? B\nmMakeVectI V, 2\n? V", 0,
       "0:[[0,0,0],[0,0.6,-0.7],[0,-0.2,0.4]]\n[[4,7],[2,6]]\n0:[0,1,1]\n", ""},
      // ErrCode stays until the next call writes it; a value that is not a
      // variable is a temporary.
      {"", "S = [[1,1],[1,1]]\nmInv S\n? ErrCode, ErrMsg(ErrCode)\nmInv [[4,7],[2,6]]\n? ErrCode",
       0, "4 Matrice Singolare\n0\n", ""},
      // One variable passed three times is one array; names ignore case.
      {"--literal", "abc = [[1,2],[3,4]]\nMSUM ABC, Abc, aBC\n? abc", 0, "[[2,4],[6,8]]\n", ""},
      // Doubles written back; a variable holding missing leaves the
      // optional argument out.
      {"--literal",
       "mGetXsOfQuadr a, b, 0, [-3,2,1]\nM = missing\n"
       "mPolin C, [[0,1],[1,3]], 2, M\n? a, b\n? C",
       0, "1 -3\n0:[0,1,2]\n", ""},
      {"", "? 1, [1,2], \"x\", True, 2.5; Empty, Null\n?", 0,
       "1\n+1.0000E+00  +2.0000E+00  \nx True 2.5 Empty Null\n\n", ""},
      {"--format=0.0", "? [1.25, -2], 0:[1.25, -2]", 0, "+1.3  -2.0  \n-2.0  \n", ""},
      // What mPrint cannot print is shown as written.
      {"", "? 2:[1, 2], [], [[[1]]], [\"a\"]\n? 0.1, -0, 1e300, -inf", 0,
       "2:[1,2]\n[]\n[[[1]]]\n[\"a\"]\n0.1 -0 1e+300 -inf\n", ""},
      {"", "x = screen\nmPrint 3, x, \"msgbox\"", 0, "\n3.0000E+00  \n", ""},
      {"", stop, 1, "1\n", "<stdin>:2: " + error9},
      {"-k", stop, 1, "1\n2\n3\n", "<stdin>:2: " + error9 + "<stdin>:4: " + error9},
      // Arguments left out at the end still count.
      {"", "mInv A, ,", 1, "",
       "<stdin>:1: Run-time error '450': Wrong number of arguments or invalid property "
       "assignment\n"},
      // Syntax errors stop everything before it runs.
      {"", "? 1\nmInv [1,\n? 2\n? 3 4\n", 2, "",
       "<stdin>:3:1: syntax error: expected a number, a text, empty, null, true or false, found "
       "'?'\n    ? 2\n    ^\n<stdin>:4:5: syntax error: unexpected a number after the "
       "statement\n    ? 3 4\n        ^\n"},
      {"", "\tfoo = = 1", 2, "",
       "<stdin>:1:8: syntax error: expected a value, found '='\n    \tfoo = = 1\n    \t      ^\n"},
      {"-e", "' hello\nA = 1\n? A\n", 0, "hello\n> A = 1\n> ? A\n1\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args + " " + c.script);
    std::vector<std::string> args;
    std::istringstream words(c.args);
    for (std::string w; words >> w;) args.push_back(w);
    if (!c.script.empty()) args.insert(args.end(), {"-f", "-"});
    const Outcome r = run(args, c.script);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }
  EXPECT_EQ(run({"-f", "/nonexistent/script"}).status, 2);
}

TEST(HostTest, HelpListingAndTour) {
  const Outcome help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.substr(0, 5), "NAME\n");
  EXPECT_NE(help.out.find("EXIT STATUS"), std::string::npos);
  const Outcome list = run({"--list"});
  std::istringstream lines(list.out);
  std::vector<std::string> declarations;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("    ", 0) != 0) declarations.push_back(line);
  }
  ASSERT_EQ(declarations.size(), methods().size());
  EXPECT_EQ(declarations[12],
            "Sub mSwapRC(mtrA() As Double, rc As String, RC1 As Long, RC2 As Long)");
  EXPECT_EQ(declarations[20],
            "Sub mPrint(ToPrint As Variant, Optional obj As Variant, Optional Perif As Variant, "
            "Optional frmt As Variant, Optional Comment As Variant, Optional RowCol As Variant, "
            "Optional Append As Variant, Optional Modal As Variant)");
  EXPECT_EQ(declarations[33], "Function mGetYPolin(x As Double, Coeff() As Double) As Double");
  EXPECT_NE(list.out.find("    Exchanges two rows (rc \"R\") or columns (\"C\"); writes mtrA\n"),
            std::string::npos);
  // The tour is its script echoed.
  const Outcome tour = run({});
  EXPECT_EQ(tour.status, 0);
  EXPECT_EQ(tour.out, run({"--echo", "-f", "-"}, std::string(tour_script())).out);
}

}  // namespace
}  // namespace nodrel::cli
