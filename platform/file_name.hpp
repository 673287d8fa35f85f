// The checks a print file's name passes before any platform opens it.
//
//   check_file_name("")            -> run-time error 75 (Path/File access error)
//   check_file_name("a\0b" (3))    -> run-time error 52 (Bad file name or number)
//   check_file_name("out.txt")     -> returns
#ifndef NODREL_PRINT_FILE_NAME_HPP
#define NODREL_PRINT_FILE_NAME_HPP

#include <string>

#include "nodrel/error.hpp"

namespace nodrel::detail {

inline void check_file_name(const std::string& path) {
  if (path.empty()) {
    const ErrorNumber number = ErrorNumber::kPathFileAccessError;
    raise(number, std::string(describe(number)) + " (the file name is empty)");
  }
  // A NUL would cut the path short and open another file than the one named.
  if (path.find('\0') != std::string::npos) {
    const ErrorNumber number = ErrorNumber::kBadFileNameOrNumber;
    raise(number, std::string(describe(number)) + " (the file name contains a NUL character)");
  }
}

}  // namespace nodrel::detail

#endif  // NODREL_PRINT_FILE_NAME_HPP
