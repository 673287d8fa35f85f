// EXPECT_RUNTIME_ERROR(statement, number): the statement fails with the
// run-time error of that number (and its standard description).
#ifndef NODREL_TESTS_SUPPORT_EXPECT_ERROR_HPP
#define NODREL_TESTS_SUPPORT_EXPECT_ERROR_HPP

#include <gtest/gtest.h>

#include "nodrel/error.hpp"

#define EXPECT_RUNTIME_ERROR(statement, expected_number)                                          \
  do {                                                                                            \
    try {                                                                                         \
      statement;                                                                                  \
      ADD_FAILURE() << "expected run-time error " << (expected_number) << " from " << #statement; \
    } catch (const ::nodrel::Error& e_) {                                                         \
      EXPECT_EQ(e_.code(), (expected_number)) << #statement << ": " << e_.what();                 \
    }                                                                                             \
  } while (false)

#endif  // NODREL_TESTS_SUPPORT_EXPECT_ERROR_HPP
