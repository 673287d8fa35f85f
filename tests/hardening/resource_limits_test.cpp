// Requests too large to serve: an array of an order of 100,000 x 100,000, a
// pattern of a million characters. Each fails with run-time error 7 before
// anything of the caller's changes, early bound and late bound alike.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hardening/values.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/matr.hpp"
#include "nodrel/platform.hpp"
#include "support/expect_error.hpp"

namespace nodrel::hardening {
namespace {

// Upper bounds 100,000 and not one element: a client can hold such an array
// (its lower bounds are 100,001), and a method that takes its shape for a
// result must refuse the result.
DoubleArray without_elements(std::int32_t u1, std::int32_t u2) {
  return DoubleArray(std::vector<ArrayBound>{{u1 + 1, 0}, {u2 + 1, 0}});
}

TEST(ResourceLimitTest, OrdersBeyondTheArrayLimitFailWith7AndLeaveTheArray) {
  const DoubleArray small = DoubleArray::matrix({{1, 2}, {3, 4}});
  const DoubleArray huge = without_elements(100000, 100000);
  struct Row {
    const char* name;
    DoubleArray target;
    std::function<void(Matr&, DoubleArray&)> call;
  };
  const std::vector<Row> rows = {
      {"mMakeMatrNul 100,000 x 100,000", small,
       [](Matr& m, DoubleArray& a) { m.mMakeMatrNul(a, 100000, 100000); }},
      {"mMakeMatrNul at the edge of 32 bits", DoubleArray(),
       [](Matr& m, DoubleArray& a) { m.mMakeMatrNul(a, INT32_MAX, INT32_MAX); }},
      {"mMakeMatrI", small, [](Matr& m, DoubleArray& a) { m.mMakeMatrI(a, 100000); }},
      {"mMakeVectNul", small, [](Matr& m, DoubleArray& a) { m.mMakeVectNul(a, INT32_MAX); }},
      {"mMakeVectI", DoubleArray::vector({5}),
       [](Matr& m, DoubleArray& a) { m.mMakeVectI(a, INT32_MAX); }},
      {"mDupl of huge bounds", small, [&](Matr& m, DoubleArray& a) { m.mDupl(a, huge); }},
      {"mTrasp of huge bounds", small, [&](Matr& m, DoubleArray& a) { m.mTrasp(a, huge); }},
      {"mMult of a long column by a long row", small,
       [](Matr& m, DoubleArray& a) {
         m.mMult(a, without_elements(100000, 1), without_elements(1, 100000));
       }},
      {"mInv of order 20,000 (within its 16-bit order)", without_elements(20000, 20000),
       [](Matr& m, DoubleArray& a) { m.mInv(a); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Matr m;
    DoubleArray a = row.target;
    EXPECT_RUNTIME_ERROR(row.call(m, a), 7);
    EXPECT_EQ(a, row.target);
  }
}

TEST(ResourceLimitTest, LateBoundRequestsBeyondTheLimitLeaveTheCallersVariables) {
  struct Row {
    const char* name;
    const char* method;
    std::vector<Variant> args;
  };
  const Variant small = DoubleArray::matrix({{1, 2}, {3, 4}});
  VariantArray huge_table;  // an array of variants of the same shape
  huge_table.bounds = {{100001, 0}, {100001, 0}};
  const std::vector<Row> rows = {
      {"never dimensioned stays Empty",
       "mMakeMatrNul",
       {Variant(), Variant(100000), Variant(100000)}},
      {"an array stays as it was", "mMakeMatrNul", {small, Variant("100000"), Variant(100000.0)}},
      {"identity", "mMakeMatrI", {small, Variant(INT32_MAX)}},
      {"copy of an array of variants", "mDupl", {small, Variant(huge_table)}},
      {"copy of an array of doubles",
       "mTrasp",
       {Variant(), Variant(without_elements(100000, 100000))}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Matr m;
    std::vector<Variant> args = row.args;
    EXPECT_RUNTIME_ERROR(invoke(m, row.method, pointers(args)), 7);
    for (std::size_t k = 0; k < args.size(); ++k) {
      EXPECT_TRUE(same(args[k], row.args[k])) << "argument " << k;
    }
  }
}

TEST(ResourceLimitTest, APatternOfAMillionCharactersFailsWith7AndPrintsNothing) {
  const std::vector<std::pair<const char*, Variant>> prints = {
      {"number", Variant(2.5)},
      {"vector", Variant(DoubleArray::vector({1, 2}))},
      {"matrix", Variant(DoubleArray::matrix({{1, 2}, {3, 4}}))},
  };
  for (const std::string& pattern :
       {std::string(1000000, '0'), "\"" + std::string(999998, 'x') + "\"",
        "0" + std::string(999999, '%')}) {
    for (const auto& [name, to_print] : prints) {
      SCOPED_TRACE(name + (" with a pattern of " + pattern.substr(0, 2)));
      Matr m;
      auto label = std::make_shared<CaptionLabel>();
      EXPECT_RUNTIME_ERROR(m.mPrint(to_print, Variant(std::shared_ptr<Object>(label)), {},
                                    Variant(pattern), {}, {}, Variant(false)),
                           7);
      EXPECT_EQ(label->caption, "old");
    }
  }
  // The longest pattern served: a million bytes less one.
  Matr m;
  auto label = std::make_shared<CaptionLabel>();
  m.mPrint(Variant(7), Variant(std::shared_ptr<Object>(label)), {},
           Variant(std::string(999999, '0')), {}, {}, Variant(false));
  EXPECT_EQ(label->caption, "\r\n" + std::string(999998, '0') + "7  ");
}

// A header of 300 labels a million characters wide each would be 300 MB of
// text: composition stops at 256 MiB with error 7 and delivers nothing.
TEST(ResourceLimitTest, APrintTextBeyond256MiBFailsWith7) {
  Matr m;
  auto label = std::make_shared<CaptionLabel>();
  const Variant wide(DoubleArray(std::vector<ArrayBound>{{1, 0}, {0, 301}}));  // 0 x 300
  EXPECT_RUNTIME_ERROR(m.mPrint(wide, Variant(std::shared_ptr<Object>(label)), {},
                                Variant(std::string(999999, '0')), {}, {}, Variant(false)),
                       7);
  EXPECT_EQ(label->caption, "old");
}

}  // namespace
}  // namespace nodrel::hardening
