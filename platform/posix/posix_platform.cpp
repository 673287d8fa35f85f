// The default platform on POSIX systems: the controlling terminal as the
// message box, the desktop's clipboard through its command-line tools, and
// files by their path as given.
#include "platform/posix/posix_platform.hpp"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "nodrel/platform.hpp"
#include "platform/file_name.hpp"

extern char** environ;

namespace nodrel::detail {

ErrorNumber file_error_number(int error_value) noexcept {
  switch (error_value) {
    case EACCES:
    case EPERM: return ErrorNumber::kPermissionDenied;
    case ENOENT:
    case ENOTDIR: return ErrorNumber::kPathNotFound;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ErrorNumber::kDiskFull;
    case EIO: return ErrorNumber::kDeviceIoError;
    default: return ErrorNumber::kPathFileAccessError;
  }
}

std::optional<ClipboardTool> choose_clipboard_tool(
    std::string_view wayland_display, std::string_view display,
    const std::function<bool(std::string_view)>& installed) {
  if (!wayland_display.empty() && installed("wl-copy") && installed("wl-paste")) {
    return ClipboardTool{{"wl-paste", "--no-newline", "--type", "text"},
                         {"wl-copy", "--type", "text/plain;charset=utf-8"},
                         {"wl-copy", "--clear"}};
  }
  // Under Wayland the X11 tools still serve when XWayland provides $DISPLAY.
  if (!display.empty()) {
    if (installed("xclip")) {
      return ClipboardTool{{"xclip", "-selection", "clipboard", "-out"},
                           {"xclip", "-selection", "clipboard", "-in"},
                           {}};
    }
    if (installed("xsel")) {
      return ClipboardTool{{"xsel", "--clipboard", "--output"},
                           {"xsel", "--clipboard", "--input"},
                           {"xsel", "--clipboard", "--clear"}};
    }
  }
  return std::nullopt;
}

namespace {

// ---------------------------------------------------------------------------
// Small POSIX helpers.

class Fd {
 public:
  explicit Fd(int fd = -1) noexcept : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  int get() const noexcept { return fd_; }
  // Closes now and reports whether the close succeeded (errno otherwise).
  bool reset() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Writes all of `data`, retrying after signals; false with errno set on a
// failure. Sockets are written without SIGPIPE: a tool that exits before
// reading its input must not kill the client's process.
bool write_all(int fd, std::string_view data, bool socket = false) {
  while (!data.empty()) {
    const ssize_t n = socket ? ::send(fd, data.data(), data.size(), MSG_NOSIGNAL)
                             : ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string describe_errno(ErrorNumber number, const std::string& what, int error_value) {
  return std::string(describe(number)) + " (" + what + ": " +
         std::generic_category().message(error_value) + ")";
}

[[noreturn]] void raise_file_error(int error_value, const std::string& path) {
  const ErrorNumber number = file_error_number(error_value);
  raise(number, describe_errno(number, path, error_value));
}

bool installed(std::string_view tool) {
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "/usr/bin:/bin";
  while (true) {
    const std::size_t colon = dirs.find(':');
    std::string_view dir = dirs.substr(0, colon);
    if (dir.empty()) dir = ".";
    const std::string candidate = std::string(dir) + "/" + std::string(tool);
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return true;
    }
    if (colon == std::string_view::npos) return false;
    dirs.remove_prefix(colon + 1);
  }
}

[[noreturn]] void raise_clipboard(const std::string& detail) {
  const ErrorNumber number = ErrorNumber::kCantPerformRequestedOperation;
  raise(number, std::string(describe(number)) + " (clipboard: " + detail + ")");
}

struct ToolRun {
  bool exited_ok = false;
  std::string status;  // how it ended, for a message
  std::string output;
};

// Runs a tool without a shell. `input` goes to its standard input (nothing
// when null), its standard output is returned when `capture` is set, and
// everything else goes to /dev/null. The X11 and Wayland tools that set the
// clipboard leave a process behind to serve it; since that process keeps the
// descriptors it inherited, only ones it cannot block on are handed over,
// and only the tool itself is waited for.
ToolRun run_tool(const std::vector<std::string>& argv, const std::string* input, bool capture) {
  int in_pair[2] = {-1, -1};
  if (input != nullptr && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in_pair) != 0) {
    raise_clipboard("socketpair: " + std::generic_category().message(errno));
  }
  Fd in_parent(in_pair[0]);
  Fd in_child(in_pair[1]);
  int out_pipe[2] = {-1, -1};
  if (capture && ::pipe2(out_pipe, O_CLOEXEC) != 0) {
    raise_clipboard("pipe: " + std::generic_category().message(errno));
  }
  Fd out_parent(out_pipe[0]);
  Fd out_child(out_pipe[1]);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  std::unique_ptr<posix_spawn_file_actions_t, int (*)(posix_spawn_file_actions_t*)> guard(
      &actions, posix_spawn_file_actions_destroy);
  if (input != nullptr) {
    posix_spawn_file_actions_adddup2(&actions, in_child.get(), STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  if (capture) {
    posix_spawn_file_actions_adddup2(&actions, out_child.get(), STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int spawn_error = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  if (spawn_error != 0) {
    raise_clipboard(argv[0] + ": " + std::generic_category().message(spawn_error));
  }
  in_child.reset();
  out_child.reset();

  ToolRun run;
  if (input != nullptr) {
    // A tool that stops reading early (EPIPE) tells why through its status.
    write_all(in_parent.get(), *input, /*socket=*/true);
    in_parent.reset();
  }
  if (capture) {
    char buf[4096];
    while (true) {
      const ssize_t n = ::read(out_parent.get(), buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      run.output.append(buf, static_cast<std::size_t>(n));
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno == EINTR) continue;
    // A host that ignores SIGCHLD has its children reaped for it: the status
    // is lost, and the tool is taken to have done its work.
    if (errno == ECHILD) {
      run.exited_ok = true;
      return run;
    }
    raise_clipboard("waitpid: " + std::generic_category().message(errno));
  }
  if (WIFEXITED(status)) {
    run.exited_ok = WEXITSTATUS(status) == 0;
    run.status = argv[0] + " exited with status " + std::to_string(WEXITSTATUS(status));
  } else {
    run.status = argv[0] + " ended by signal " + std::to_string(WTERMSIG(status));
  }
  return run;
}

// ---------------------------------------------------------------------------

class PosixPlatform final : public Platform {
 public:
  void message_box(const std::string& text) override {
    Fd tty(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (tty.get() < 0) {
      // No terminal to wait on: show the text where a user may still see it.
      if (!write_all(STDERR_FILENO, text + "\n")) raise_message_box(errno);
      return;
    }
    // The print text ends without a line end, so the prompt starts its own.
    if (!write_all(tty.get(), text + "\r\n[ OK ] Press Enter to close. ")) raise_message_box(errno);
    char c = 0;
    while (true) {
      const ssize_t n = ::read(tty.get(), &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || c == '\n' || c == '\r') break;  // Enter, or the terminal went away
    }
  }

  std::string clipboard_get_text() override {
    const ClipboardTool tool = clipboard_tool();
    // The tools fail when the clipboard holds no text, which reads as empty.
    ToolRun run = run_tool(tool.get, nullptr, /*capture=*/true);
    return run.exited_ok ? std::move(run.output) : std::string();
  }

  void clipboard_clear() override {
    const ClipboardTool tool = clipboard_tool();
    if (tool.clear.empty()) {
      set_with(tool, "");
      return;
    }
    const ToolRun run = run_tool(tool.clear, nullptr, /*capture=*/false);
    if (!run.exited_ok) raise_clipboard(run.status);
  }

  void clipboard_set_text(const std::string& text) override { set_with(clipboard_tool(), text); }

  void write_file(const std::string& path, const std::string& text, bool append) override {
    detail::check_file_name(path);
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    Fd file(::open(path.c_str(), flags, 0666));
    if (file.get() < 0) raise_file_error(errno, path);
    std::string line = text;
    line += "\r\n";
    if (!write_all(file.get(), line)) raise_file_error(errno, path);
    // Closing reports what a delayed write could not do (a full disk on NFS).
    if (!file.reset()) raise_file_error(errno, path);
  }

 private:
  [[noreturn]] static void raise_message_box(int error_value) {
    const ErrorNumber number = ErrorNumber::kDeviceIoError;
    raise(number, describe_errno(number, "message box", error_value));
  }

  static ClipboardTool clipboard_tool() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* display = std::getenv("DISPLAY");
    const std::optional<ClipboardTool> tool = choose_clipboard_tool(
        wayland != nullptr ? wayland : "", display != nullptr ? display : "", installed);
    if (tool) return *tool;
    if ((wayland == nullptr || *wayland == '\0') && (display == nullptr || *display == '\0')) {
      raise_clipboard("no display: neither $DISPLAY nor $WAYLAND_DISPLAY is set");
    }
    raise_clipboard("none of wl-copy/wl-paste, xclip or xsel is installed");
  }

  static void set_with(const ClipboardTool& tool, const std::string& text) {
    const ToolRun run = run_tool(tool.set, &text, /*capture=*/false);
    if (!run.exited_ok) raise_clipboard(run.status);
    // The tools hand the text to a process of their own that stays behind
    // to serve it, and may return before that process owns the clipboard.
    // A read in that moment would still get the old text, and the next
    // append would build on it and lose this one; so the call returns once
    // the clipboard shows the new text (or, should another program have
    // taken the clipboard meanwhile, after a second at most).
    constexpr int kChecks = 100;
    for (int k = 0; k < kChecks; ++k) {
      ToolRun read = run_tool(tool.get, nullptr, /*capture=*/true);
      if (read.exited_ok ? read.output == text : text.empty()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
};

}  // namespace

}  // namespace nodrel::detail

namespace nodrel {

std::shared_ptr<Platform> system_platform() {
  static const std::shared_ptr<Platform> instance = std::make_shared<detail::PosixPlatform>();
  return instance;
}

}  // namespace nodrel
