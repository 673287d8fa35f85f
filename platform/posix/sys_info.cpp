// The system information tool on POSIX systems: there is no registry, so
// the tool is the first of the well-known ones found on $PATH.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "nodrel/error.hpp"
#include "platform/posix/posix_platform.hpp"

extern char** environ;

namespace nodrel::detail {

const std::vector<std::string>& sys_info_tools() {
  static const std::vector<std::string> kTools = {"hardinfo2", "hardinfo", "kinfocenter",
                                                  "lshw-gtk", "gnome-system-monitor"};
  return kTools;
}

std::string find_sys_info_tool(const std::string& path_variable,
                               const std::vector<std::string>& tools) {
  for (const std::string& tool : tools) {
    std::size_t start = 0;
    while (start <= path_variable.size()) {
      std::size_t end = path_variable.find(':', start);
      if (end == std::string::npos) end = path_variable.size();
      const std::string dir = path_variable.substr(start, end - start);
      if (!dir.empty()) {
        const std::string candidate = dir + "/" + tool;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
          return candidate;
        }
      }
      start = end + 1;
    }
  }
  return "";
}

void start_detached(const std::string& path) {
  // A program that is not an executable file cannot start.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), X_OK) != 0) {
    raise(ErrorNumber::kFileNotFound);
  }
  // A shell starts the tool in the background and exits at once: the tool is
  // adopted by init, the caller waits only for the shell, and no fork of the
  // client's own process is needed.
  const char* shell_argv[] = {"/bin/sh", "-c", "\"$0\" </dev/null >/dev/null 2>&1 &", path.c_str(),
                              nullptr};
  pid_t shell = 0;
  if (::posix_spawn(&shell, "/bin/sh", nullptr, nullptr, const_cast<char**>(shell_argv), environ) !=
      0) {
    raise(ErrorNumber::kFileNotFound);
  }
  int status = 0;
  while (::waitpid(shell, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) raise(ErrorNumber::kFileNotFound);
}

}  // namespace nodrel::detail
