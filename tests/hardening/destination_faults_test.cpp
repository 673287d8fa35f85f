// Faults of the print destinations, called late bound as a client calls:
// a file that cannot be opened or written, a clipboard without a display, a
// client object whose members raise errors. Each reaches the caller as the
// run-time error of the fault, after what mPrint wrote into the caller's
// variables before delivering (Perif's keyword; RowCol false for a number),
// and with what the destination had done before the fault still done.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hardening/values.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "nodrel/platform.hpp"

namespace nodrel::hardening {
namespace {

namespace fs = std::filesystem;

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
void print_number(Printed& p, Variant obj = Variant::missing()) {
  Matr m;
  Variant to_print = 2.5;
  Variant* args[] = {&to_print, &obj, &p.perif, nullptr, nullptr, &p.row_col};
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

TEST(DestinationFaultTest, FilesThatCannotBeWrittenFailAfterPerifIsWritten) {
  TempDir dir;
  const fs::path read_only = dir.path() / "read-only";
  fs::create_directory(read_only);
  fs::permissions(read_only, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec);
  struct Row {
    const char* name;
    std::string path;
    int error;
  };
  const std::vector<Row> rows = {
      {"a full device", "/dev/full", 61},
      {"a directory", dir.path().string(), 75},
      {"a read-only directory", (read_only / "out.txt").string(), 70},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // Run without privileges that write anywhere: root writes into a
    // read-only directory.
    const int error = error_in_child([&] {
      if (::geteuid() == 0 && ::setuid(65534) != 0) std::abort();
      Printed p{Variant(row.path)};
      try {
        print_number(p);
      } catch (const Error&) {
        if (p.perif.string() == nullptr || *p.perif.string() != upper(row.path)) std::abort();
        if (p.row_col.boolean() == nullptr || *p.row_col.boolean()) std::abort();
        throw;
      }
    });
    EXPECT_EQ(error, row.error);
  }
  EXPECT_TRUE(fs::is_empty(read_only));
}

TEST(DestinationFaultTest, AClipboardWithoutADisplayFailsWith17AfterPerifIsWritten) {
  const int error = error_in_child([] {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    set_default_platform(nullptr);
    Printed p{Variant("clipboard")};
    try {
      print_number(p);
    } catch (const Error&) {
      if (p.perif.string() == nullptr || *p.perif.string() != "CLIPBOARD") std::abort();
      throw;
    }
  });
  EXPECT_EQ(error, 17);
}

// Records the members called on a client object, and raises error 57 from
// the one named `failing` instead.
class Steps {
 public:
  explicit Steps(std::string failing) : failing_(std::move(failing)) {}
  void step(const std::string& member) {
    if (member == failing_) raise(ErrorNumber::kDeviceIoError);
    done.push_back(member);
  }
  std::vector<std::string> done;

 private:
  std::string failing_;
};

class FaultyForm : public Form, public Steps {
 public:
  using Steps::Steps;
  void Cls() override { step("Cls"); }
  void Print(const std::string&) override { step("Print"); }
};
class FaultyTextBox : public TextBox, public Steps {
 public:
  using Steps::Steps;
  std::string get_Text() override {
    step("get_Text");
    return "old";
  }
  void put_Text(const std::string&) override { step("put_Text"); }
};
class FaultyLabel : public Label, public Steps {
 public:
  using Steps::Steps;
  std::string get_Caption() override {
    step("get_Caption");
    return "old";
  }
  void put_Caption(const std::string&) override { step("put_Caption"); }
};
class FaultyPrinter : public Printer, public Steps {
 public:
  using Steps::Steps;
  void Print(const std::string&) override { step("Print"); }
  void EndDoc() override { step("EndDoc"); }
};

template <typename Kind>
std::shared_ptr<Object> make(const std::string& failing) {
  return std::make_shared<Kind>(failing);
}

TEST(DestinationFaultTest, AClientObjectsErrorEndsTheCallWithWhatItDidBefore) {
  struct Row {
    const char* failing;
    std::shared_ptr<Object> (*make)(const std::string&);
    std::vector<std::string> done_before;
  };
  // Append is false: a surface is cleared and a text box or label emptied
  // before the text goes to it.
  const std::vector<Row> rows = {
      {"Cls", make<FaultyForm>, {}},          {"Print", make<FaultyForm>, {"Cls"}},
      {"put_Text", make<FaultyTextBox>, {}},  {"get_Text", make<FaultyTextBox>, {"put_Text"}},
      {"put_Caption", make<FaultyLabel>, {}}, {"get_Caption", make<FaultyLabel>, {"put_Caption"}},
      {"Print", make<FaultyPrinter>, {}},     {"EndDoc", make<FaultyPrinter>, {"Print"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.failing);
    const std::shared_ptr<Object> object = row.make(row.failing);
    Matr m;
    Variant to_print = 2.5, obj = object, perif = "MSGBOX", row_col = true, append = false;
    Variant* args[] = {&to_print, &obj, &perif, nullptr, nullptr, &row_col, &append};
    try {
      invoke(m, "mPrint", args);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), 57);
    }
    EXPECT_EQ(dynamic_cast<Steps&>(*object).done, row.done_before);
    EXPECT_TRUE(same(perif, Variant("OBJECT")));
    EXPECT_TRUE(same(row_col, Variant(false)));
    EXPECT_TRUE(same(to_print, Variant(2.5)));
  }
}

}  // namespace
}  // namespace nodrel::hardening
