// The lines a user types at a terminal, for the interactive mode.
#ifndef NODREL_CLI_TERMINAL_HPP
#define NODREL_CLI_TERMINAL_HPP

#include <memory>
#include <optional>
#include <string>

namespace nodrel::cli {

class LineReader {
 public:
  virtual ~LineReader() = default;
  // The next line, without its end, after showing `prompt`; nothing at the
  // end of the input.
  virtual std::optional<std::string> read_line(const std::string& prompt) = 0;
};

// The terminal on standard input, with line editing and history when the
// host is built with libedit; nullptr when standard input is no terminal.
std::unique_ptr<LineReader> open_terminal();

}  // namespace nodrel::cli

#endif  // NODREL_CLI_TERMINAL_HPP
