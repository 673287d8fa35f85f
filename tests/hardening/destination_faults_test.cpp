// Faults of the real print destinations, called late bound as a client
// calls: files that cannot be opened or written, a clipboard without a
// display or without a tool. Each reaches the caller as the run-time error
// of the fault, after what mPrint wrote into the caller's variables before
// delivering (Perif's keyword; RowCol false for a number). An error of a
// client object or a platform service is print_test.cpp's.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "nodrel/dispatch.hpp"
#include "nodrel/platform.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

namespace fs = std::filesystem;

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// mPrint of the number 2.5 to Perif, late bound, replacing what obj holds;
// the error it ends with and the caller's Perif and RowCol afterwards.
std::string print_number(Matr& m, Variant perif, Variant obj = Variant::missing()) {
  Variant to_print = 2.5, row_col = true, append = false;
  Variant* args[] = {&to_print, &obj, &perif, nullptr, nullptr, &row_col, &append};
  std::string error = "no error";
  try {
    invoke(m, "mPrint", args);
  } catch (const Error& e) {
    error = "error " + std::to_string(e.code()) + " (" + e.description() + ")";
  }
  return error + ", " + show(perif) + ", " + show(row_col);
}

// The error number with which the print to `perif` ends in a child process
// (255: another outcome) after writing back the keyword and RowCol. A child
// can give up privileges or change its environment without touching the
// test process.
int error_in_child(const std::string& perif, const std::string& described,
                   const std::function<void()>& prepare) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    prepare();
    Matr m;
    const std::string got = print_number(m, perif);
    const std::string tail = ", " + show(Variant(upper(perif))) + ", Boolean False";
    const auto number = got.rfind("error ", 0) == 0 ? std::atoi(got.c_str() + 6) : 0;
    ::_exit(got.find(described) != std::string::npos && got.ends_with(tail) ? number & 0xFF : 255);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(DestinationFaultTest, FilesAndTheClipboardFailAfterPerifIsWritten) {
  std::string pattern = (fs::temp_directory_path() / "nodrel-faults-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern, read_only = dir / "read-only";
  fs::create_directory(read_only);
  fs::permissions(read_only,
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  std::ofstream(dir / "plain").close();
  // Without privileges that write anywhere: root writes into a read-only
  // directory.
  const auto unprivileged = [] {
    if (::geteuid() == 0 && ::setuid(65534) != 0) std::abort();
  };
  const std::pair<std::string, int> files[] = {
      {(dir / "missing" / "x.txt").string(), 76},
      {(dir / "plain" / "x.txt").string(), 76},
      {"", 75},
      {dir.string(), 75},
      {(dir / "x").string() + std::string(1, '\0') + "y", 52},
      {"/dev/full", 61},
      {(read_only / "out.txt").string(), 70}};
  fs::permissions(dir, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
  for (const auto& [path, number] : files) {
    EXPECT_EQ(error_in_child(path, "", unprivileged), number) << path;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  EXPECT_TRUE(fs::is_empty(read_only));
  EXPECT_EQ(fs::file_size(dir / "plain"), 0u);
  fs::permissions(read_only, fs::perms::owner_all);
  fs::remove_all(dir);
  EXPECT_EQ(error_in_child("clipboard", "no display",
                           [] {
                             ::unsetenv("DISPLAY");
                             ::setenv("WAYLAND_DISPLAY", "", 1);
                             set_default_platform(nullptr);
                           }),
            17);
  EXPECT_EQ(error_in_child("Clipboard", "xclip",
                           [] {
                             ::setenv("DISPLAY", ":99", 1);
                             ::setenv("WAYLAND_DISPLAY", "w-9", 1);
                             ::setenv("PATH", "/nonexistent", 1);
                             set_default_platform(nullptr);
                           }),
            17);
}

}  // namespace
}  // namespace nodrel
