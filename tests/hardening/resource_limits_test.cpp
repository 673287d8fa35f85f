// Requests too large to serve: an array of an order of 100,000 x 100,000, a
// pattern of a million characters, a print text beyond 256 MiB. Each fails
// with run-time error 7 before anything of the caller's changes, early bound
// and late bound alike.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "nodrel/dispatch.hpp"
#include "nodrel/matr.hpp"
#include "support/fakes.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

// Upper bounds u1 and u2 and not one element: a client can hold such an
// array (its lower bounds are u + 1), and a method that takes its shape for
// a result must refuse the result.
DoubleArray without_elements(std::int32_t u1, std::int32_t u2) {
  return DoubleArray(std::vector<ArrayBound>{{u1 + 1, 0}, {u2 + 1, 0}});
}

TEST(ResourceLimitTest, OrdersBeyondTheArrayLimitFailWith7AndLeaveTheArray) {
  // The orders the late-bound rows below ask for are not repeated here.
  const DoubleArray small = DoubleArray::matrix({{1, 2}, {3, 4}});
  const DoubleArray huge = without_elements(100000, 100000);
  using A = DoubleArray;
  // clang-format off
  check({
      {"32 bits", A(), [](Matr& m, A& a) { m.mMakeMatrNul(a, INT32_MAX, INT32_MAX); }, 7, ""},
      {"zero vector", small, [](Matr& m, A& a) { m.mMakeVectNul(a, INT32_MAX); }, 7, ""},
      {"ones", small, [](Matr& m, A& a) { m.mMakeVectI(a, INT32_MAX); }, 7, ""},
      {"column by row", small, [](Matr& m, A& a) { m.mMult(a, without_elements(100000, 1), without_elements(1, 100000)); }, 7, ""},
      // Within the 16-bit order of an inverse, beyond the array limit.
      {"inverse", without_elements(20000, 20000), [](Matr& m, A& a) { m.mInv(a); }, 7, ""},
  });
  // clang-format on
  // Late bound: a variable never dimensioned stays Empty; an array of
  // variants of the same shape is refused too.
  VariantArray huge_table;
  huge_table.bounds = {{100001, 0}, {100001, 0}};
  const std::vector<std::vector<Variant>> rows = {{"mMakeMatrNul", Variant(), 100000, 100000},
                                                  {"mMakeMatrNul", small, "100000", 100000.0},
                                                  {"mMakeMatrI", small, INT32_MAX},
                                                  {"mDupl", small, huge_table},
                                                  {"mDupl", small, huge},
                                                  {"mTrasp", Variant(), huge}};
  for (const std::vector<Variant>& row : rows) {
    std::vector<Variant> args(row.begin() + 1, row.end());
    SCOPED_TRACE(*row[0].string() + " " + show(args[1]));
    Matr m;
    EXPECT_RUNTIME_ERROR(invoke(m, *row[0].string(), pointers(args)), 7);
    for (std::size_t k = 0; k < args.size(); ++k) EXPECT_EQ(show(args[k]), show(row[k + 1]));
  }
}

// What mPrint leaves on a label emptied first, or the error it fails with.
std::string print(const Variant& to_print, const std::string& pattern) {
  Matr m;
  fakes::Log log;
  auto label = std::make_shared<fakes::FakeLabel>(log, "old");
  try {
    m.mPrint(to_print, fakes::object_variant(label), {}, Variant(pattern), {}, {}, Variant(false));
  } catch (const Error& e) {
    return "error " + std::to_string(e.code()) + " " + label->caption;
  }
  return label->caption;
}

// The longest pattern served is a million bytes less one. A header of 300
// labels a million characters wide each would be 300 MB of text:
// composition stops at 256 MiB and delivers nothing.
TEST(ResourceLimitTest, PatternsOfAMillionCharactersAndTextsBeyond256MiB) {
  const std::string zeros(999999, '0');
  const std::string patterns[] = {zeros + "0", "\"" + std::string(999998, 'x') + "\"",
                                  "0" + std::string(999999, '%')};
  const Variant values[] = {2.5, DoubleArray::vector({1, 2}), DoubleArray::matrix({{1, 2}, {3, 4}})};
  for (const std::string& pattern : patterns) {
    for (const Variant& to_print : values) {
      EXPECT_EQ(print(to_print, pattern), "error 7 old") << pattern.substr(0, 2) << show(to_print);
    }
  }
  EXPECT_EQ(print(7, zeros), "\r\n" + std::string(999998, '0') + "7  ");
  EXPECT_EQ(print(DoubleArray(std::vector<ArrayBound>{{1, 0}, {0, 301}}), zeros), "error 7 old");
}

}  // namespace
}  // namespace nodrel
