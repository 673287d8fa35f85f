// The nodrel host's language: whole scripts and single command-line values.
//
// Input: the text. Parsing never fails by exception (syntax.hpp), so any
// exception at all is a finding, a run-time error included. Beyond that:
//   - at most kMaxDiagnostics errors, each at a line and column of the text;
//   - a single value parses to a value or to the screen, nothing else;
//   - the text kept for each statement of a script without errors ("the
//     statement as written", echoed by the host) parses again to one
//     statement of the same kind without errors.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/syntax.hpp"
#include "fuzz/fuzz_support.hpp"

namespace nodrel::fuzz {
namespace {

void check_position(const cli::Position& at, std::string_view text, const char* what) {
  const auto lines = 1 + std::count(text.begin(), text.end(), '\n');
  if (at.line < 1 || at.line > lines || at.column < 1 ||
      static_cast<std::size_t>(at.column) > text.size() + 1) {
    finding("%s at line %d, column %d of a text of %zu bytes", what, at.line, at.column,
            text.size());
  }
}

void check(std::string_view text) {
  const cli::Script script = cli::parse_script(text);
  if (script.errors.size() > cli::kMaxDiagnostics) finding("more diagnostics than the limit");
  for (const cli::Diagnostic& d : script.errors) check_position(d.at, text, "a diagnostic");
  for (const cli::Statement& st : script.statements) check_position(st.at, text, "a statement");
  if (script.errors.empty()) {
    for (const cli::Statement& st : script.statements) {
      if (st.kind == cli::Statement::Kind::kComment) continue;
      const cli::Script again = cli::parse_script(st.text);
      if (!again.errors.empty() || again.statements.size() != 1 ||
          again.statements[0].kind != st.kind) {
        finding("the statement as written, \"%s\", does not parse to itself", st.text.c_str());
      }
    }
  }

  const cli::ParsedValue value = cli::parse_value(text);
  if (value.error) {
    check_position(value.error->at, text, "a value's diagnostic");
  } else if (value.expr.kind != cli::Expr::Kind::kValue &&
             value.expr.kind != cli::Expr::Kind::kScreen) {
    finding("a single value parsed to an expression of another kind");
  }
}

}  // namespace
}  // namespace nodrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  nodrel::fuzz::expect_result_or("script", {}, [&] { nodrel::fuzz::check(text); });
  return 0;
}
