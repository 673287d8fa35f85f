// The host's language: values as written on the command line and the
// statements of scripts, with the errors a user sees for bad input.
#include "cli/syntax.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/values.hpp"

namespace nodrel::cli {
namespace {

struct Case {
  std::string text;
  std::string expected;
};

TEST(SyntaxTest, Values) {
  const std::vector<Case> cases = {
      {"  2\t ", "Integer 2"},
      {"-0", "Double -0"},
      {"+7", "Integer 7"},
      {".5", "Double 0.5"},
      {"5.", "Double 5"},
      {"1E-3", "Double 0.001"},
      {"9223372036854775807", "Integer 9223372036854775807"},
      {"9223372036854775808", "Double 9223372036854775808"},
      {"1e-400", "Double 0"},
      {"-INF", "Double -inf"},
      {"NaN", "Double nan"},
      {"\"say \"\"hi\"\"\"", "String \"say \"hi\"\""},
      {"\"a'b#c\"", "String \"a'b#c\""},
      {"empty", "Empty"},
      {"NULL", "Null"},
      {"True", "Boolean True"},
      {"Missing", "Missing"},
      {"Screen", "screen"},
      {"[1, 2, 3]", "DoubleArray 1..3 [1,2,3]"},
      {"[[4,7],[2,6]]", "DoubleArray 1..2,1..2 [4,7;2,6]"},
      {"[[1],[2]]", "DoubleArray 1..2,1..1 [1;2]"},
      {"0:[[4,7],[2,6]]", "DoubleArray 0..1,0..1 [4,7;2,6]"},
      {"0:1:[[4,7],[2,6]]", "DoubleArray 0..1,1..2 [4,7;2,6]"},
      {"- 3 : [5]", "DoubleArray -3..-3 [5]"},
      {"[]", "DoubleArray  []"},
      {"[[]]", "DoubleArray 1..1,1..0 []"},
      {"[\n1.5,\n-inf]", "DoubleArray 1..2 [1.5,-inf]"},
      // Element (i, j, k) is the k-th number of row j of block i, stored
      // first index fastest.
      {"[[[1,2],[3,4]],[[5,6],[7,8]]]", "DoubleArray 1..2,1..2,1..2 [1,5,3,7,2,6,4,8]"},
      {"[[[[[[[[1]]]]]]]]", "DoubleArray 1..1,1..1,1..1,1..1,1..1,1..1,1..1,1..1 [1]"},
      {"[1, \"2\", true, empty, null]",
       "Array 1..5 [Integer 1,String \"2\",Boolean True,Empty,Null]"},
      {"[[1, \"x\"], [false, 2.5]]",
       "Array 1..2,1..2 [Integer 1,String \"x\";Boolean False,Double 2.5]"},
      {"", "column 1: expected a value, found the end of the input"},
      {"[1,2", "column 5: expected ',' or ']', found the end of the input"},
      {"[[1,2],[3]]", "column 8: row 2 has 1 element, row 1 has 2"},
      {"[[[1],[2]],[[3]]]", "column 12: list [2] has 1 element, list [1] has 2"},
      {"[[[1],[2]],[[3],[4,5]]]", "column 17: list [2][2] has 2 elements, list [1][1] has 1"},
      {"[[1],2]", "column 6: row 2 is a value, row 1 a list"},
      {"[1,[2]]", "column 4: element [2] is a list, element [1] a value"},
      {"0:[]", "column 1: an array never dimensioned has no bounds"},
      {"0:1:[1,2]", "column 1: 2 lower bounds for an array of 1 dimensions"},
      {"1.5:[1]", "column 1: a lower bound is a whole number within 32 bits"},
      {"2147483647:[1,2]", "column 1: an upper bound beyond 32 bits"},
      {"1:2", "column 4: expected ':' and then '[' after the lower bounds"},
      {"[[[[[[[[[1]]]]]]]]]", "column 9: more than 8 dimensions"},
      {"1:1:1:1:1:1:1:1:1:[1]", "column 17: more lower bounds than an array can have dimensions"},
      {"\"a\nb\"", "column 1: text not closed before the end of the line"},
      {"1e999", "column 1: number beyond the range of a double"},
      {"1.2.3", "column 1: malformed number '1.2.3'"},
      {"mDet", "column 1: unknown value 'mDet' (text is written in double quotes)"},
      {"[screen]",
       "column 2: expected a number, a text, empty, null, true or false, found 'screen'"},
      {"[1,]", "column 4: expected a number, a text, empty, null, true or false, found ']'"},
      {"2 3", "column 3: unexpected a number after the value"},
      {"--1", "column 2: expected a number, found '-'"},
      {"\xC3\xA9", "column 1: unexpected byte 0xC3"},
      {std::string("1\0", 2), "column 2: unexpected byte 0x00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedValue v = parse_value(c.text);
    const std::string got =
        v.error ? "column " + std::to_string(v.error->at.column) + ": " + v.error->message
        : v.expr.kind == Expr::Kind::kScreen ? "screen"
                                             : show(v.expr.value);
    EXPECT_EQ(got, c.expected);
  }
}

// A script's diagnostics, "line:column: message" each; the statements
// that parse are the host's (host_test.cpp runs them).
std::string diagnostics(const Script& s) {
  std::string text;
  for (const Diagnostic& d : s.errors) {
    text += std::to_string(d.at.line) + ":" + std::to_string(d.at.column) + ": " + d.message + "\n";
  }
  return text;
}

TEST(SyntaxTest, Scripts) {
  const std::vector<Case> cases = {
      {"mPrint A,,,, \"c\",\n? mGetYPolin(2, mDet([[1]]) )\nA(1, 2) = B(2)", ""},
      {"mInv A B", "1:8: unexpected 'B' after the statement\n"},
      {"x = mInv(A)", "1:5: mInv returns no value; call it as a statement\n"},
      {"mDet = 3", "1:6: expected a value, found '='\n"},
      {"Let mDet = 3", "1:5: 'mDet' is a reserved name, not a variable\n"},
      {"mDett A", "1:1: unknown method 'mDett'; did you mean mDet?\n"},
      {"Call 2", "1:6: expected the name of a method after Call, found a number\n"},
      {"A(1, ) = 2", "1:6: an index is missing\n"},
      {"? UBound(A, 1, 2)", "1:3: UBound takes an array and a dimension or not\n"},
      {"? ErrMsg 4", "1:10: expected '(' after ErrMsg, found a number\n"},
      {"? Call", "1:3: 'Call' cannot stand for a value\n"},
      {"[1]", "1:1: expected a statement, found '['\n"},
      {"mInv(A", "1:5: '(' is not closed\n"},
      {"A = [\nB = 2\nC = )\nD = 4",
       "1:5: '[' is not closed (line 2 starts 'B')\n3:5: expected a value, found ')'\n"},
      {"A = [1,\n  x]", "2:3: expected a number, a text, empty, null, true or false, found 'x'\n"},
      {"A = [[4, 7],\n", "1:5: '[' is not closed\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(diagnostics(parse_script(c.text)), c.expected);
  }
  // Errors stop being counted at the limit; nesting stops at its bound.
  std::string many, deep = "? ";
  for (int k = 0; k < 30; ++k) many += "]\n";
  EXPECT_EQ(parse_script(many).errors.size(), kMaxDiagnostics);
  for (int k = 0; k < 100; ++k) deep += "mDet(";
  deep += "A" + std::string(100, ')');
  const Script nested = parse_script(deep);
  ASSERT_EQ(nested.errors.size(), 1u);
  EXPECT_EQ(nested.errors.front().message, "expression nested too deeply");
}

}  // namespace
}  // namespace nodrel::cli
