// Run-time errors.
//
// A method of Matr reports a condition it tests for through ErrCode and
// returns normally. Everything else (an index outside an array, an overflow,
// a conversion that fails) ends the call with a numbered run-time error: a
// nodrel::Error carrying the automation error number and its standard
// description. Every such error is raised through nodrel::raise().
//
//   try {
//     m.mInv(a);
//   } catch (const nodrel::Error& e) {
//     e.number();       // -> 9
//     e.description();  // -> "Subscript out of range"
//     e.what();         // -> "Run-time error '9': Subscript out of range"
//   }
#ifndef NODREL_ERROR_HPP
#define NODREL_ERROR_HPP

#include <stdexcept>
#include <string>
#include <string_view>

#include "nodrel/export.hpp"

namespace nodrel {

// The run-time error numbers a client can receive. The numbers are those of
// OLE Automation and are part of the interface: never renumber.
enum class ErrorNumber : int {
  kInvalidProcedureCall = 5,            // "Invalid procedure call or argument"
  kOverflow = 6,                        // "Overflow"
  kOutOfMemory = 7,                     // "Out of memory"
  kSubscriptOutOfRange = 9,             // "Subscript out of range"
  kArrayFixedOrLocked = 10,             // "This array is fixed or temporarily locked"
  kDivisionByZero = 11,                 // "Division by zero"
  kTypeMismatch = 13,                   // "Type mismatch"
  kBadFileNameOrNumber = 52,            // "Bad file name or number"
  kFileNotFound = 53,                   // "File not found"
  kDeviceIoError = 57,                  // "Device I/O error"
  kDiskFull = 61,                       // "Disk full"
  kPermissionDenied = 70,               // "Permission denied"
  kPathFileAccessError = 75,            // "Path/File access error"
  kPathNotFound = 76,                   // "Path not found"
  kInvalidUseOfNull = 94,               // "Invalid use of Null"
  kCantPerformRequestedOperation = 17,  // "Can't perform requested operation"
  kObjectRequired = 424,                // "Object required"
  kObjectDoesntSupport = 438,           // "Object doesn't support this property or method"
  kAutomationError = 440,               // "Automation error"
  kArgumentNotOptional = 449,           // "Argument not optional"
  kWrongNumberOfArguments = 450,  // "Wrong number of arguments or invalid property assignment"
};

// The standard description of an error number, for example
// describe(ErrorNumber::kOverflow) -> "Overflow". A number outside the enum
// gives "Application-defined or object-defined error".
NODREL_API std::string_view describe(ErrorNumber number) noexcept;

// A run-time error: the call that raised it failed.
class NODREL_API Error : public std::runtime_error {
 public:
  // The standard description of the number.
  explicit Error(ErrorNumber number);
  // A description of the caller's choosing, for errors whose text the
  // platform supplies (a file that cannot be opened, a clipboard that fails).
  Error(ErrorNumber number, std::string description);

  ErrorNumber number() const noexcept { return number_; }
  int code() const noexcept { return static_cast<int>(number_); }
  const std::string& description() const noexcept { return description_; }

 private:
  ErrorNumber number_;
  std::string description_;
};

// Raises run-time error `number` with its standard description. Every
// user-facing failure of the component goes through this function or its
// overload, so there is one place to break on.
[[noreturn]] NODREL_API void raise(ErrorNumber number);
[[noreturn]] NODREL_API void raise(ErrorNumber number, std::string description);

}  // namespace nodrel

#endif  // NODREL_ERROR_HPP
