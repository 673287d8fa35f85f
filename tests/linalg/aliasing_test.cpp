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

struct AliasCase {
  const char* name;
  // Draws the shared array first, then the other arguments.
  std::function<Args(Inputs&)> make;
  // The call with a[0] in both places.
  std::function<void(nodrel::Matr&, Args&)> aliased;
  // The same call with `dest` (a copy of a[0]) as the destination.
  std::function<void(nodrel::Matr&, DoubleArray& dest, Args&)> distinct;
};

Outcome run_case(const std::function<void(nodrel::Matr&)>& call, nodrel::Matr& m) {
  Outcome o;
  try {
    call(m);
  } catch (const Error& e) {
    o.error = e.code();
  }
  o.err_code = m.ErrCode();
  return o;
}

TEST(AliasingTest, DestinationThatIsASourceActsAsADistinctArray) {
  const auto square = [](Inputs& in) {
    const std::int32_t n = in.order(5);
    const Family f = in.family();
    return Args{in.matrix(n, in.chance(0.1) ? in.order(5) : n, f), in.matrix(n, n, f)};
  };
  const AliasCase cases[] = {
      {"mTrasp(A, A)", square, [](auto& m, Args& a) { m.mTrasp(a[0], a[0]); },
       [](auto& m, DoubleArray& d, Args& a) { m.mTrasp(d, a[0]); }},
      {"mSum(A, A, B)", square, [](auto& m, Args& a) { m.mSum(a[0], a[0], a[1]); },
       [](auto& m, DoubleArray& d, Args& a) { m.mSum(d, a[0], a[1]); }},
      {"mMult(A, A, B)", square, [](auto& m, Args& a) { m.mMult(a[0], a[0], a[1]); },
       [](auto& m, DoubleArray& d, Args& a) { m.mMult(d, a[0], a[1]); }},
      {"mMult(A, B, A)", square, [](auto& m, Args& a) { m.mMult(a[0], a[1], a[0]); },
       [](auto& m, DoubleArray& d, Args& a) { m.mMult(d, a[1], a[0]); }},
      {"mMult(A, A, A)", square, [](auto& m, Args& a) { m.mMult(a[0], a[0], a[0]); },
       [](auto& m, DoubleArray& d, Args& a) { m.mMult(d, a[0], a[0]); }},
      {"mMultVett(v, M, v)",
       [](Inputs& in) {
         const std::int32_t n = in.order(6);
         return Args{in.vector(n), in.matrix(in.order(6), n)};
       },
       [](auto& m, Args& a) { m.mMultVett(a[0], a[1], a[0]); },
       [](auto& m, DoubleArray& d, Args& a) { m.mMultVett(d, a[1], a[0]); }},
      {"mDivd(A, A, B)", square, [](auto& m, Args& a) { m.mDivd(a[0], a[0], a[1]); },
       [](auto& m, DoubleArray& d, Args& a) { m.mDivd(d, a[0], a[1]); }},
      {"mDivd(A, B, A)", square, [](auto& m, Args& a) { m.mDivd(a[0], a[1], a[0]); },
       [](auto& m, DoubleArray& d, Args& a) { m.mDivd(d, a[1], a[0]); }},
      {"mSist(b, A, b)",
       [](Inputs& in) {
         const std::int32_t n = in.order(6);
         return Args{in.vector(n), in.matrix(n, n)};
       },
       [](auto& m, Args& a) { m.mSist(a[0], a[1], a[0]); },
       [](auto& m, DoubleArray& d, Args& a) {
         DoubleArray b = a[0];
         m.mSist(d, a[1], b);
       }},
  };
  Inputs in(0x29u);
  for (const AliasCase& c : cases) {
    SCOPED_TRACE(c.name);
    int failures = 0;
    for (int trial = 0; trial < 300 && failures < 3; ++trial) {
      const Args args = c.make(in);
      Args shared = args;
      nodrel::Matr m1;
      Outcome aliased = run_case([&](nodrel::Matr& m) { c.aliased(m, shared); }, m1);
      aliased.arrays = shared;
      Args separate = args;
      DoubleArray dest = args[0];
      nodrel::Matr m2;
      Outcome distinct = run_case([&](nodrel::Matr& m) { c.distinct(m, dest, separate); }, m2);
      separate[0] = dest;
      distinct.arrays = separate;
      const std::string difference = outcome_difference(aliased, distinct);
      if (!difference.empty()) {
        ++failures;
        ADD_FAILURE() << "trial " << trial << ": " << difference << "\ninputs:\n" << describe(args);
      }
    }
  }
}

}  // namespace
}  // namespace nodrel::reference
