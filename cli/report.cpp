#include "cli/report.hpp"

#include <new>
#include <string>

#include "nodrel/error.hpp"

namespace nodrel::cli {

namespace {

// The line of `source` that holds `line` (from 1), without its line end.
std::string_view source_line(std::string_view source, int line) {
  std::size_t begin = 0;
  for (int k = 1; k < line; ++k) {
    const std::size_t nl = source.find('\n', begin);
    if (nl == std::string_view::npos) return {};
    begin = nl + 1;
  }
  std::size_t end = source.find('\n', begin);
  if (end == std::string_view::npos) end = source.size();
  std::string_view text = source.substr(begin, end - begin);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

// The line, and under it a caret at `column`; tabs are kept so that the
// caret lines up however the terminal expands them.
void show_place(std::ostream& err, std::string_view text, int column) {
  err << "    " << text << "\n    ";
  for (int k = 1; k < column && static_cast<std::size_t>(k - 1) < text.size(); ++k) {
    err << (text[static_cast<std::size_t>(k - 1)] == '\t' ? '\t' : ' ');
  }
  err << "^\n";
}

}  // namespace

std::string declaration(const MethodInfo& m) {
  auto type_name = [](ArgKind kind) {
    switch (kind) {
      case ArgKind::kDoubleArray:
      case ArgKind::kDouble: return "Double";
      case ArgKind::kLong: return "Long";
      case ArgKind::kString: return "String";
      case ArgKind::kVariant: return "Variant";
    }
    return "";
  };
  std::string text = m.result == ResultKind::kNone ? "Sub " : "Function ";
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
  return text;
}

std::string ArgumentError::what_is_wrong() const {
  const MethodInfo& m = *method_;
  auto plural = [](std::size_t n) {
    return std::to_string(n) + (n == 1 ? " argument" : " arguments");
  };
  if (number() == ErrorNumber::kWrongNumberOfArguments) {
    return std::string(m.name) + " takes " + plural(m.args.size()) + ", " + std::to_string(given_) +
           " given";
  }
  const ArgumentInfo& a = m.args[index_];
  std::string text = "argument " + std::to_string(index_ + 1) + " (" + std::string(a.name) +
                     ") of " + std::string(m.name);
  switch (number()) {
    case ErrorNumber::kArgumentNotOptional: return text + " is missing";
    case ErrorNumber::kInvalidUseOfNull: return text + " is Null";
    case ErrorNumber::kOverflow:
      return text + (a.kind == ArgKind::kLong ? " is beyond the range of a Long"
                                              : " is beyond the range of a Double");
    default: break;
  }
  switch (a.kind) {
    case ArgKind::kDoubleArray: return text + " is not an array of numbers";
    case ArgKind::kDouble: return text + " is not a number";
    case ArgKind::kLong: return text + " is not a whole number";
    case ArgKind::kString: return text + " is not a text";
    case ArgKind::kVariant: break;
  }
  return text + " does not convert";
}

int report_failure(std::ostream& err, std::string_view where, std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const ArgumentError& e) {
    err << where << "Run-time error '" << e.code() << "': " << e.description() << ": "
        << e.what_is_wrong() << "\n    " << declaration(e.method()) << '\n';
    return kExitRunTimeError;
  } catch (const Error& e) {
    err << where << "Run-time error '" << e.code() << "': " << e.description() << '\n';
    return kExitRunTimeError;
  } catch (const std::bad_alloc&) {
    err << where << "Run-time error '" << static_cast<int>(ErrorNumber::kOutOfMemory)
        << "': " << describe(ErrorNumber::kOutOfMemory) << '\n';
    return kExitRunTimeError;
  } catch (const std::exception& e) {
    err << where << "nodrel: internal error: " << e.what() << '\n';
  } catch (...) {
    err << where << "nodrel: internal error\n";
  }
  return kExitInternal;
}

int report_syntax(std::ostream& err, std::string_view source_name, std::string_view source,
                  std::span<const Diagnostic> errors) {
  for (const Diagnostic& d : errors) {
    err << source_name << ':' << d.at.line << ':' << d.at.column << ": syntax error: " << d.message
        << '\n';
    show_place(err, source_line(source, d.at.line), d.at.column);
  }
  return kExitUsage;
}

int report_argument(std::ostream& err, std::size_t index, std::string_view word,
                    const Diagnostic& error) {
  err << "nodrel: argument " << index << ", column " << error.at.column
      << ": syntax error: " << error.message << '\n';
  show_place(err, source_line(word, error.at.line), error.at.column);
  return kExitUsage;
}

int report_pattern(std::ostream& err, std::string_view pattern, std::exception_ptr failure) {
  err << "nodrel: --format '" << pattern << "': ";
  // The pattern is the user's input, not a call that failed: bad usage.
  return report_failure(err, "", failure) == kExitInternal ? kExitInternal : kExitUsage;
}

int report_unknown_method(std::ostream& err, std::string_view where, std::string_view name) {
  err << where << unknown_method(name) << "\nTry 'nodrel --list' for the methods.\n";
  return kExitUsage;
}

int report_usage(std::ostream& err, std::string_view message) {
  err << "nodrel: " << message << "\nTry 'nodrel --help' for more information.\n";
  return kExitUsage;
}

}  // namespace nodrel::cli
