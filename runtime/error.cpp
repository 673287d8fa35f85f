#include "nodrel/error.hpp"

#include <string>
#include <utility>

#include "runtime/fp_check.hpp"

namespace nodrel {

std::string_view describe(ErrorNumber number) noexcept {
  switch (number) {
    case ErrorNumber::kInvalidProcedureCall: return "Invalid procedure call or argument";
    case ErrorNumber::kOverflow: return "Overflow";
    case ErrorNumber::kOutOfMemory: return "Out of memory";
    case ErrorNumber::kSubscriptOutOfRange: return "Subscript out of range";
    case ErrorNumber::kArrayFixedOrLocked: return "This array is fixed or temporarily locked";
    case ErrorNumber::kDivisionByZero: return "Division by zero";
    case ErrorNumber::kTypeMismatch: return "Type mismatch";
    case ErrorNumber::kCantPerformRequestedOperation: return "Can't perform requested operation";
    case ErrorNumber::kBadFileNameOrNumber: return "Bad file name or number";
    case ErrorNumber::kFileNotFound: return "File not found";
    case ErrorNumber::kDeviceIoError: return "Device I/O error";
    case ErrorNumber::kDiskFull: return "Disk full";
    case ErrorNumber::kPermissionDenied: return "Permission denied";
    case ErrorNumber::kPathFileAccessError: return "Path/File access error";
    case ErrorNumber::kPathNotFound: return "Path not found";
    case ErrorNumber::kInvalidUseOfNull: return "Invalid use of Null";
    case ErrorNumber::kObjectRequired: return "Object required";
    case ErrorNumber::kObjectDoesntSupport: return "Object doesn't support this property or method";
    case ErrorNumber::kAutomationError: return "Automation error";
    case ErrorNumber::kArgumentNotOptional: return "Argument not optional";
    case ErrorNumber::kWrongNumberOfArguments:
      return "Wrong number of arguments or invalid property assignment";
  }
  return "Application-defined or object-defined error";
}

namespace {
std::string compose(ErrorNumber number, const std::string& description) {
  return "Run-time error '" + std::to_string(static_cast<int>(number)) + "': " + description;
}
}  // namespace

Error::Error(ErrorNumber number) : Error(number, std::string(describe(number))) {}

Error::Error(ErrorNumber number, std::string description)
    : std::runtime_error(compose(number, description)),
      number_(number),
      description_(std::move(description)) {}

void raise(ErrorNumber number) { throw Error(number); }

void raise(ErrorNumber number, std::string description) {
  throw Error(number, std::move(description));
}

namespace detail {
void raise_fp_fault(unsigned bits) {
  if ((bits & FpFlags::kInvalid) != 0) raise(ErrorNumber::kOverflow);
  if ((bits & FpFlags::kDivByZero) != 0) raise(ErrorNumber::kDivisionByZero);
  if ((bits & FpFlags::kOverflow) != 0) raise(ErrorNumber::kOverflow);
}
}  // namespace detail

}  // namespace nodrel
