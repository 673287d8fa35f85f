// The nodrel command-line host: its options, its three ways of running (the
// tour, one call, a script) and its usage text.
#ifndef NODREL_CLI_HOST_HPP
#define NODREL_CLI_HOST_HPP

#include <istream>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/terminal.hpp"

namespace nodrel::cli {

// Runs the host with the command-line arguments after the program name and
// returns the exit status (report.hpp). `in` is the script read by "-";
// `terminal`, when standard input is a terminal, makes "-" interactive.
int run_host(std::span<const std::string> args, std::istream& in, std::ostream& out,
             std::ostream& err, LineReader* terminal = nullptr);

// The usage text of --help, and the built-in tour.
std::string_view usage_text();
std::string_view tour_script();

// The interface as a Visual Basic client declares it, from the method table:
// one method a line, then its description.
std::string method_listing();

}  // namespace nodrel::cli

#endif  // NODREL_CLI_HOST_HPP
