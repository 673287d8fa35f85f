// The language of the nodrel host: values as they are written on its command
// line, and the statements of its scripts.
//
// Values:
//   2, -2.5, 1e-3, .5          numbers (whole numbers are Integer, others Double)
//   inf, -inf, nan             the special doubles
//   "text", "say ""hi"""       text, a quote doubled inside
//   empty null true false      the automation values (any case)
//   missing                    an optional argument left out
//   screen                     the terminal, as a form that mPrint can print on
//   [1, 2, 3]                  a Vector, lower bound 1
//   [[4, 7], [2, 6]]           a Matrix given by rows, lower bounds 1
//   0:[[4, 7], [2, 6]]         the same with lower bounds 0 in every dimension
//   0:1:[[4, 7], [2, 6]]       lower bound 0 for the rows, 1 for the columns
//   []                         an array never dimensioned
//   [[1, "2"], [true, 4]]      elements that are not all numbers: an array of variants
// Nesting gives up to 8 dimensions; every list of one level has the same length.
//
// Statements of a script, one a line (brackets and parentheses may span lines):
//   A = [[4, 7], [2, 6]]       assignment (Let A = ... also)
//   mInv A                     a call; variables are passed by reference
//   mSum D, A, B               arguments separated by commas
//   mPrint A, , "msgbox"       an empty place leaves an optional argument out
//   mInv(A)                    the same call with parentheses (Call mInv(A) also)
//   ? mDet(A), ErrCode         print values ("Print" also)
//   A(1, 2) = 2                an element of an array variable
//   ' comment, # comment       to the end of the line
// In expressions: values, variables, elements A(i, j), UBound(A, d) and
// LBound(A, d), calls of methods that return a result, ErrCode, and
// ErrMsg(code). Names ignore case. A variable is defined by an assignment or
// by a call that writes it (mMakeMatrI I, 3); reading one that is not is an
// error ("Z is not defined").
//
// Parsing never fails by exception: errors come back as diagnostics with
// their line and column.
#ifndef NODREL_CLI_SYNTAX_HPP
#define NODREL_CLI_SYNTAX_HPP

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "nodrel/dispatch.hpp"
#include "nodrel/variant.hpp"

namespace nodrel::cli {

struct Position {
  int line = 1;
  int column = 1;  // in bytes, from 1
};

struct Diagnostic {
  Position at;
  std::string message;
};

struct Expr {
  enum class Kind {
    kValue,     // a value written out
    kScreen,    // the terminal object
    kVariable,  // name: folded to lower case
    kCall,      // method, args
    kErrCode,
    kErrMsg,   // args[0]: the code
    kLeftOut,  // an empty place in an argument list
    kElement,  // name(args): an element of an array variable
    kBound,    // name "ubound" or "lbound", args: the array, and the dimension or not
  };
  Kind kind = Kind::kLeftOut;
  Position at;
  Variant value;
  std::string name;
  const MethodInfo* method = nullptr;
  std::vector<Expr> args;
};

struct Statement {
  enum class Kind {
    kAssign,         // name = exprs[0]
    kAssignElement,  // name(exprs[0..n-2]) = exprs[n-1]
    kPrint,          // exprs: the items
    kCall,           // method, exprs: the arguments
    kComment,        // text: the comment, for echoing
  };
  Kind kind = Kind::kComment;
  Position at;
  std::string text;  // the statement as written
  std::string name;  // kAssign: the variable, folded
  const MethodInfo* method = nullptr;
  std::vector<Expr> exprs;
};

struct Script {
  std::vector<Statement> statements;
  std::vector<Diagnostic> errors;  // when not empty, statements is incomplete
};

// A whole script. At most kMaxDiagnostics errors are reported; after an error
// the parser resumes at the next line (at the line that shows a bracket was
// left open, when that is the error). Every name that is not a method may be
// a variable: whether it is defined is not checked.
inline constexpr std::size_t kMaxDiagnostics = 20;
Script parse_script(std::string_view text);

// The variables defined so far, by folded name.
using Names = std::set<std::string>;

// A script statement by statement, as the host runs it: each is handed to
// `each` as soon as it is parsed, while there has been no error, and parsing
// stops when `each` returns false. Reading a variable not in `defined` is an
// error; an assignment, and a call that writes a variable, add it. Only the
// text, the statement at hand and a few tokens are held in memory. Returns
// the errors.
std::vector<Diagnostic> parse_script(std::string_view text, Names& defined,
                                     const std::function<bool(Statement&)>& each);

// "unknown method 'mDett'; did you mean mDet?": the suggestion is the method
// whose name is nearest (by edits, ignoring case), when it is near enough.
std::string unknown_method(std::string_view name);
// One value as written on the command line: a value of the list above
// (screen included), nothing else; variables do not exist there.
struct ParsedValue {
  Expr expr;  // kValue or kScreen
  std::optional<Diagnostic> error;
};
ParsedValue parse_value(std::string_view text);

// The lower-case form of an ASCII name, as names are compared.
std::string fold(std::string_view name);

}  // namespace nodrel::cli

#endif  // NODREL_CLI_SYNTAX_HPP
