#include "cli/host.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/data.hpp"
#include "cli/display.hpp"
#include "cli/help.hpp"
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
    nodrel [OPTION...] -
    nodrel --list | --help [METHOD] | --version

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
        0     0     0
        0   0.6  -0.7
        0  -0.2   0.4
        ErrCode = 0: no error (Nessun Errore)

    Method names ignore case. An array is shown after its bounds, in
    aligned columns, each element the shortest text that reads back as the
    same double (a vector is one row); arrays of other kinds as written.
    ErrCode comes with what it means and the component's own message.

OPTIONS
    -f, --file FILE
        Run the script FILE; "-" reads it from standard input. When standard
        input is a terminal, "nodrel -" runs each statement as it is typed,
        with line editing and history; :help lists its commands.
    -k, --keep-going
        In a script, report a run-time error and go on with the next line.
    -e, --echo
        In a script, show each line before it runs, and each comment line.
    --format PATTERN
        Show arrays in mPrint's layout with this number pattern (its
        default is "0.0000E+00"; for example "0.00" or "#,##0.000").
    --print-layout
        Show arrays as the component's mPrint composes them.
    --literal
        Show arrays as they are written ([[1,2],[3,4]]).
    --csv
        Show arrays as CSV: a row a line, elements apart by commas.
    --all
        Show every element of a large array; by default an array of more
        than 1000 elements shows its first and last three rows and columns.
    -q, --quiet
        Of a call, show the values it wrote and its result only: no names,
        no ErrCode line.
    --list
        List the methods with their arguments.
    --tour
        Run the tour.
    -h, --help [METHOD]
        Show this text, or the help of one method: what it reads and
        writes, what must exist first, its ErrCode values and errors, and
        an example.
    --reference
        The help of every method, as docs/methods.md holds it.
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
    @data.csv             on the command line, the numbers of a file: a row a
                          line, apart by commas, semicolons or blanks; one
                          row is a vector, more rows a matrix
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

        A(1, 2) = 2               ' an element of an array
        ? A(1, 2), LBound(A, 1), UBound(A, 2)

    Expressions are values, variables, elements, UBound and LBound, calls
    of methods that return a result, ErrCode and ErrMsg(code). Names ignore
    case. A variable is defined by an assignment or by a call that writes
    it, so it can receive an array that a method makes (mMakeMatrI I, 3);
    reading one that is not defined is an error. Values other than
    variables are passed as temporaries. "?" prints values that are not
    arrays on one line and each array on lines of its own.

    The whole script is read first: syntax errors are reported with their
    line and column, and nothing runs. The first run-time error stops the
    script unless --keep-going is given.

EXIT STATUS
    0   every call returned (ErrCode may still report a condition)
    1   a run-time error ended a call; standard error shows
        "Run-time error 'N': description", preceded by FILE:LINE: in scripts,
        and for an argument that is wrong, which one and the declaration
    2   bad usage: an unknown option or method, a value or script that does
        not parse, a script file that cannot be read or is not text
    3   an internal error of nodrel

EXAMPLES
    nodrel mDet '[[2,1],[1,3]]'
    nodrel mSwapRC '[[1,2],[3,4]]' '"R"' 1 2
    nodrel mMakeMatrI [] 3
    nodrel mPrint '[1,2,3]' screen missing '"0.0"' '"v"'
    nodrel --literal mDivd [] '[[1,2],[3,4]]' '[[2,0],[0,4]]'
    printf 'A = [[4,7],[2,6]]\nmInv A\n? A\n' | nodrel -
    nodrel --help mSist
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
' More: nodrel --help, nodrel --help mSist, nodrel - (at a terminal: interactive).
)";

struct Options {
  bool keep_going = false;
  bool echo = false;
  Layout layout = Layout::kColumns;
  bool all = false;
  bool quiet = false;
  bool list = false;
  bool tour = false;
  bool help = false;
  bool reference = false;
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
      o.layout = Layout::kLiteral;
    } else if (arg == "--print-layout") {
      o.layout = Layout::kPrint;
    } else if (arg == "--csv") {
      o.layout = Layout::kCsv;
    } else if (arg == "--all") {
      o.all = true;
    } else if (arg == "-q" || arg == "--quiet") {
      o.quiet = true;
    } else if (arg == "--list") {
      o.list = true;
    } else if (arg == "--tour") {
      o.tour = true;
    } else if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else if (arg == "--reference") {
      o.reference = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (arg == "-f" || arg == "--file" || arg.rfind("--file=", 0) == 0) {
      std::string file;
      if (auto e = value_of(arg, "--file", file)) return e;
      o.file = file;
    } else if (arg == "--format" || arg.rfind("--format=", 0) == 0) {
      if (auto e = value_of(arg, "--format", o.pattern)) return e;
      if (o.pattern.empty()) return "the --format pattern is empty";
      o.layout = Layout::kPrint;
    } else {
      return "unknown option '" + arg + "'";
    }
  }
  o.call.assign(args.begin() + static_cast<std::ptrdiff_t>(k), args.end());
  // "nodrel -", as other filters read standard input.
  if (!o.call.empty() && o.call.front() == "-" && !o.file) {
    if (o.call.size() > 1) return "a script from standard input takes no values";
    o.file = "-";
    o.call.clear();
  }
  if (o.file && !o.call.empty()) return "a script and a method cannot be given together";
  if (o.file && o.tour) return "a script and the tour cannot be run together";
  if (o.tour && !o.call.empty()) return "the tour and a method cannot be run together";
  return std::nullopt;
}

// The script is parsed twice, statement by statement: once to find its
// syntax errors before anything runs, once to run it. Memory stays a small
// multiple of the text, whatever its length.
int run_script(std::string_view name, std::string_view text, const Options& o, std::ostream& out,
               std::ostream& err) {
  Names names;
  const std::vector<Diagnostic> errors = parse_script(text, names, [](Statement&) { return true; });
  if (!errors.empty()) return report_syntax(err, name, text, errors);
  names.clear();
  Display display(o.layout, o.pattern, o.all);
  Session session(out, display);
  int status = kExitOk;
  parse_script(text, names, [&](const Statement& st) {
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
      if (!o.keep_going || status != kExitRunTimeError) return false;
    }
    return true;
  });
  return status;
}

constexpr std::string_view kInteractiveHelp =
    R"(Statements as in a script (nodrel --help), one a line:
    A = [[4, 7], [2, 6]]
    mInv A
    ? A, A(1, 1), UBound(A, 1), ErrCode
:help METHOD   the help of one method
:list          the methods
:quit          leave (Ctrl-D also)
)";

// A session at a terminal: each line runs as soon as it is complete (a
// bracket left open asks for the next line); variables stay from line to
// line; an error is reported and the session goes on.
int run_interactive(const Options& o, LineReader& terminal, std::ostream& out, std::ostream& err) {
  Display display(o.layout, o.pattern, o.all);
  Session session(out, display);
  Names names;
  std::string pending;
  out << "nodrel " << kVersionMajor << '.' << kVersionMinor << '.' << kVersionRevision
      << ": :help for help, :quit or Ctrl-D to leave\n";
  for (;;) {
    out.flush();
    err.flush();
    const std::optional<std::string> line =
        terminal.read_line(pending.empty() ? "nodrel> " : "   ...> ");
    if (!line) break;
    const std::size_t first = line->find_first_not_of(" \t");
    if (pending.empty() && first != std::string::npos && (*line)[first] == ':') {
      std::istringstream words(line->substr(first + 1));
      std::string command, argument;
      words >> command >> argument;
      if (command == "quit" || command == "q") break;
      if (command == "list") {
        out << method_listing();
      } else if (command == "help" && argument.empty()) {
        out << kInteractiveHelp;
      } else if (command == "help") {
        if (const MethodInfo* m = find_method(argument)) {
          out << method_help(*m);
        } else {
          report_unknown_method(err, "", argument);
        }
      } else {
        err << "unknown command ':" << command << "'; :help lists them\n";
      }
      continue;
    }
    pending += *line + "\n";
    Names trial = names;
    std::vector<Statement> statements;
    const std::vector<Diagnostic> errors = parse_script(pending, trial, [&](Statement& st) {
      statements.push_back(std::move(st));
      return true;
    });
    const std::string_view open = "is not closed";
    if (errors.size() == 1 && errors[0].message.size() > open.size() &&
        errors[0].message.compare(errors[0].message.size() - open.size(), open.size(), open) == 0) {
      continue;  // the statement goes on on the next line
    }
    if (!errors.empty()) {
      report_syntax(err, "<stdin>", pending, errors);
      pending.clear();
      continue;
    }
    pending.clear();
    names = std::move(trial);
    for (const Statement& st : statements) {
      try {
        session.run(st);
      } catch (...) {
        out.flush();
        report_failure(err, "", std::current_exception());
        break;
      }
    }
  }
  out << '\n';
  return kExitOk;
}

// "ErrCode = 4: the matrix is singular (Matrice Singolare)": what the code
// means, and the component's own message beside it.
std::string errcode_line(Matr& object) {
  const std::int32_t code = object.ErrCode();
  std::string line = "ErrCode = " + std::to_string(code);
  switch (code) {
    case 0: line += ": no error"; break;
    case 1: line += ": the orders differ"; break;
    case 3: line += ": the matrix is not square"; break;
    case 4: line += ": the matrix is singular"; break;
    case 8: line += ": the points have neither two columns nor two rows"; break;
    case 9: line += ": more coefficients than the points allow"; break;
    default: break;
  }
  const std::string& message = object.ErrMsg(code);
  if (!message.empty()) line += " (" + message + ")";
  return line;
}

int run_call(const Options& o, std::ostream& out, std::ostream& err) {
  const MethodInfo* method = find_method(o.call.front());
  if (method == nullptr) return report_unknown_method(err, "nodrel: ", o.call.front());
  Display display(o.layout, o.pattern, o.all);
  Session session(out, display);
  std::vector<Variant> values;
  for (std::size_t k = 1; k < o.call.size(); ++k) {
    if (o.call[k].rfind('@', 0) == 0) {
      // @FILE: an array read from a data file.
      DoubleArray data;
      if (auto problem = read_data(o.call[k].substr(1), data)) {
        err << "nodrel: argument " << k << ", " << o.call[k].substr(1) << ": " << *problem << '\n';
        return kExitUsage;
      }
      values.emplace_back(std::move(data));
      continue;
    }
    const ParsedValue v = parse_value(o.call[k]);
    if (v.error) return report_argument(err, k, o.call[k], *v.error);
    values.push_back(v.expr.kind == Expr::Kind::kScreen ? session.screen() : v.expr.value);
  }
  std::exception_ptr failure;
  Variant result;
  try {
    std::vector<Variant*> pointers;
    for (Variant& v : values) pointers.push_back(&v);
    result = session.call(*method, pointers);
  } catch (const ArgumentError&) {
    // Nothing ran: the error alone.
    return report_failure(err, "", std::current_exception());
  } catch (...) {
    failure = std::current_exception();
  }
  {
    // Whatever the call wrote, also when it failed halfway.
    for (std::size_t k = 0; k < values.size() && k < method->args.size(); ++k) {
      const ArgumentInfo& a = method->args[k];
      const Variant& v = values[k];
      if (a.role == ArgRole::kRead || v.is_missing()) continue;
      // --quiet: the values alone, for a pipe.
      if (a.kind == ArgKind::kDoubleArray &&
          (v.kind() == VariantKind::kEmpty || (v.is_array() && v.array_bounds().empty()))) {
        if (!o.quiet) out << a.name << " (never dimensioned)\n";
      } else if (v.is_array()) {
        if (!o.quiet) out << a.name << ' ' << Display::bounds(v) << " =\n";
        display.write(out, v);
      } else {
        out << (o.quiet ? "" : std::string(a.name) + " = ") << Display::scalar(v, !o.quiet) << '\n';
      }
    }
    if (result.kind() != VariantKind::kEmpty) {
      out << (o.quiet ? "" : std::string(method->name) + " = ") << Display::scalar(result, !o.quiet)
          << '\n';
    }
    if (!o.quiet) out << errcode_line(session.object()) << '\n';
  }
  if (failure) {
    out.flush();
    return report_failure(err, "", failure);
  }
  return kExitOk;
}

// A byte that no script holds: the controls other than tab, the line ends,
// form feed and vertical tab.
bool is_binary(unsigned char c) { return c < 0x20 ? c < 0x09 || (c > 0x0D) : c == 0x7F; }

// Bytes as a C string shows them: "\x7FELF\x02".
std::string escaped(std::string_view bytes) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string text;
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\' || c == '"') {
      text += '\\';
      text += ch;
    } else if (c >= 0x20 && c < 0x7F) {
      text += ch;
    } else {
      text += std::string("\\x") + kHex[c >> 4] + kHex[c & 0xF];
    }
  }
  return text;
}

// The text of a script, read by blocks; the first byte that no text holds
// stops the reading, so a binary file costs a block, not its size. Returns
// what is wrong, or nothing.
std::optional<std::string> read_script(const std::string& path, std::istream& in,
                                       std::string& text) {
  std::FILE* file = nullptr;
  if (path != "-") {
    file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::string(std::strerror(errno));
  }
  std::array<char, 1 << 16> block{};
  std::optional<std::string> problem;
  for (;;) {
    std::size_t n = 0;
    if (file != nullptr) {
      errno = 0;
      n = std::fread(block.data(), 1, block.size(), file);
      if (n == 0 && std::ferror(file)) {
        problem = std::strerror(errno != 0 ? errno : EIO);
        break;
      }
    } else {
      in.read(block.data(), static_cast<std::streamsize>(block.size()));
      n = static_cast<std::size_t>(in.gcount());
    }
    if (n == 0) break;
    const std::string_view got(block.data(), n);
    const auto bad = std::find_if(got.begin(), got.end(),
                                  [](char c) { return is_binary(static_cast<unsigned char>(c)); });
    if (bad != got.end()) {
      const std::size_t at = text.size() + static_cast<std::size_t>(bad - got.begin());
      text.append(got.substr(0, std::min<std::size_t>(got.size(), at - text.size() + 16)));
      const std::size_t line_start = text.rfind('\n', at == 0 ? 0 : at - 1);
      const std::size_t from = line_start == std::string::npos || at == 0 ? 0 : line_start + 1;
      const auto line =
          std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(from), '\n') + 1;
      problem = "not a text file: line " + std::to_string(line) + ", column " +
                std::to_string(at - from + 1) + " holds \"" +
                escaped(std::string_view(text).substr(at, 16)) + "\"";
      break;
    }
    text.append(got);
  }
  if (file != nullptr) std::fclose(file);
  return problem;
}

}  // namespace

std::string_view usage_text() { return kUsage; }
std::string_view tour_script() { return kTour; }

std::string method_listing() {
  std::string text;
  for (const MethodInfo& m : methods()) {
    text += declaration(m);
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
             std::ostream& err, LineReader* terminal) {
  try {
    Options o;
    if (auto problem = parse_options(args, o)) return report_usage(err, *problem);
    if (o.help && !o.call.empty()) {
      // Help for one method: nodrel --help mSist.
      const MethodInfo* method = find_method(o.call.front());
      if (method == nullptr) return report_unknown_method(err, "nodrel: ", o.call.front());
      out << method_help(*method);
      return kExitOk;
    }
    if (o.help) {
      out << kUsage;
      return kExitOk;
    }
    if (o.reference) {
      out << methods_reference();
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
        Display(o.layout, o.pattern).check_pattern();
      } catch (...) {
        return report_pattern(err, o.pattern, std::current_exception());
      }
    }
    if (o.file && *o.file == "-" && terminal != nullptr) {
      return run_interactive(o, *terminal, out, err);
    }
    if (o.file) {
      std::string text;
      if (auto problem = read_script(*o.file, in, text)) {
        err << "nodrel: " << (*o.file == "-" ? "<stdin>" : *o.file) << ": " << *problem << '\n';
        return kExitUsage;
      }
      return run_script(*o.file == "-" ? "<stdin>" : *o.file, text, o, out, err);
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
