// Help for each method, from the method table: what `nodrel --help METHOD`
// shows and what docs/methods.md holds.
#ifndef NODREL_CLI_HELP_HPP
#define NODREL_CLI_HELP_HPP

#include <string>

#include "nodrel/dispatch.hpp"

namespace nodrel::cli {

// The declaration, the line of help, what the method reads and writes, what
// must exist first, its ErrCode values and errors, and a command that runs.
std::string method_help(const MethodInfo& method);

// The command line of the method's example: "nodrel mDet '[[2,1],[1,3]]'".
std::string method_example(const MethodInfo& method);

// docs/methods.md: every method's help, in table order.
std::string methods_reference();

}  // namespace nodrel::cli

#endif  // NODREL_CLI_HELP_HPP
