#include "nodrel/error.hpp"

#include <gtest/gtest.h>

#include <string>

namespace nodrel {
namespace {

// Every number a client can receive keeps its number and its standard text:
// both are part of the interface.
TEST(ErrorTest, NumbersAndDescriptions) {
  struct Row {
    ErrorNumber number;
    int code;
    const char* description;
  };
  const Row rows[] = {
      {ErrorNumber::kInvalidProcedureCall, 5, "Invalid procedure call or argument"},
      {ErrorNumber::kOverflow, 6, "Overflow"},
      {ErrorNumber::kOutOfMemory, 7, "Out of memory"},
      {ErrorNumber::kSubscriptOutOfRange, 9, "Subscript out of range"},
      {ErrorNumber::kArrayFixedOrLocked, 10, "This array is fixed or temporarily locked"},
      {ErrorNumber::kDivisionByZero, 11, "Division by zero"},
      {ErrorNumber::kTypeMismatch, 13, "Type mismatch"},
      {ErrorNumber::kCantPerformRequestedOperation, 17, "Can't perform requested operation"},
      {ErrorNumber::kBadFileNameOrNumber, 52, "Bad file name or number"},
      {ErrorNumber::kFileNotFound, 53, "File not found"},
      {ErrorNumber::kDeviceIoError, 57, "Device I/O error"},
      {ErrorNumber::kDiskFull, 61, "Disk full"},
      {ErrorNumber::kPermissionDenied, 70, "Permission denied"},
      {ErrorNumber::kPathFileAccessError, 75, "Path/File access error"},
      {ErrorNumber::kPathNotFound, 76, "Path not found"},
      {ErrorNumber::kInvalidUseOfNull, 94, "Invalid use of Null"},
      {ErrorNumber::kObjectRequired, 424, "Object required"},
      {ErrorNumber::kObjectDoesntSupport, 438, "Object doesn't support this property or method"},
      {ErrorNumber::kAutomationError, 440, "Automation error"},
      {ErrorNumber::kArgumentNotOptional, 449, "Argument not optional"},
      {ErrorNumber::kWrongNumberOfArguments, 450,
       "Wrong number of arguments or invalid property assignment"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    EXPECT_EQ(static_cast<int>(row.number), row.code);
    EXPECT_EQ(describe(row.number), row.description);
    try {
      raise(row.number);
      ADD_FAILURE() << "raise returned";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), row.number);
      EXPECT_EQ(e.code(), row.code);
      EXPECT_EQ(e.description(), row.description);
      EXPECT_EQ(std::string(e.what()),
                "Run-time error '" + std::to_string(row.code) + "': " + row.description);
    }
  }
}

TEST(ErrorTest, UnknownNumberHasTheGenericText) {
  EXPECT_EQ(describe(static_cast<ErrorNumber>(1234)),
            "Application-defined or object-defined error");
}

TEST(ErrorTest, PlatformSuppliedDescriptionIsKept) {
  try {
    raise(ErrorNumber::kPathNotFound, "Path not found: /no/such/dir");
    ADD_FAILURE() << "raise returned";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), 76);
    EXPECT_EQ(e.description(), "Path not found: /no/such/dir");
  }
}

}  // namespace
}  // namespace nodrel
