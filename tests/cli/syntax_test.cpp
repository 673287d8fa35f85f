// The host's language: values as written on the command line and the
// statements of scripts, with the errors a user sees for bad input.
#include "cli/syntax.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/display.hpp"
#include "server/show_variant.hpp"

namespace nodrel::cli {
namespace {

// Arrays of up to two dimensions shown element by element with their bounds;
// the others as written.
std::string describe(const Variant& v) {
  if (v.double_array() && v.double_array()->dims() <= 2) return test::show(v);
  if (v.is_array()) return "Array " + Display::literal(v);
  return test::show(v);
}

struct ValueCase {
  const char* text;
  std::string expected;  // describe() of the value, or "column N: message"
};

std::string outcome(const ParsedValue& v) {
  if (v.error) return "column " + std::to_string(v.error->at.column) + ": " + v.error->message;
  if (v.expr.kind == Expr::Kind::kScreen) return "screen";
  return describe(v.expr.value);
}

TEST(ParseValue, ScalarsAsWritten) {
  const std::vector<ValueCase> cases = {
      {"2", "Integer 2"},
      {"-2", "Integer -2"},
      {"+7", "Integer 7"},
      {"-0", "Double -0"},
      {"2.5", "Double 2.5"},
      {".5", "Double 0.5"},
      {"5.", "Double 5"},
      {"1e3", "Double 1000"},
      {"1E-3", "Double 0.001"},
      {"9223372036854775807", "Integer 9223372036854775807"},
      {"9223372036854775808", "Double 9223372036854775808"},
      {"1e-400", "Double 0"},
      {"inf", "Double inf"},
      {"-INF", "Double -inf"},
      {"NaN", "Double nan"},
      {"\"text\"", "String \"text\""},
      {"\"say \"\"hi\"\"\"", "String \"say \"hi\"\""},
      {"\"\"", "String \"\""},
      {"\"a'b#c\"", "String \"a'b#c\""},
      {"empty", "Empty"},
      {"NULL", "Null"},
      {"True", "Boolean True"},
      {"false", "Boolean False"},
      {"Missing", "Missing"},
      {"Screen", "screen"},
      {"  2\t ", "Integer 2"},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(outcome(parse_value(c.text)), c.expected);
  }
}

TEST(ParseValue, ArraysWithTheirBounds) {
  const std::vector<ValueCase> cases = {
      {"[1, 2, 3]", "DoubleArray 1..3 [1,2,3]"},
      {"[[4,7],[2,6]]", "DoubleArray 1..2,1..2 [4,7;2,6]"},
      {"[[1,2,3]]", "DoubleArray 1..1,1..3 [1,2,3]"},
      {"[[1],[2],[3]]", "DoubleArray 1..3,1..1 [1;2;3]"},
      {"0:[[4,7],[2,6]]", "DoubleArray 0..1,0..1 [4,7;2,6]"},
      {"0:1:[[4,7],[2,6]]", "DoubleArray 0..1,1..2 [4,7;2,6]"},
      {"-3:[5]", "DoubleArray -3..-3 [5]"},
      {"- 3 : [5]", "DoubleArray -3..-3 [5]"},
      {"[]", "DoubleArray  []"},
      {"[[]]", "DoubleArray 1..1,1..0 []"},
      {"[\n1,\n2]", "DoubleArray 1..2 [1,2]"},
      {"[1.5, -inf, nan]", "DoubleArray 1..3 [1.5,-inf,nan]"},
      {"[[[1,2],[3,4]],[[5,6],[7,8]]]", "Array [[[1,2],[3,4]],[[5,6],[7,8]]]"},
      {"0:[[[1]]]", "Array 0:[[[1]]]"},
      {"[1, \"2\", true, empty, null]", "Array [1,\"2\",true,empty,null]"},
      {"[[1, \"x\"], [false, 2.5]]", "Array [[1,\"x\"],[false,2.5]]"},
      {"[[[[[[[[1]]]]]]]]", "Array [[[[[[[[1]]]]]]]]"},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(outcome(parse_value(c.text)), c.expected);
  }
}

TEST(ParseValue, ThreeDimensionsAreStoredFirstIndexFastest) {
  const ParsedValue v = parse_value("[[[1,2],[3,4]],[[5,6],[7,8]]]");
  ASSERT_FALSE(v.error);
  const DoubleArray& a = *v.expr.value.double_array();
  // Element (i, j, k) is the k-th number of row j of block i.
  EXPECT_EQ(a.storage(), (std::vector<double>{1, 5, 3, 7, 2, 6, 4, 8}));
}

TEST(ParseValue, ErrorsNameTheirColumn) {
  const std::vector<ValueCase> cases = {
      {"", "column 1: expected a value, found the end of the input"},
      {"[1,2", "column 5: expected ',' or ']', found the end of the input"},
      {"[[1,2],[3]]", "column 8: this list has 1 elements, the first one of its level 2"},
      {"[[1],2]", "column 6: a value where the first element of this level is a list"},
      {"[1,[2]]", "column 4: a list where the first element of this level is a value"},
      {"0:[]", "column 1: an array never dimensioned has no bounds"},
      {"0:1:[1,2]", "column 1: 2 lower bounds for an array of 1 dimensions"},
      {"1.5:[1]", "column 1: a lower bound is a whole number within 32 bits"},
      {"3000000000:[1]", "column 1: a lower bound is a whole number within 32 bits"},
      {"2147483647:[1,2]", "column 1: an upper bound beyond 32 bits"},
      {"-2147483648:[]", "column 1: an array never dimensioned has no bounds"},
      {"1:2", "column 4: expected ':' and then '[' after the lower bounds"},
      {"[[[[[[[[[1]]]]]]]]]", "column 9: more than 8 dimensions"},
      {"1:1:1:1:1:1:1:1:1:[1]", "column 17: more lower bounds than an array can have dimensions"},
      {"\"abc", "column 1: text not closed before the end of the line"},
      {"\"a\nb\"", "column 1: text not closed before the end of the line"},
      {"1e999", "column 1: number beyond the range of a double"},
      {"2abc", "column 1: malformed number '2abc'"},
      {"1.2.3", "column 1: malformed number '1.2.3'"},
      {"foo", "column 1: unknown value 'foo' (text is written in double quotes)"},
      {"mDet", "column 1: unknown value 'mDet' (text is written in double quotes)"},
      {"ErrCode", "column 1: unknown value 'ErrCode' (text is written in double quotes)"},
      {"[missing]",
       "column 2: expected a number, a text, empty, null, true or false, found 'missing'"},
      {"[screen]",
       "column 2: expected a number, a text, empty, null, true or false, found 'screen'"},
      {"[-true]", "column 3: expected a number, a text, empty, null, true or false, found 'true'"},
      {"[1,]", "column 4: expected a number, a text, empty, null, true or false, found ']'"},
      {"2 3", "column 3: unexpected a number after the value"},
      {"-[1]", "column 2: expected a number, found '['"},
      {"--1", "column 2: expected a number, found '-'"},
      {"\x01", "column 1: unexpected byte 0x01"},
      {"\xC3\xA9", "column 1: unexpected byte 0xC3"},
      {"[1;2]", "column 3: expected ',' or ']', found ';'"},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(outcome(parse_value(c.text)), c.expected);
  }
  EXPECT_EQ(outcome(parse_value(std::string("1\0", 2))), "column 2: unexpected byte 0x00");
}

// A script's statements in a compact form: "a = 2 | mInv(a) | ? a".
std::string render(const Expr& e) {
  switch (e.kind) {
    case Expr::Kind::kValue: return Display::literal(e.value);
    case Expr::Kind::kScreen: return "screen";
    case Expr::Kind::kVariable: return e.name;
    case Expr::Kind::kErrCode: return "ErrCode";
    case Expr::Kind::kLeftOut: return "_";
    case Expr::Kind::kErrMsg: return "ErrMsg(" + render(e.args.front()) + ")";
    case Expr::Kind::kCall: {
      std::string text = std::string(e.method->name) + "(";
      for (std::size_t k = 0; k < e.args.size(); ++k) text += (k ? ", " : "") + render(e.args[k]);
      return text + ")";
    }
  }
  return "?";
}

std::string render(const Script& s) {
  std::string text;
  for (const Diagnostic& d : s.errors) {
    text += std::to_string(d.at.line) + ":" + std::to_string(d.at.column) + ": " + d.message + "\n";
  }
  if (!s.errors.empty()) return text;
  for (const Statement& st : s.statements) {
    if (!text.empty()) text += " | ";
    switch (st.kind) {
      case Statement::Kind::kAssign: text += st.name + " = " + render(st.exprs.front()); break;
      case Statement::Kind::kComment: text += "'" + st.text; break;
      case Statement::Kind::kPrint:
      case Statement::Kind::kCall: {
        const bool call = st.kind == Statement::Kind::kCall;
        text += call ? std::string(st.method->name) + "(" : "?";
        for (std::size_t k = 0; k < st.exprs.size(); ++k) {
          text += (k ? ", " : call ? "" : " ") + render(st.exprs[k]);
        }
        if (call) text += ")";
        break;
      }
    }
  }
  return text;
}

struct ScriptCase {
  const char* text;
  const char* expected;
};

TEST(ParseScript, Statements) {
  const std::vector<ScriptCase> cases = {
      {"A = [[4,7],[2,6]]\nmInv A\n? mDet(A), ErrCode",
       "a = [[4,7],[2,6]] | mInv(a) | ? mDet(a), ErrCode"},
      {"Let x = 2 ' comment\nCall mInv(x)\nPrint x; ErrMsg(4)", "x = 2 | mInv(x) | ? x, ErrMsg(4)"},
      {"mPrint A, , \"msgbox\",\n", "mPrint(a, _, \"msgbox\", _)"},
      {"mPrint A,,,, \"c\"", "mPrint(a, _, _, _, \"c\")"},
      {"mSum(D,\n  A, ' the first source\n  B)", "mSum(d, a, b)"},
      {"M = [[1, 2],\n     [3, 4]]\n? M", "m = [[1,2],[3,4]] | ? m"},
      {"' narrative\n\n# other\n", "' narrative | ' other"},
      {"?", "?"},
      {"mdet a", "mDet(a)"},
      {"MINV(A)", "mInv(a)"},
      {"mInv()", "mInv()"},
      {"Initialize_dMatr", "Initialize_dMatr()"},
      {"x = screen\nmPrint 1, x", "x = screen | mPrint(1, x)"},
      {"x = missing", "x = Missing"},
      {"? mGetYPolin(2, mDet([[1]]) )", "? mGetYPolin(2, mDet([[1]]))"},
      {"\xEF\xBB\xBF"
       "A = 1",
       "a = 1"},
      {"A = 1\r\nB = 2\r\n", "a = 1 | b = 2"},
      {"Value_2 = -0:[1]", "value_2 = 0:[1]"},
  };
  for (const ScriptCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(render(parse_script(c.text)), c.expected);
  }
}

TEST(ParseScript, ErrorsNameTheirLineAndColumn) {
  const std::vector<ScriptCase> cases = {
      {"mInv A B", "1:8: unexpected 'B' after the statement\n"},
      {"A = ", "1:5: expected a value, found the end of the input\n"},
      {"x = mInv(A)", "1:5: mInv returns no value; call it as a statement\n"},
      {"mDet = 3", "1:6: expected a value, found '='\n"},
      {"Empty = 3", "1:1: 'Empty' is a reserved name, not a variable\n"},
      {"Let mDet = 3", "1:5: 'mDet' is a reserved name, not a variable\n"},
      {"foo", "1:1: 'foo' is neither a method nor an assignment\n"},
      {"Call foo", "1:6: expected the name of a method after Call, found 'foo'\n"},
      {"? ErrMsg 4", "1:10: expected '(' after ErrMsg, found a number\n"},
      {"? Call", "1:3: 'Call' cannot stand for a value\n"},
      {"[1]", "1:1: expected a statement, found '['\n"},
      {"mInv(A", "1:7: expected ')', found the end of the input\n"},
      {"A = [\nB = 2\nC = )\nD = 4",
       "2:1: expected a number, a text, empty, null, true or false, found 'B'\n"
       "3:5: expected a value, found ')'\n"},
      {"A = \"x\nB = 1", "1:5: text not closed before the end of the line\n"},
      {"A = 1 = 2", "1:7: unexpected '=' after the statement\n"},
  };
  for (const ScriptCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(render(parse_script(c.text)), c.expected);
  }
}

TEST(ParseScript, StopsCountingErrorsAtTheLimitAndNestingAtItsBound) {
  std::string many;
  for (int k = 0; k < 30; ++k) many += "]\n";
  EXPECT_EQ(parse_script(many).errors.size(), kMaxDiagnostics);

  std::string deep = "? ";
  for (int k = 0; k < 100; ++k) deep += "mDet(";
  deep += "A";
  for (int k = 0; k < 100; ++k) deep += ")";
  const Script s = parse_script(deep);
  ASSERT_EQ(s.errors.size(), 1u);
  EXPECT_EQ(s.errors.front().message, "expression nested too deeply");
}

}  // namespace
}  // namespace nodrel::cli
