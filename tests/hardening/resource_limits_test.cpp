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

// Late bound: a variable never dimensioned stays Empty; an array of variants
// of a shape beyond the limit is refused too.
TEST(ResourceLimitTest, OrdersBeyondTheArrayLimitFailWith7AndLeaveTheArray) {
  const Variant small = DoubleArray::matrix({{1, 2}, {3, 4}}), none;
  const Variant huge = without_elements(100000, 100000);
  VariantArray huge_table;
  huge_table.bounds = {{100001, 0}, {100001, 0}};
  // clang-format off
  const std::vector<std::vector<Variant>> rows = {
      {"mMakeMatrNul", none, INT32_MAX, INT32_MAX},
      {"mMakeMatrNul", small, "100000", 100000.0},
      {"mMult", small, without_elements(100000, 1), without_elements(1, 100000)},
      {"mInv", without_elements(20000, 20000)},  // within the 16-bit order of an inverse
      {"mDupl", small, huge_table},
      {"mDupl", small, huge},
      {"mTrasp", none, huge}};
  // clang-format on
  for (const std::vector<Variant>& row : rows) {
    std::vector<Variant> args(row.begin() + 1, row.end());
    SCOPED_TRACE(*row[0].string() + " " + show(args.back()));
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
  const Variant values[] = {2.5, DoubleArray::vector({1, 2}),
                            DoubleArray::matrix({{1, 2}, {3, 4}})};
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
