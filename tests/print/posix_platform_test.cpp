// The default POSIX platform's files, for real, on disk. The message box and
// the About box on a terminal are the host's end-to-end test's
// (tests/cli/e2e_test.cpp); the clipboard on a real display is
// tests/about/desktop_test.cpp's; the refusals of files and of a clipboard
// without a display or a tool are hardening/destination_faults_test.cpp's.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "nodrel/matr.hpp"

namespace nodrel {
namespace {

namespace fs = std::filesystem;

long open_descriptors() {
  return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
}

TEST(PosixPlatformTest, FilesAppendWithALineEndOrStartOverAtThePathAsWritten) {
  std::string pattern = (fs::temp_directory_path() / "nodrel-print-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path path = fs::path(pattern) / "Mixed.Txt";
  Matr m;
  m.set_locale(Locale::c());
  const auto print = [&](const char* comment, Variant append) {
    Variant perif = path.string();
    m.mPrint(Variant(DoubleArray::vector({1})), {}, perif, {}, Variant(comment), {}, append);
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str() + " " + *perif.string();
  };
  std::string upper = path.string();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const long descriptors = open_descriptors();
  print("A", Variant::missing());
  // The caller's variable gets the keyword form; the file keeps its name.
  EXPECT_EQ(print("B", true), "A\r\n+1.0000E+00  \r\nB\r\n+1.0000E+00  \r\n " + upper);
  EXPECT_EQ(print("B", false), "B\r\n+1.0000E+00  \r\n " + upper);
  EXPECT_EQ(std::distance(fs::directory_iterator(pattern), fs::directory_iterator()), 1);
  EXPECT_EQ(open_descriptors(), descriptors);  // each print closed its file
  fs::remove_all(pattern);
}

}  // namespace
}  // namespace nodrel
