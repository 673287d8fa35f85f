#include "cli/help.hpp"

#include "cli/report.hpp"
#include "binding/method_table.hpp"

namespace nodrel::cli {

namespace {

const detail::MethodDoc& doc_of(const MethodInfo& method) {
  return detail::kMethodDocs[static_cast<std::size_t>(&method - methods().data())];
}

// The arguments only read, or those written: "mtrA, vetB".
std::string arguments(const MethodInfo& method, bool written) {
  std::string text;
  for (const ArgumentInfo& a : method.args) {
    if ((a.role != ArgRole::kRead) != written) continue;
    text += (text.empty() ? "" : ", ") + std::string(a.name);
    if (a.role == ArgRole::kRedimensioned) text += " (re-dimensioned)";
    if (a.role == ArgRole::kWritten && a.kind == ArgKind::kDoubleArray) text += " (in place)";
  }
  return text;
}

}  // namespace

std::string method_example(const MethodInfo& method) {
  const detail::MethodDoc& doc = doc_of(method);
  return "nodrel " + std::string(method.name) + (doc.example.empty() ? "" : " ") +
         std::string(doc.example);
}

std::string method_help(const MethodInfo& method) {
  const detail::MethodDoc& doc = doc_of(method);
  std::string text = declaration(method) + "\n    " + std::string(method.help) + "\n\n";
  if (const std::string read = arguments(method, false); !read.empty()) {
    text += "Reads:    " + read + "\n";
  }
  if (const std::string written = arguments(method, true); !written.empty()) {
    text += "Writes:   " + written + "\n";
  }
  if (!doc.needs.empty()) text += "Needs:    " + std::string(doc.needs) + "\n";
  text += "ErrCode:  " + std::string(doc.errcodes) + "\n";
  text += "Errors:   " + std::string(doc.errors) + "\n";
  text += "Example:  " + method_example(method) + "\n";
  return text;
}

std::string methods_reference() {
  std::string text =
      "# The methods of Matr\n\n"
      "Made by `nodrel --reference` from the method table; `nodrel --help METHOD` shows one.\n";
  for (const MethodInfo& m : methods()) {
    text += "\n## " + std::string(m.name) + "\n\n```text\n" + method_help(m) + "```\n";
  }
  return text;
}

}  // namespace nodrel::cli
