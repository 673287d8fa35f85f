// The host in process: scripts on one object, what is printed, and how
// failures reach standard error and the exit status.
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
  std::string out;
  std::string err;
};

Outcome run(std::vector<std::string> args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = run_host(args, in, out, err);
  return {status, out.str(), err.str()};
}

struct ScriptCase {
  std::vector<std::string> options;
  std::string script;
  int status;
  std::string out;
  std::string err;
};

void check(const std::vector<ScriptCase>& cases) {
  for (const ScriptCase& c : cases) {
    SCOPED_TRACE(c.script);
    std::vector<std::string> args = c.options;
    args.push_back("-f");
    args.push_back("-");
    const Outcome r = run(args, c.script);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }
}

// A single call from the command line: the arguments the call wrote, its
// result, ErrCode, and how a failure is reported.
TEST(HostCall, WhatACallShowsAndHowItFails) {
  const std::string ok = "ErrCode = 0 (Nessun Errore)\n";
  const std::vector<ScriptCase> cases = {
      {{"mDet", "[[2,1],[1,3]]"}, "", 0, "mDet = 5\n" + ok, ""},
      {{"--format", "0", "mMakeMatrI", "[]", "2"},
       "",
       0,
       "mtrA (0..2, 0..2) =\n    01  02  \n01  +1  +0  \n02  +0  +1  \n" + ok,
       ""},
      {{"mPrint", "[1,2,3]", "screen", "missing", "\"0.0\"", "\"v\""},
       "",
       0,
       "v\n+1.0  +2.0  +3.0  \n" + ok,
       ""},
      {{"mPrint", "1", "missing", "\"debug\"", "missing", "missing", "true"},
       "",
       0,
       "Perif = \"DEBUG\"\nRowCol = False\n" + ok,
       ""},
      {{"mPolin", "[]", "[[1,1],[2,3],[3,5],[4,7]]", "5"},
       "",
       0,
       "vetCoeff (never dimensioned)\n"
       "ErrCode = 9 (Rango k della matrice dei coefficienti superiore a n-2)\n",
       ""},
      // What the sum wrote before it failed at (1, 2) is shown.
      {{"--literal", "mSum", "[[0],[0]]", "[[1,2],[3,4]]", "[[1,1],[1,1]]"},
       "",
       1,
       "mtrDest (1..2, 1..1) =\n[[2],[0]]\n" + ok,
       "Run-time error '9': Subscript out of range\n"},
      {{"SwapValues", "1", "2"},
       "",
       1,
       "",
       "Run-time error '438': Object doesn't support this property or method\n"},
      {{"--", "-x"},
       "",
       1,
       "",
       "Run-time error '438': Object doesn't support this property or method\n"},
      {{"--format"},
       "",
       2,
       "",
       "nodrel: option '--format' needs a value\nTry 'nodrel --help' for more information.\n"},
      {{"--format", "x", "mDet", "[[1]]"},
       "",
       2,
       "",
       "nodrel: --format 'x': Run-time error '5': Invalid procedure call or argument\n"},
      {{"-f", "a", "mDet"},
       "",
       2,
       "",
       "nodrel: a script and a method cannot be given together\nTry 'nodrel --help' for more "
       "information.\n"},
  };
  for (const ScriptCase& c : cases) {
    SCOPED_TRACE(c.options.front());
    const Outcome r = run(c.options);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }
  const Outcome help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.substr(0, 5), "NAME\n");
  EXPECT_NE(help.out.find("EXIT STATUS"), std::string::npos);
  EXPECT_EQ(run({"-f", "/nonexistent/script"}).status, 2);
}

TEST(HostScript, VariablesAndErrCodeCarryFromLineToLine) {
  check({
      // By reference: the call changes the variable.
      {{"--literal"},
       "A = [[4,7],[2,6]]\nmInv A\n? A",
       0,
       "0:[[0,0,0],[0,0.6,-0.7],[0,-0.2,0.4]]\n",
       ""},
      // A new variable receives the array the method makes.
      {{"--literal"}, "mMakeVectI V, 2\n? V", 0, "0:[0,1,1]\n", ""},
      // ErrCode stays until the next call writes it.
      {{},
       "S = [[1,1],[1,1]]\nmInv S\n? ErrCode\n? ErrCode, ErrMsg(ErrCode)\nmDet S\n? ErrCode",
       0,
       "4\n4 Matrice Singolare\n0\n",
       ""},
      // Values other than variables are temporaries: the call writes nothing
      // anyone sees.
      {{}, "mInv [[4,7],[2,6]]\n? ErrCode", 0, "0\n", ""},
      // One variable passed three times is one array.
      {{"--literal"}, "A = [[1,2],[3,4]]\nmSum A, A, A\n? A", 0, "[[2,4],[6,8]]\n", ""},
      // Doubles written back.
      {{}, "mGetXsOfQuadr a, b, 0, [-3,2,1]\n? a, b", 0, "1 -3\n", ""},
      // An assignment copies: B keeps the matrix A had.
      {{"--literal"}, "A = [[4,7],[2,6]]\nB = A\nmOpp A\n? B", 0, "[[4,7],[2,6]]\n", ""},
      // A variable holding missing leaves the optional argument out.
      {{"--literal"}, "M = missing\nmPolin C, [[0,1],[1,3]], 2, M\n? C", 0, "0:[0,1,2]\n", ""},
      // Method names and variables ignore case.
      {{"--literal"}, "abc = [1]\nMMAKEVECTNUL ABC, 1\n? Abc", 0, "0:[0,0]\n", ""},
  });
}

TEST(HostScript, PrintShowsValuesAndArrays) {
  check({
      {{},
       "? 1, [1,2], \"x\", True, 2.5; Empty, Null",
       0,
       "1\n+1.0000E+00  +2.0000E+00  \nx True 2.5 Empty Null\n",
       ""},
      {{}, "?", 0, "\n", ""},
      {{},
       "? [[1,-2],[3,4]]",
       0,
       "             01           02  \n01  +1.0000E+00  -2.0000E+00  \n"
       "02  +3.0000E+00  +4.0000E+00  \n",
       ""},
      {{"--format", "0.0"}, "? [1.25, -2]", 0, "+1.3  -2.0  \n", ""},
      {{"--format=0.0"}, "? 0:[1.25, -2]", 0, "-2.0  \n", ""},
      // What mPrint cannot print is shown as written.
      {{}, "? 2:[1, 2], [], [[[1]]], [\"a\"]", 0, "2:[1,2]\n[]\n[[[1]]]\n[\"a\"]\n", ""},
      {{}, "? 0.1, -0, 1e300, -inf", 0, "0.1 -0 1e+300 -inf\n", ""},
      {{}, "? \"say \"\"hi\"\"\"", 0, "say \"hi\"\n", ""},
      // mPrint on the terminal: the comment line, then the layout.
      {{}, "mPrint [1,-2], screen, , \"0.0\", \"v\"", 0, "v\n+1.0  -2.0  \n", ""},
      {{}, "x = screen\nmPrint 3, x, \"msgbox\"", 0, "\n3.0000E+00  \n", ""},
  });
}

TEST(HostScript, RunTimeErrorsStopTheScriptUnlessToldToGoOn) {
  const std::string script = "? 1\n? mDet([1])\n? 2\nmMakeVectNul V, -1\n? 3\n";
  check({
      {{}, script, 1, "1\n", "<stdin>:2: Run-time error '9': Subscript out of range\n"},
      {{"-k"},
       script,
       1,
       "1\n2\n3\n",
       "<stdin>:2: Run-time error '9': Subscript out of range\n"
       "<stdin>:4: Run-time error '9': Subscript out of range\n"},
      // Arguments left out at the end still count.
      {{},
       "mInv A, ,",
       1,
       "",
       "<stdin>:1: Run-time error '450': Wrong number of arguments or invalid property "
       "assignment\n"},
  });
}

TEST(HostScript, SyntaxErrorsStopEverythingBeforeItRuns) {
  check({
      {{},
       "? 1\nmInv [1,\n? 2\n? 3 4\n",
       2,
       "",
       "<stdin>:3:1: syntax error: expected a number, a text, empty, null, true or false, found "
       "'?'\n    ? 2\n    ^\n"
       "<stdin>:4:5: syntax error: unexpected a number after the statement\n"
       "    ? 3 4\n        ^\n"},
      {{},
       "\tfoo = = 1",
       2,
       "",
       "<stdin>:1:8: syntax error: expected a value, found '='\n    \tfoo = = 1\n    \t      ^\n"},
  });
}

TEST(HostScript, EchoShowsCommentsAndStatements) {
  check({
      {{"-e"}, "' hello\nA = 1\n? A\n", 0, "hello\n> A = 1\n> ? A\n1\n", ""},
  });
}

TEST(HostCall, ListingFollowsTheMethodTable) {
  const Outcome r = run({"--list"});
  EXPECT_EQ(r.status, 0);
  std::istringstream lines(r.out);
  std::string line;
  std::vector<std::string> declarations;
  while (std::getline(lines, line)) {
    if (line.rfind("    ", 0) != 0) declarations.push_back(line);
  }
  ASSERT_EQ(declarations.size(), methods().size());
  EXPECT_EQ(declarations[0], "Sub Initialize_dMatr()");
  EXPECT_EQ(declarations[12],
            "Sub mSwapRC(mtrA() As Double, rc As String, RC1 As Long, RC2 As Long)");
  EXPECT_EQ(declarations[20],
            "Sub mPrint(ToPrint As Variant, Optional obj As Variant, Optional Perif As Variant, "
            "Optional frmt As Variant, Optional Comment As Variant, Optional RowCol As Variant, "
            "Optional Append As Variant, Optional Modal As Variant)");
  EXPECT_EQ(declarations[33], "Function mGetYPolin(x As Double, Coeff() As Double) As Double");
  EXPECT_NE(r.out.find("    Exchanges two rows (rc \"R\") or columns (\"C\"); writes mtrA\n"),
            std::string::npos);
}

TEST(HostCall, TheTourIsItsScriptEchoed) {
  const Outcome tour = run({});
  EXPECT_EQ(tour.status, 0);
  EXPECT_EQ(tour.out, run({"--echo", "-f", "-"}, std::string(tour_script())).out);
}

}  // namespace
}  // namespace nodrel::cli
