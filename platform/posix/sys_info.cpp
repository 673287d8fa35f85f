#include "platform/posix/sys_info.hpp"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "nodrel/error.hpp"

extern char** environ;

namespace nodrel::detail {

namespace {
constexpr std::uintptr_t kToolKey = 1;
constexpr long kNotFound = 2;  // the registry's "file not found"
}  // namespace

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

PosixSysInfo::PosixSysInfo(std::function<void(const std::string&)> message_box)
    : message_box_(std::move(message_box)) {}

long PosixSysInfo::open_key(std::uint32_t root, const std::string& key, std::uint32_t,
                            std::uintptr_t& handle) {
  if (root != about::kHkeyLocalMachine || key != "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO") {
    return kNotFound;
  }
  const char* path = std::getenv("PATH");
  tool_ = find_sys_info_tool(path != nullptr ? path : "", sys_info_tools());
  if (tool_.empty()) return kNotFound;
  handle = kToolKey;
  return 0;
}

long PosixSysInfo::query_value(std::uintptr_t handle, const std::string& name, std::uint32_t& type,
                               unsigned char* buffer, std::uint32_t& size) {
  if (handle != kToolKey || name != "PATH") return kNotFound;
  const std::size_t needed = tool_.size() + 1;  // with its terminating zero
  if (needed > size) return 234;                // more data than the buffer holds
  std::memcpy(buffer, tool_.c_str(), needed);
  size = static_cast<std::uint32_t>(needed);
  type = about::kRegString;
  return 0;
}

void PosixSysInfo::close_key(std::uintptr_t) {}

bool PosixSysInfo::file_exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void PosixSysInfo::start_program(const std::string& path) {
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

void PosixSysInfo::message_box(const std::string& text) { message_box_(text); }

}  // namespace nodrel::detail
