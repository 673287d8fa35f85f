#include "cli/terminal.hpp"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#ifdef NODREL_WITH_LIBEDIT
#include <editline/readline.h>
#endif

namespace nodrel::cli {

namespace {

#ifdef NODREL_WITH_LIBEDIT
// libedit's readline interface: editing keys, and history with the arrows.
class Editline : public LineReader {
 public:
  std::optional<std::string> read_line(const std::string& prompt) override {
    std::cout.flush();
    char* line = readline(prompt.c_str());
    if (line == nullptr) return std::nullopt;
    std::string text(line);
    std::free(line);
    if (text.find_first_not_of(" \t") != std::string::npos) add_history(text.c_str());
    return text;
  }
};
#endif

// Without libedit: the terminal's own line editing.
class Plain : public LineReader {
 public:
  std::optional<std::string> read_line(const std::string& prompt) override {
    std::cout << prompt;
    std::cout.flush();
    std::string text;
    if (!std::getline(std::cin, text)) return std::nullopt;
    return text;
  }
};

}  // namespace

std::unique_ptr<LineReader> open_terminal() {
#ifdef _WIN32
  if (!_isatty(_fileno(stdin))) return nullptr;
#else
  if (!isatty(STDIN_FILENO)) return nullptr;
#endif
#ifdef NODREL_WITH_LIBEDIT
  return std::make_unique<Editline>();
#else
  return std::make_unique<Plain>();
#endif
}

}  // namespace nodrel::cli
