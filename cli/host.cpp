#include "cli/host.hpp"

#include <exception>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/display.hpp"
#include "cli/report.hpp"
#include "cli/session.hpp"
#include "cli/syntax.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/version.hpp"

namespace nodrel::cli {

namespace {

constexpr std::string_view kUsage = R"(NAME
    nodrel - call the methods of the Nodrel matrix component

SYNOPSIS
    nodrel
    nodrel [OPTION...] METHOD [VALUE...]
    nodrel [OPTION...] -f FILE
    nodrel --list | --help | --version

DESCRIPTION
    Nodrel is an automation component for matrix calculation: one object,
    Matr, whose 36 methods read the caller's arrays of doubles, write their
    results into them and return a number, a flag or nothing.

    With no arguments nodrel runs a short tour: an inverse, a linear system,
    a polynomial fit and printing.

    With a METHOD it creates one Matr object, calls Initialize_dMatr, then
    the method with the VALUEs as its arguments, and prints every argument
    the call wrote, the result, and ErrCode with its message:

        $ nodrel mInv '[[4,7],[2,6]]'
        mtrDest (0..2, 0..2) =
                     01           02
        01  +6.0000E-01  -7.0000E-01
        02  -2.0000E-01  +4.0000E-01
        ErrCode = 0 (Nessun Errore)

    Method names ignore case. Arrays are printed as the component's mPrint
    composes them (with the bounds of the array in parentheses); arrays it
    cannot print are shown as they are written.

OPTIONS
    -f, --file FILE
        Run the script FILE; "-" reads it from standard input.
    -k, --keep-going
        In a script, report a run-time error and go on with the next line.
    -e, --echo
        In a script, show each line before it runs, and each comment line.
    --format PATTERN
        The number pattern for array elements, as mPrint takes it
        (default "0.0000E+00"; for example "0.00" or "#,##0.000").
    --literal
        Show arrays as they are written ([[1,2],[3,4]]), every digit kept.
    --list
        List the methods with their arguments.
    --tour
        Run the tour.
    -h, --help
        Show this text.
    --version
        Show the version.
    --
        End of the options.

VALUES
    2  -2.5  1e-3         numbers; whole numbers are Integer, others Double
    inf  -inf  nan        the special doubles
    "text"                text; a double quote inside is written twice ("")
    empty  null  true  false
                          the automation values Empty, Null and the booleans
    missing               an optional argument left out
    screen                the terminal, as a form: mPrint A, screen prints here
    [1, 2, 3]             a vector with lower bound 1
    [[4, 7], [2, 6]]      a matrix written by rows, lower bounds 1
    0:[[4, 7], [2, 6]]    lower bound 0 in every dimension
    0:1:[[4, 7], [2, 6]]  lower bounds per dimension: rows from 0, columns from 1
    []                    an array never dimensioned
    [[1, "2"], [true, 4]] elements that are not all numbers: an array of
                          variants, converted where a method wants doubles
    On the command line each VALUE is one word: quote it for the shell, for
    example '"R"' or '[[1, 2], [3, 4]]'.

SCRIPTS
    A script is a series of statements on one Matr object, one a line, as
    in an immediate window; brackets and parentheses may span lines:

        A = [[4, 7], [2, 6]]      ' assignment (Let A = ... also)
        mInv A                    ' a call: variables go by reference
        mSum D, A, B              ' arguments separated by commas
        mPrint A, screen, , "0.00", "A"   ' an empty place leaves one out
        Call mDupl(C, A)          ' with parentheses, Call optional
        ? mDet(A), ErrCode, ErrMsg(ErrCode)   ' print ("Print" also)
        # comment; ' also starts a comment

    Expressions are values, variables, calls of methods that return a
    result, ErrCode and ErrMsg(code). Names ignore case. A variable is
    Empty until it is assigned, so it can receive an array that a method
    makes (mMakeMatrI I, 3). Values other than variables are passed as
    temporaries. "?" prints values that are not arrays on one line and each
    array on lines of its own.

    The whole script is read first: syntax errors are reported with their
    line and column, and nothing runs. The first run-time error stops the
    script unless --keep-going is given.

EXIT STATUS
    0   every call returned (ErrCode may still report a condition)
    1   a run-time error ended a call; standard error shows
        "Run-time error 'N': description", preceded by FILE:LINE: in scripts
    2   bad usage: an unknown option, a value or script that does not
        parse, a script file that cannot be read
    3   an internal error of nodrel

EXAMPLES
    nodrel mDet '[[2,1],[1,3]]'
    nodrel mSwapRC '[[1,2],[3,4]]' '"R"' 1 2
    nodrel mMakeMatrI [] 3
    nodrel mPrint '[1,2,3]' screen missing '"0.0"' '"v"'
    nodrel --literal mDivd [] '[[1,2],[3,4]]' '[[2,0],[0,4]]'
    printf 'A = [[4,7],[2,6]]\nmInv A\n? A\n' | nodrel -f -
)";

constexpr std::string_view kTour =
    R"(' Nodrel, a short tour: calls on one Matr object, each shown before it runs.
'
' An inverse: mInv replaces the matrix by its inverse, with lower bounds 0.
A = [[4, 7], [2, 6]]
? mDet(A)
mInv A
? A
'
' A singular matrix is left as it was; ErrCode says why.
S = [[1, 1], [1, 1]]
mInv S
? ErrCode, ErrMsg(ErrCode)
'
' A linear system by Cramer's rule: 2x + y = 5, x + 3y = 10.
M = [[2, 1], [1, 3]]
B = [5, 10]
X = [0, 0]
mSist X, M, B
? X
'
' A least-squares line through (1, 1), (2, 3), (3, 5), and its value at 4.
P = [[1, 1], [2, 3], [3, 5]]
mPolin C, P, 2
? C
? mGetYPolin(4, C)
'
' Printing: mPrint composes the text; screen is this terminal.
mPrint A, screen, , "0.000", "The inverse of [[4, 7], [2, 6]]:"
'
' More: nodrel --help, nodrel --list.
)";

struct Options {
  bool keep_going = false;
  bool echo = false;
  bool literal = false;
  bool list = false;
  bool tour = false;
  bool help = false;
  bool version = false;
  std::optional<std::string> file;
  std::string pattern;
  std::vector<std::string> call;  // METHOD VALUE...
};

// The options, up to the first word that is not one: the method. Returns
// an error message, or nothing.
std::optional<std::string> parse_options(std::span<const std::string> args, Options& o) {
  std::size_t k = 0;
  auto value_of = [&](const std::string& arg, std::string_view name,
                      std::string& value) -> std::optional<std::string> {
    const std::string prefix = std::string(name) + "=";
    if (arg.compare(0, prefix.size(), prefix) == 0) {
      value = arg.substr(prefix.size());
      return std::nullopt;
    }
    if (k + 1 >= args.size()) return "option '" + arg + "' needs a value";
    value = args[++k];
    return std::nullopt;
  };
  for (; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (arg == "--") {
      ++k;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;
    if (arg == "-k" || arg == "--keep-going") {
      o.keep_going = true;
    } else if (arg == "-e" || arg == "--echo") {
      o.echo = true;
    } else if (arg == "--literal") {
      o.literal = true;
    } else if (arg == "--list") {
      o.list = true;
    } else if (arg == "--tour") {
      o.tour = true;
    } else if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (arg == "-f" || arg == "--file" || arg.rfind("--file=", 0) == 0) {
      std::string file;
      if (auto e = value_of(arg, "--file", file)) return e;
      o.file = file;
    } else if (arg == "--format" || arg.rfind("--format=", 0) == 0) {
      if (auto e = value_of(arg, "--format", o.pattern)) return e;
      if (o.pattern.empty()) return "the --format pattern is empty";
    } else {
      return "unknown option '" + arg + "'";
    }
  }
  o.call.assign(args.begin() + static_cast<std::ptrdiff_t>(k), args.end());
  if (o.file && !o.call.empty()) return "a script and a method cannot be given together";
  if (o.file && o.tour) return "a script and the tour cannot be run together";
  if (o.tour && !o.call.empty()) return "the tour and a method cannot be run together";
  return std::nullopt;
}

std::string type_name(ArgKind kind) {
  switch (kind) {
    case ArgKind::kDoubleArray: return "Double";
    case ArgKind::kDouble: return "Double";
    case ArgKind::kLong: return "Long";
    case ArgKind::kString: return "String";
    case ArgKind::kVariant: return "Variant";
  }
  return {};
}

int run_script(std::string_view name, std::string_view text, const Options& o, std::ostream& out,
               std::ostream& err) {
  const Script script = parse_script(text);
  if (!script.errors.empty()) return report_syntax(err, name, text, script.errors);
  Display display(o.pattern, o.literal);
  Session session(out, display);
  int status = kExitOk;
  for (const Statement& st : script.statements) {
    if (o.echo) {
      if (st.kind == Statement::Kind::kComment) {
        // Narrative: the comment's text without the space after its mark.
        out << (st.text.rfind(' ', 0) == 0 ? st.text.substr(1) : st.text) << '\n';
      } else {
        out << "> " << st.text << '\n';
      }
    }
    try {
      session.run(st);
    } catch (...) {
      out.flush();
      const std::string where = std::string(name) + ":" + std::to_string(st.at.line) + ": ";
      status = report_failure(err, where, std::current_exception());
      if (!o.keep_going || status != kExitRunTimeError) return status;
    }
  }
  return status;
}

int run_call(const Options& o, std::ostream& out, std::ostream& err) {
  const std::string& name = o.call.front();
  Display display(o.pattern, o.literal);
  Session session(out, display);
  std::vector<Variant> values;
  for (std::size_t k = 1; k < o.call.size(); ++k) {
    const ParsedValue v = parse_value(o.call[k]);
    if (v.error) return report_argument(err, k, o.call[k], *v.error);
    values.push_back(v.expr.kind == Expr::Kind::kScreen ? session.screen() : v.expr.value);
  }
  const MethodInfo* method = find_method(name);
  std::exception_ptr failure;
  Variant result;
  try {
    std::vector<Variant*> pointers;
    for (Variant& v : values) pointers.push_back(&v);
    result = invoke(session.object(), name, pointers);
  } catch (...) {
    failure = std::current_exception();
  }
  if (method != nullptr) {
    // Whatever the call wrote, also when it failed halfway.
    for (std::size_t k = 0; k < values.size() && k < method->args.size(); ++k) {
      const ArgumentInfo& a = method->args[k];
      const Variant& v = values[k];
      if (a.role == ArgRole::kRead || v.is_missing()) continue;
      if (a.kind == ArgKind::kDoubleArray &&
          (v.kind() == VariantKind::kEmpty || (v.is_array() && v.array_bounds().empty()))) {
        out << a.name << " (never dimensioned)\n";
      } else if (v.is_array()) {
        out << a.name << ' ' << Display::bounds(v) << " =\n" << display.array(v) << '\n';
      } else {
        out << a.name << " = " << Display::scalar(v, true) << '\n';
      }
    }
    if (result.kind() != VariantKind::kEmpty) {
      out << method->name << " = " << Display::scalar(result, true) << '\n';
    }
    const std::int32_t code = session.object().ErrCode();
    out << "ErrCode = " << code;
    const std::string& message = session.object().ErrMsg(code);
    if (!message.empty()) out << " (" << message << ")";
    out << '\n';
  }
  if (failure) {
    out.flush();
    return report_failure(err, "", failure);
  }
  return kExitOk;
}

std::optional<std::string> read_all(const std::string& path, std::istream& in) {
  std::ostringstream text;
  if (path == "-") {
    text << in.rdbuf();
    return text.str();
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  text << file.rdbuf();
  if (file.bad()) return std::nullopt;
  return text.str();
}

}  // namespace

std::string_view usage_text() { return kUsage; }
std::string_view tour_script() { return kTour; }

std::string method_listing() {
  std::string text;
  for (const MethodInfo& m : methods()) {
    text += m.result == ResultKind::kNone ? "Sub " : "Function ";
    text += std::string(m.name) + "(";
    for (std::size_t k = 0; k < m.args.size(); ++k) {
      const ArgumentInfo& a = m.args[k];
      if (k > 0) text += ", ";
      if (a.optional) text += "Optional ";
      text += std::string(a.name) + (a.kind == ArgKind::kDoubleArray ? "()" : "") + " As " +
              type_name(a.kind);
    }
    text += ")";
    if (m.result == ResultKind::kBool) text += " As Boolean";
    if (m.result == ResultKind::kDouble) text += " As Double";
    text += "\n    " + std::string(m.help);
    std::string written;
    for (const ArgumentInfo& a : m.args) {
      if (a.role == ArgRole::kRead) continue;
      written += (written.empty() ? "" : ", ") + std::string(a.name);
    }
    if (!written.empty()) text += "; writes " + written;
    text += "\n";
  }
  return text;
}

int run_host(std::span<const std::string> args, std::istream& in, std::ostream& out,
             std::ostream& err) {
  try {
    Options o;
    if (auto problem = parse_options(args, o)) return report_usage(err, *problem);
    if (o.help) {
      out << kUsage;
      return kExitOk;
    }
    if (o.version) {
      out << "nodrel " << kVersionMajor << '.' << kVersionMinor << '.' << kVersionRevision << '\n';
      return kExitOk;
    }
    if (o.list) {
      out << method_listing();
      return kExitOk;
    }
    if (!o.pattern.empty()) {
      try {
        Display(o.pattern, o.literal).check_pattern();
      } catch (...) {
        return report_pattern(err, o.pattern, std::current_exception());
      }
    }
    if (o.file) {
      const std::optional<std::string> text = read_all(*o.file, in);
      if (!text) return report_usage(err, "cannot read the script '" + *o.file + "'");
      return run_script(*o.file == "-" ? "<stdin>" : *o.file, *text, o, out, err);
    }
    if (!o.call.empty()) return run_call(o, out, err);
    Options tour = o;
    tour.echo = true;
    return run_script("<tour>", kTour, tour, out, err);
  } catch (...) {
    out.flush();
    return report_failure(err, "", std::current_exception());
  }
}

}  // namespace nodrel::cli
