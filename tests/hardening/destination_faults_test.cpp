// The default POSIX platform's print destinations, for real: files on disk,
// and their faults called late bound as a client calls: files that cannot
// be opened or written, a clipboard without a display or without a tool.
// Each fault reaches the caller as the run-time error of the fault, after
// what mPrint wrote into the caller's variables before delivering (Perif's
// keyword; RowCol false for a number). An error of a client object or a
// platform service is print_test.cpp's; the message box and the About box on
// a terminal are tests/cli/e2e_test.cpp's; the clipboard on a real display
// is tests/about/desktop_test.cpp's.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "nodrel/dispatch.hpp"
#include "nodrel/platform.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

namespace fs = std::filesystem;

// Perif's keyword form: the text in upper case.
std::string keyword(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A new folder of its own under the temporary one.
fs::path new_folder(const char* name) {
  std::string pattern = (fs::temp_directory_path() / name).string() + "-XXXXXX";
  return ::mkdtemp(pattern.data()) != nullptr ? fs::path(pattern) : fs::path();
}

// The error number with which mPrint of 2.5 to `perif` ends in a child
// process, once its description holds `described` and Perif and RowCol are
// written back (255: another outcome). The child sets the variables of `env`
// and gives up privileges that write anywhere (root writes into a read-only
// folder) without touching the test process.
int error_in_child(const std::string& perif, const std::string& described, const std::string& env) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::istringstream words(env);
    for (std::string w; words >> w;) ::putenv(::strdup(w.c_str()));
    set_default_platform(nullptr);
    if (::geteuid() == 0 && ::setuid(65534) != 0) std::abort();
    Matr m;
    Variant to_print = 2.5, obj = Variant::missing(), where = perif, row_col = true, add = false;
    Variant* args[] = {&to_print, &obj, &where, nullptr, nullptr, &row_col, &add};
    int number = 255;
    try {
      invoke(m, "mPrint", args);
    } catch (const Error& e) {
      const bool written = show(where) == show(Variant(keyword(perif))) && !*row_col.boolean();
      if (written && e.description().find(described) != std::string::npos) number = e.code();
    }
    ::_exit(number & 0xFF);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(DestinationFaultTest, FilesAndTheClipboardFailAfterPerifIsWritten) {
  const fs::path dir = new_folder("nodrel-faults"), read_only = dir / "read-only";
  ASSERT_FALSE(dir.empty());
  fs::create_directory(read_only);
  const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(read_only, write, fs::perm_options::remove);
  fs::permissions(dir, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
  std::ofstream(dir / "plain").close();
  const struct {
    std::string perif, described, env;
    int number;
  } cases[] = {
      {(dir / "missing" / "x.txt").string(), "", "", 76},
      {(dir / "plain" / "x.txt").string(), "", "", 76},
      {"", "", "", 75},
      {dir.string(), "", "", 75},
      {(dir / "x").string() + std::string(1, '\0') + "y", "", "", 52},
      {"/dev/full", "", "", 61},
      {(read_only / "out.txt").string(), "", "", 70},
      {"clipboard", "no display", "DISPLAY= WAYLAND_DISPLAY=", 17},
      {"Clipboard", "xclip", "DISPLAY=:99 WAYLAND_DISPLAY=w-9 PATH=/nonexistent", 17},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(error_in_child(c.perif, c.described, c.env), c.number) << c.perif;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  EXPECT_TRUE(fs::is_empty(read_only));
  EXPECT_EQ(fs::file_size(dir / "plain"), 0u);
  fs::permissions(read_only, fs::perms::owner_all);
  fs::remove_all(dir);
}

TEST(PosixPlatformTest, FilesAppendWithALineEndOrStartOverAtThePathAsWritten) {
  const fs::path dir = new_folder("nodrel-print"), path = dir / "Mixed.Txt";
  ASSERT_FALSE(dir.empty());
  const auto open_descriptors = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  Matr m;
  m.set_locale(Locale::c());
  const auto print = [&](const char* comment, Variant append) {
    Variant perif = path.string();
    m.mPrint(Variant(DoubleArray::vector({1})), {}, perif, {}, Variant(comment), {}, append);
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str() + " " + *perif.string();
  };
  const auto descriptors = open_descriptors();
  print("A", Variant::missing());
  // The caller's variable gets the keyword form; the file keeps its name.
  const std::string upper = keyword(path.string());
  EXPECT_EQ(print("B", true), "A\r\n+1.0000E+00  \r\nB\r\n+1.0000E+00  \r\n " + upper);
  EXPECT_EQ(print("B", false), "B\r\n+1.0000E+00  \r\n " + upper);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  EXPECT_EQ(open_descriptors(), descriptors);  // each print closed its file
  fs::remove_all(dir);
}

}  // namespace
}  // namespace nodrel
