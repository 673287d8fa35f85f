// The one place where a failure leaves the host: the text the user reads on
// standard error and the exit status a shell script sees.
//
//   0  success: every call returned (ErrCode may still report a condition)
//   1  a run-time error ended a call ("Run-time error 'N': description")
//   2  the command line or a script could not be read: an unknown option, a
//      value or statement that does not parse, a script file that cannot be
//      opened
//   3  the host itself failed (an internal error)
#ifndef NODREL_CLI_REPORT_HPP
#define NODREL_CLI_REPORT_HPP

#include <exception>
#include <ostream>
#include <span>
#include <string_view>

#include "cli/syntax.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"

namespace nodrel::cli {

// A call that failed before its method ran, because of its arguments: the
// error, the method and the place (from 0) of the argument at fault, and how
// many were given.
class ArgumentError : public Error {
 public:
  ArgumentError(const Error& error, const MethodInfo& method, std::size_t index, std::size_t given)
      : Error(error), method_(&method), index_(index), given_(given) {}
  // "argument 1 (mtrA) of mDet is missing", "mInv takes 1 argument, 3 given"
  std::string what_is_wrong() const;
  const MethodInfo& method() const { return *method_; }

 private:
  const MethodInfo* method_;
  std::size_t index_, given_;
};

// How a method is declared: "Function mDet(mtrA() As Double) As Double".
std::string declaration(const MethodInfo& method);

enum ExitStatus : int {
  kExitOk = 0,
  kExitRunTimeError = 1,
  kExitUsage = 2,
  kExitInternal = 3,
};

// A failure caught while a call or a statement ran. `where` prefixes the
// message ("script.txt:3: "), empty for a single call. A nodrel::Error, and
// running out of memory, are run-time errors; anything else is internal. An
// ArgumentError also names the argument and shows the declaration.
int report_failure(std::ostream& err, std::string_view where, std::exception_ptr failure);

// Syntax errors of a script, each with the line it is on and a caret under
// its column.
int report_syntax(std::ostream& err, std::string_view source_name, std::string_view source,
                  std::span<const Diagnostic> errors);

// A syntax error in the value of command-line argument `index` (from 1).
int report_argument(std::ostream& err, std::size_t index, std::string_view word,
                    const Diagnostic& error);

// A --format pattern that mPrint refuses, with the run-time error it raised.
int report_pattern(std::ostream& err, std::string_view pattern, std::exception_ptr failure);

// A method name that is not one: "unknown method 'mDett'; did you mean mDet?".
int report_unknown_method(std::ostream& err, std::string_view where, std::string_view name);

// A command line that cannot be obeyed, or a script that cannot be read.
int report_usage(std::ostream& err, std::string_view message);

}  // namespace nodrel::cli

#endif  // NODREL_CLI_REPORT_HPP
