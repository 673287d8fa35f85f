// The host in process: its language (values as written on the command line,
// the statements of scripts and the errors a user sees for bad input),
// single calls and scripts on one object, what is printed, and how failures
// reach standard error and the exit status (0 when every call returned, 1
// after a run-time error, 2 for bad usage or syntax).
#include "cli/host.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/syntax.hpp"
#include "nodrel/dispatch.hpp"
#include "support/values.hpp"

namespace nodrel::cli {
namespace {

struct Outcome {
  int status;
  std::string out, err;
};

// The words of `args` apart by spaces (quotes taken off); a script, when
// given, is read from standard input after the options.
Outcome run(const std::string& args, const std::string& script = "") {
  std::vector<std::string> words;
  std::istringstream in(args), input(script);
  for (std::string w; in >> w;) words.push_back(w.front() == '\'' ? w.substr(1, w.size() - 2) : w);
  if (!script.empty()) words.push_back("-");
  std::ostringstream out, err;
  const int status = run_host(words, input, out, err);
  return {status, out.str(), err.str()};
}

const std::string kOk = "ErrCode = 0: no error (Nessun Errore)\n";
const std::string kUsage = "Try 'nodrel --help' for more information.\n";
const std::string kError9 = "Run-time error '9': Subscript out of range\n";
const std::string kStop = "? 1\n? mDet([1])\n? 2\nmMakeVectNul V, -1\n? 3\n";

TEST(HostTest, CallsScriptsAndHowTheyEnd) {
  const struct {
    std::string args, script;
    int status;
    std::string out, err;
  } cases[] = {
      // clang-format off
      {"mDet [[2,1],[1,3]]", "", 0, "mDet = 5\n" + kOk, ""},
      {"-q mGetXsOfQuadr 0 0 0 [-3,2,1]", "", 0, "1\n-3\n", ""},
      {"--format 0 mMakeMatrI [] 2", "", 0, "mtrA (0..2, 0..2) =\n    01  02  \n01  +1  +0  \n02  +0  +1  \n" + kOk, ""},
      {"mPrint [1,2,3] screen missing \"0.0\" \"v\"", "", 0, "v\n+1.0  +2.0  +3.0  \n" + kOk, ""},
      {"mPrint 1 missing \"debug\" missing missing true", "", 0, "Perif = \"DEBUG\"\nRowCol = False\n" + kOk, ""},
      {"mPolin [] [[1,1],[2,3],[3,5],[4,7]] 5", "", 0, "vetCoeff (never dimensioned)\nErrCode = 9: more coefficients than the points allow (Rango k della matrice dei coefficienti superiore a n-2)\n", ""},
      // What the sum wrote before it failed at (1, 2) is shown.
      {"--literal mSum [[0],[0]] [[1,2],[3,4]] [[1,1],[1,1]]", "", 1, "mtrDest (1..2, 1..1) =\n[[2],[0]]\n" + kOk, kError9},
      {"--version", "", 0, "nodrel 1.1.1\n", ""},
      {"-- mDett [[1,2],[3,4]]", "", 2, "", "nodrel: unknown method 'mDett'; did you mean mDet?\nTry 'nodrel --list' for the methods.\n"},
      // A call that fails before the method runs: the error, naming the argument, and the declaration.
      {"mSist [0,0] [[2,1],[1,3]]", "", 1, "", "Run-time error '449': Argument not optional: argument 3 (vetB) of mSist is missing\n    Sub mSist(vetX() As Double, mtrA() As Double, vetB() As Double)\n"},
      {"", "A = 1\n? mDet(A)", 1, "", "<stdin>:2: Run-time error '13': Type mismatch: argument 1 (mtrA) of mDet is not an array of numbers\n    Function mDet(mtrA() As Double) As Double\n"},
      {"mDet [[1,2],[3]]", "", 2, "", "nodrel: argument 1, column 8: syntax error: row 2 has 1 element, row 1 has 2\n    [[1,2],[3]]\n           ^\n"},
      // The README's script client.
      {"", "mMakeMatrI A, 3\nA(1, 2) = 2\n? \"det =\", mDet(A)\nmMakeVectNul B, 3\nB(1) = 1\nB(2) = 2\nB(3) = 3\nmMakeVectNul X, 3\nmSist X, A, B\n? \"x =\", X(1), X(2), X(3)", 0, "det = 1\nx = -3 2 3\n", ""},
      {"--literal", "A = [[1,2],[3,4]]\nA(2,1) = 5.5\n? A(2,1), A, LBound(A), UBound(A, 2)\nA(3,1) = 0", 1, "5.5\n[[1,2],[5.5,4]]\n1 2\n", "<stdin>:4: " + kError9},
      // A script that is no text is not echoed.
      {"", std::string("A = 1\n\x7F" "ELF\x02\x01\0\\", 14), 2, "", "nodrel: <stdin>: not a text file: line 2, column 1 holds \"\\x7FELF\\x02\\x01\\x00\\\\\"\n"},
      {"--format", "", 2, "", "nodrel: option '--format' needs a value\n" + kUsage},
      {"--format x mDet [[1]]", "", 2, "", "nodrel: --format 'x': Run-time error '5': Invalid procedure call or argument\n"},
      {"-f a mDet", "", 2, "", "nodrel: a script and a method cannot be given together\n" + kUsage},
      // By reference: the call changes the variable; a new variable receives the array the
      // method makes; an assignment copies. Arrays in aligned columns, a vector in one row.
      {"", "A = [[4,7],[2,6]]\nB = A\nmInv A\n? A\n? B\nmMakeVectI V, 2\n? V", 0, "0     0     0\n0   0.6  -0.7\n0  -0.2   0.4\n4  7\n2  6\n0  1  1\n", ""},
      // ErrCode stays until the next call writes it; a value that is not a variable is a temporary.
      {"", "S = [[1,1],[1,1]]\nmInv S\n? ErrCode, ErrMsg(ErrCode)\nmInv [[4,7],[2,6]]\n? ErrCode", 0, "4 Matrice Singolare\n0\n", ""},
      // One variable passed three times is one array; names ignore case.
      {"--literal", "abc = [[1,2],[3,4]]\nMSUM ABC, Abc, aBC\n? abc", 0, "[[2,4],[6,8]]\n", ""},
      // Doubles written back; a variable holding missing leaves the optional argument out.
      {"--literal", "mGetXsOfQuadr a, b, 0, [-3,2,1]\nM = missing\nmPolin C, [[0,1],[1,3]], 2, M\n? a, b\n? C", 0, "1 -3\n0:[0,1,2]\n", ""},
      {"", "? 1, [1,2], \"x\", True, 2.5; Empty, Null\n?", 0, "1\n1  2\nx True 2.5 Empty Null\n\n", ""},
      {"--format=0.0", "? [1.25, -2], 0:[1.25, -2]", 0, "+1.3  -2.0  \n-2.0  \n", ""},
      // What mPrint cannot print is shown as written.
      {"", "? 2:[1, 2], [], [[[1]]], [\"a\"]\n? 0.1, -0, 1e300, -inf", 0, "1  2\n[]\n[[[1]]]\n[\"a\"]\n0.1 -0 1e+300 -inf\n", ""},
      {"", "x = screen\nmPrint 3, x, \"msgbox\"", 0, "\n3.0000E+00  \n", ""},
      {"", kStop, 1, "1\n", "<stdin>:2: " + kError9},
      {"-k", kStop, 1, "1\n2\n3\n", "<stdin>:2: " + kError9 + "<stdin>:4: " + kError9},
      // Arguments left out at the end still count.
      {"", "mInv A, ,", 1, "", "<stdin>:1: Run-time error '450': Wrong number of arguments or invalid property assignment: mInv takes 1 argument, 3 given\n    Sub mInv(mtrDest() As Double)\n"},
      // Syntax errors stop everything before it runs; a bracket left open is shown where it
      // was opened.
      {"", "? 1\nmInv [1,\n? 2\n? 3 4\n", 2, "", "<stdin>:2:6: syntax error: '[' is not closed (line 3 starts '?')\n    mInv [1,\n         ^\n<stdin>:4:5: syntax error: unexpected a number after the statement\n    ? 3 4\n        ^\n"},
      {"-e", "' hello\nA = 1\n? A\n", 0, "hello\n> A = 1\n> ? A\n1\n", ""},
      // The statements' forms: Let, Call, Print, comments, arguments over lines, a byte-order
      // mark and CRLF line ends.
      {"--literal", "\xEF\xBB\xBFLet x = [[4,7],[2,6]] ' comment\r\nCall MINV(x)\r\n# other\r\n\r\nPrint x(1, 1); ErrMsg(4)\r\nmMult(y,\r\n  x, ' the first factor\r\n  x)\r\n? UBound(y), LBound(y, 2), mDet( [[2]] )\r\nInitialize_dMatr", 0, "0.6 Matrice Singolare\n2 0 2\n", ""},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args + " " + c.script);
    const Outcome r = run(c.args, c.script);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }
}

// The tour is its script echoed; --list declares every method, each followed
// by its help, indented.
TEST(HostTest, TourAndListing) {
  EXPECT_EQ(run("").out, run("--echo", std::string(tour_script())).out);
  std::istringstream list(run("--list").out);
  std::size_t declarations = 0;
  for (std::string line; std::getline(list, line);) declarations += line.rfind("    ", 0) != 0;
  EXPECT_EQ(declarations, methods().size());
}

struct Case {
  std::string text, expected;
};

TEST(SyntaxTest, Values) {
  const Case cases[] = {
      // clang-format off
      {"9223372036854775808", "Double 9223372036854775808"},
      {"\"say \"\"hi\"\"\"", "String \"say \"hi\"\""},
      {"\"a'b#c\"", "String \"a'b#c\""},
      {"0:1:[[4,7],[2,6]]", "DoubleArray 0..1,1..2 [4,7;2,6]"},
      {"- 3 : [5]", "DoubleArray -3..-3 [5]"},
      {"[\n1.5,\n-inf]", "DoubleArray 1..2 [1.5,-inf]"},
      // Element (i, j, k) is the k-th number of row j of block i, stored
      // first index fastest.
      {"[[[1,2],[3,4]],[[5,6],[7,8]]]", "DoubleArray 1..2,1..2,1..2 [1,5,3,7,2,6,4,8]"},
      {"[[[[[[[[1]]]]]]]]", "DoubleArray 1..1,1..1,1..1,1..1,1..1,1..1,1..1,1..1 [1]"},
      {"[[1, \"x\"], [false, 2.5]]", "Array 1..2,1..2 [Integer 1,String \"x\";Boolean False,Double 2.5]"},
      {"", "column 1: expected a value, found the end of the input"},
      {"[[[1],[2]],[[3],[4,5]]]", "column 17: list [2][2] has 2 elements, list [1][1] has 1"},
      {"0:[]", "column 1: an array never dimensioned has no bounds"},
      {"2147483647:[1,2]", "column 1: an upper bound beyond 32 bits"},
      {"[[[[[[[[[1]]]]]]]]]", "column 9: more than 8 dimensions"},
      {"\"a\nb\"", "column 1: text not closed before the end of the line"},
      {"1e999", "column 1: number beyond the range of a double"},
      {"mDet", "column 1: unknown value 'mDet' (text is written in double quotes)"},
      {"[screen]", "column 2: expected a number, a text, empty, null, true or false, found 'screen'"},
      {"\xC3\xA9", "column 1: unexpected byte 0xC3"},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedValue v = parse_value(c.text);
    EXPECT_EQ(v.error ? "column " + std::to_string(v.error->at.column) + ": " + v.error->message
                      : show(v.expr.value),
              c.expected);
  }
}

TEST(SyntaxTest, Scripts) {
  const Case cases[] = {
      {"mPrint A,,,, \"c\",\n? mGetYPolin(2, mDet([[1]]) )\nA(1, 2) = B(2)", ""},
      {"mInv A B", "1:8: unexpected 'B' after the statement\n"},
      {"x = mInv(A)", "1:5: mInv returns no value; call it as a statement\n"},
      {"mDet = 3", "1:6: expected a value, found '='\n"},
      {"frobnicate", "1:1: unknown method 'frobnicate'\n"},  // too far from any to suggest one
      {"Let mDet = 3", "1:5: 'mDet' is a reserved name, not a variable\n"},
      {"? UBound(A, 1, 2)", "1:3: UBound takes an array and a dimension or not\n"},
      {"A = [\nB = 2\nC = )\nD = 4",
       "1:5: '[' is not closed (line 2 starts 'B')\n3:5: expected a value, found ')'\n"},
      {"A = [1,\n  x]", "2:3: expected a number, a text, empty, null, true or false, found 'x'\n"},
  };
  for (const Case& c : cases) {  // the statements that parse are run by the host's table
    SCOPED_TRACE(c.text);
    std::string text;
    for (const Diagnostic& d : parse_script(c.text).errors) {
      text += std::to_string(d.at.line) + ":" + std::to_string(d.at.column) + ": " + d.message;
      text += "\n";
    }
    EXPECT_EQ(text, c.expected);
  }
  // Errors stop being counted at the limit; nesting stops at its bound.
  std::string many, deep = "? ";
  for (int k = 0; k < 100; ++k) many += "]\n", deep += "mDet(";
  EXPECT_EQ(parse_script(many).errors.size(), kMaxDiagnostics);
  const auto nested = parse_script(deep + "A" + std::string(100, ')')).errors;
  ASSERT_EQ(nested.size(), 1u);
  EXPECT_EQ(nested.front().message, "expression nested too deeply");
}

}  // namespace
}  // namespace nodrel::cli
