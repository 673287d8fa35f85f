// nodrel: the command-line host of the Nodrel component.
#include <iostream>
#include <string>
#include <vector>

#include "cli/host.hpp"
#include "cli/terminal.hpp"
#ifdef NODREL_WITH_DESKTOP
#include "nodrel/desktop.hpp"
#endif

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
#ifdef NODREL_WITH_DESKTOP
  nodrel::desktop::install();
#endif
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const auto terminal = nodrel::cli::open_terminal();
  const int status = nodrel::cli::run_host(args, std::cin, std::cout, std::cerr, terminal.get());
  std::cout.flush();
  return status;
}
