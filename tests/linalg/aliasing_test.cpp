// A destination that is also a source gives what distinct arrays give: the
// call with one array in both places is held against the same call with the
// destination a separate copy of it, over random inputs, failures included.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "nodrel/matr.hpp"
#include "reference/compare.hpp"

namespace nodrel::reference {
namespace {

using Args = std::vector<DoubleArray>;

TEST(AliasingTest, DestinationThatIsASourceActsAsADistinctArray) {
  const auto square = [](Inputs& in) {
    const std::int32_t n = in.order(5);
    const Family f = in.family();
    return Args{in.matrix(n, in.chance(0.1) ? in.order(5) : n, f), in.matrix(n, n, f)};
  };
  // A vector of order n first, then a matrix with n columns (mMultVett) or
  // of order n (mSist).
  const auto vector_first = [](Inputs& in) {
    const std::int32_t n = in.order(6);
    return Args{in.vector(n), in.matrix(in.chance(0.5) ? n : in.order(6), n)};
  };
  struct Case {
    const char* name;
    std::function<Args(Inputs&)> make;
    // The call with `d` as the destination: a[0] itself, or a copy of it.
    std::function<void(nodrel::Matr&, DoubleArray& d, Args& a)> call;
  };
  const Case cases[] = {
      {"mTrasp(A, A)", square, [](auto& m, auto& d, Args& a) { m.mTrasp(d, a[0]); }},
      {"mSum(A, A, B)", square, [](auto& m, auto& d, Args& a) { m.mSum(d, a[0], a[1]); }},
      {"mMult(A, A, B)", square, [](auto& m, auto& d, Args& a) { m.mMult(d, a[0], a[1]); }},
      {"mMult(A, B, A)", square, [](auto& m, auto& d, Args& a) { m.mMult(d, a[1], a[0]); }},
      {"mMult(A, A, A)", square, [](auto& m, auto& d, Args& a) { m.mMult(d, a[0], a[0]); }},
      {"mDivd(A, A, B)", square, [](auto& m, auto& d, Args& a) { m.mDivd(d, a[0], a[1]); }},
      {"mDivd(A, B, A)", square, [](auto& m, auto& d, Args& a) { m.mDivd(d, a[1], a[0]); }},
      {"mMultVett(v, M, v)", vector_first,
       [](auto& m, auto& d, Args& a) { m.mMultVett(d, a[1], a[0]); }},
      {"mSist(b, A, b)", vector_first, [](auto& m, auto& d, Args& a) { m.mSist(d, a[1], a[0]); }},
  };
  Inputs in(0x29u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int failures = 0;
    for (int trial = 0; trial < 300 && failures < 3; ++trial) {
      const Args args = c.make(in);
      nodrel::Matr m1, m2;
      const Outcome aliased = run(m1, args, [&](auto& m, Args& a) { c.call(m, a[0], a); });
      DoubleArray dest = args[0];
      Outcome distinct = run(m2, args, [&](auto& m, Args& a) { c.call(m, dest, a); });
      distinct.arrays[0] = dest;
      const std::string difference = outcome_difference(aliased, distinct);
      if (!difference.empty()) {
        ++failures;
        ADD_FAILURE() << "trial " << trial << ":" << difference << "\ninputs:" << describe(args);
      }
    }
  }
}

}  // namespace
}  // namespace nodrel::reference
