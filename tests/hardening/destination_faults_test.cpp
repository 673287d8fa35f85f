// Faults of the print destinations, called late bound as a client calls:
// files that cannot be opened or written, a clipboard without a display or
// without a tool, a client object or a platform service that raises an
// error. Each reaches the caller as the run-time error of the fault, after
// what mPrint wrote into the caller's variables before delivering (Perif's
// keyword; RowCol false for a number), with what the destination had done
// before the fault still done, and nothing more.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hardening/values.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "nodrel/platform.hpp"
#include "print/fakes.hpp"
#include "support/expect_error.hpp"

namespace nodrel::hardening {
namespace {

namespace fs = std::filesystem;
using namespace testing_fakes;

// The error number with which `body` ends in a child process (0: none, 255:
// another exception). A child can give up privileges or change its
// environment without touching the test process.
int error_in_child(const std::function<void()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    try {
      body();
      ::_exit(0);
    } catch (const Error& e) {
      ::_exit(e.code() & 0xFF);
    } catch (...) {
      ::_exit(255);
    }
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// mPrint of the number 2.5 to Perif, late bound; the caller's Perif and
// RowCol variables as the call left them.
struct Printed {
  Variant perif;
  Variant row_col = Variant(true);
};
void print_number(Matr& m, Printed& p, Variant obj = Variant::missing(),
                  Variant append = Variant::missing()) {
  Variant to_print = 2.5;
  Variant* args[] = {&to_print, &obj, &p.perif, nullptr, nullptr, &p.row_col, &append};
  invoke(m, "mPrint", args);
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "nodrel-faults-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, ignored);
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

// In a child: the print fails, after Perif (the keyword `perif`) and RowCol
// (false) are written, with a description that holds `described`.
void print_fails_after_write_back(const std::string& path, const std::string& perif,
                                  const std::string& described = "") {
  Matr m;
  Printed p{Variant(path)};
  try {
    print_number(m, p);
  } catch (const Error& e) {
    if (p.perif.string() == nullptr || *p.perif.string() != perif) std::abort();
    if (p.row_col.boolean() == nullptr || *p.row_col.boolean()) std::abort();
    if (e.description().find(described) == std::string::npos) std::abort();
    throw;
  }
}

TEST(DestinationFaultTest, FilesThatCannotBeOpenedOrWrittenFailAfterPerifIsWritten) {
  TempDir dir;
  const fs::perms read_and_search = fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(dir.path(), read_and_search | fs::perms::owner_write);
  const fs::path read_only = dir.path() / "read-only";
  fs::create_directory(read_only);
  fs::permissions(read_only, read_and_search);
  std::ofstream(dir.path() / "plain").close();
  struct Row {
    const char* name;
    std::string path;
    int error;
  };
  const std::vector<Row> rows = {
      {"a missing directory", (dir.path() / "missing" / "x.txt").string(), 76},
      {"a file for a directory", (dir.path() / "plain" / "x.txt").string(), 76},
      {"an empty name", "", 75},
      {"a directory", dir.path().string(), 75},
      {"a NUL in the name", (dir.path() / "x").string() + std::string(1, '\0') + "y", 52},
      {"a full device", "/dev/full", 61},
      {"a read-only directory", (read_only / "out.txt").string(), 70},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // Run without privileges that write anywhere: root writes into a
    // read-only directory.
    EXPECT_EQ(error_in_child([&] {
                if (::geteuid() == 0 && ::setuid(65534) != 0) std::abort();
                print_fails_after_write_back(row.path, upper(row.path));
              }),
              row.error);
  }
  std::vector<std::string> entries;
  for (const auto& e : fs::directory_iterator(dir.path())) entries.push_back(e.path().filename());
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"plain", "read-only"}));
  EXPECT_TRUE(fs::is_empty(read_only));
  EXPECT_EQ(fs::file_size(dir.path() / "plain"), 0u);
}

TEST(DestinationFaultTest, AClipboardWithoutADisplayOrAToolFailsWith17AfterPerifIsWritten) {
  EXPECT_EQ(error_in_child([] {
              ::unsetenv("DISPLAY");
              ::setenv("WAYLAND_DISPLAY", "", 1);
              set_default_platform(nullptr);
              print_fails_after_write_back("clipboard", "CLIPBOARD", "no display");
            }),
            17);
  EXPECT_EQ(error_in_child([] {
              ::setenv("DISPLAY", ":99", 1);
              ::setenv("WAYLAND_DISPLAY", "w-9", 1);
              ::setenv("PATH", "/nonexistent", 1);
              set_default_platform(nullptr);
              print_fails_after_write_back("Clipboard", "CLIPBOARD", "xclip");
            }),
            17);
}

template <typename Fake, typename... Args>
std::function<Variant(const char*)> fake(Log& log, Args... args) {
  return [&log, args...](const char* fail_on) {
    auto object = std::make_shared<Fake>(log, args...);
    object->fail_on = fail_on;
    return object_variant(object);
  };
}

TEST(DestinationFaultTest, AnErrorOfTheDestinationEndsTheCallWithWhatItDidBefore) {
  Log log;
  const auto platform = std::make_shared<FakePlatform>(log);
  const auto none = [](const char*) { return Variant::missing(); };
  const auto form = fake<FakeSurface<Form>>(log, std::string("Form"));
  const auto box = fake<FakeTextBox>(log);
  const auto label = fake<FakeLabel>(log);
  const auto printer = fake<FakePrinter>(log);
  const std::string text = "(\r\n2.5000E+00  )";
  struct Row {
    const char* fail_on;
    std::function<Variant(const char*)> obj;
    const char* perif;
    Log done;  // the calls made, the failing one last
  };
  // Append is false: a surface is cleared and a text box or label emptied
  // before the text goes to it.
  const std::vector<Row> rows = {
      {"Form.Cls", form, "MSGBOX", {"Form.Cls"}},
      {"Form.Print", form, "MSGBOX", {"Form.Cls", "Form.Print" + text}},
      {"TextBox.put_Text", box, "MSGBOX", {"TextBox.put_Text()"}},
      {"TextBox.get_Text", box, "MSGBOX", {"TextBox.put_Text()", "TextBox.get_Text"}},
      {"Label.put_Caption", label, "MSGBOX", {"Label.put_Caption()"}},
      {"Label.get_Caption", label, "MSGBOX", {"Label.put_Caption()", "Label.get_Caption"}},
      {"Printer.Print", printer, "MSGBOX", {"Printer.Print" + text}},
      {"Printer.EndDoc", printer, "MSGBOX", {"Printer.Print" + text, "Printer.EndDoc"}},
      {"Clipboard.set", none, "clipboard", {"Clipboard.clear", "Clipboard.set" + text}},
      {"MsgBox", none, "MsgBox", {"MsgBox" + text}},
      {"File.output", none, "f.txt", {"File.output(f.txt, \r\n2.5000E+00  )"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fail_on);
    log.clear();
    platform->fail_on = row.fail_on;
    Matr m;
    m.set_locale(Locale::c());
    m.set_platform(platform);
    Printed p{Variant(row.perif)};
    const Variant obj = row.obj(row.fail_on);
    EXPECT_RUNTIME_ERROR(print_number(m, p, obj, Variant(false)), 57);
    EXPECT_EQ(log, row.done);
    const std::string keyword = obj.is_missing() ? upper(row.perif) : "OBJECT";
    EXPECT_TRUE(same(p.perif, Variant(keyword)));
    EXPECT_TRUE(same(p.row_col, Variant(false)));
  }
}

}  // namespace
}  // namespace nodrel::hardening
