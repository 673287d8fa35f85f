// The methods that make, copy, exchange and inspect arrays: the shapes they
// give, the bits they keep, and what each failure leaves in the caller's
// array (written before the fault, untouched after). Their plain successes
// are in the table of every method in tests/binding/dispatch_test.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "nodrel/matr.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

using Call = std::function<void(Matr&, DoubleArray&)>;

DoubleArray fixed(DoubleArray a) {
  a.set_fixed(true);
  return a;
}
DoubleArray bounds(std::vector<ArrayBound> b) { return DoubleArray(std::move(b)); }
// One method on the caller's array, with the further arguments given.
template <typename... Args>
Call call(void (Matr::*method)(DoubleArray&, Args...), std::type_identity_t<Args>... args) {
  return [=](Matr& m, DoubleArray& a) { (m.*method)(a, args...); };
}
Call dupl(const DoubleArray& src) { return call(&Matr::mDupl, src); }
Call var(const Variant& v) { return call(&Matr::mDuplVar, v); }
Call swap_rc(const char* rc, std::int32_t i, std::int32_t j) {
  return call(&Matr::mSwapRC, rc, i, j);
}

const DoubleArray k2x2 = DoubleArray::matrix({{1, 2}, {3, 4}});
const DoubleArray k3x3 = DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
const DoubleArray k2x3 = DoubleArray::matrix({{1, 2, 3}, {4, 5, 6}});
const std::string k2x2From0 = "0..2,0..2 [0,0,0;0,1,2;0,3,4]";
const double kSnan = std::numeric_limits<double>::signaling_NaN();

TEST(ConstructTest, MakeCopyAndExchange) {
  using D = DoubleArray;
  using VA = VariantArray;
  const DoubleArray v = D::vector({9, 9}), none;
  const DoubleArray from0 = D::matrix({{7, 7}, {7, 5}}, 0, 0);
  // clang-format off
  check({
      {"order 0", v, call(&Matr::mMakeMatrI, 0), 0, "0..0,0..0 [0]"},
      {"negative order", v, call(&Matr::mMakeMatrNul, 2, -1), 9, ""},
      {"negative order, vector", v, call(&Matr::mMakeVectNul, -1), 9, ""},
      {"a fixed array", fixed(v), call(&Matr::mMakeVectI, 2), 10, ""},
      {"copy of a 0-based source", none, dupl(from0), 0, "0..1,0..1 [0,0;0,5]"},
      {"copy keeps the bits", none, dupl(D::matrix({{-0.0, kSnan}})), 0, "0..1,0..2 [0,0,0;0,-0,snan]"},
      {"copy onto its source", k2x2, [](Matr& m, DoubleArray& a) { m.mDupl(a, a); }, 0, k2x2From0},
      {"copy of a vector", k2x2, dupl(v), 9, ""},
      {"copy of a source without (1, 1)", k2x2, dupl(D::matrix({{1, 2}, {3, 4}}, 2, 2)), 9, "0..3,0..3 [0,0,0,0;0,0,0,0;0,0,0,0;0,0,0,0]"},
      {"copy onto a fixed array", fixed(k2x2), dupl(k3x3), 10, ""},
      {"variant: doubles", none, var(Variant(k2x2)), 0, k2x2From0},
      {"variant: variants", none, var(VA::vector({1, "2", true, {}})), 0, "0..4 [0,1,2,-1,0]"},
      {"variant: 0-based", none, var(VA::matrix({{9, 9}, {9, 4}}, 0, 0)), 0, "0..1,0..1 [0,0;0,4]"},
      {"variant: numeric text", none, var("2.5"), 0, "0..1,0..1 [0,0;0,2.5]"},
      {"variant: text that is no number", k2x2, var("abc"), 0, ""},
      {"variant: an element no number", none, var(VA::vector({1, 2, "x", 4})), 13, "0..4 [0,1,2,0,0]"},
      {"variant: a Null element", none, var(VA::vector({7, Variant::null()})), 94, "0..2 [0,7,0]"},
      {"variant: lower bound 2", none, var(bounds({{2, 2}})), 9, "0..3 [0,0,0,0]"},
      {"variant: upper 0", none, var(bounds({{0, 3}, {0, 1}})), 9, "0..2,0..0 [0;0;0]"},
      {"variant: upper -1", none, var(bounds({{0, 3}, {0, 0}})), 9, "0..2 [0,0,0]"},
      {"variant: never dimensioned", k2x2, var(none), 9, ""},
      {"columns", k3x3, swap_rc("C", 1, 2), 0, "1..3,1..3 [2,1,3;5,4,6;8,7,9]"},
      {"unknown selector", k3x3, swap_rc(" R", 1, 2), 0, ""},
      {"row 0, over columns 1 on", D::matrix({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, 0, 0), swap_rc("R", 0, 2), 0, "0..2,0..2 [1,8,9;4,5,6;7,2,3]"},
      {"2 x 3: no row 3", k2x3, swap_rc("R", 1, 3), 0, ""},
      {"2 x 3: columns 1, 3", k2x3, swap_rc("C", 1, 3), 0, "1..2,1..3 [3,2,1;6,5,4]"},
      {"exchange keeps the bits", D::matrix({{kSnan, -0.0}, {1, 2}}), swap_rc("R", 1, 2), 0, "1..2,1..2 [1,2;snan,-0]"},
      {"row 0 of a 1-based matrix", k3x3, swap_rc("R", 0, 1), 9, ""},
      {"no column 1", D::matrix({{1, 2}, {3, 4}}, 1, 2), swap_rc("R", 1, 2), 9, ""},
      {"exchange in a vector", v, swap_rc("R", 1, 2), 9, ""},
  });
  // clang-format on
  Matr m;  // a variant that holds the destination itself
  Variant held(DoubleArray::matrix({{1, 2}}));
  m.mDuplVar(*held.double_array(), held);
  EXPECT_EQ(show(held), "DoubleArray 0..1,0..2 [0,0,0;0,1,2]");
}

TEST(ConstructTest, ExchangeOfMatricesChangesNeitherOnFailure) {
  Matr m;
  const DoubleArray no_1_1 = DoubleArray::matrix({{1}}, 2, 2), v = DoubleArray::vector({1});
  // A first matrix without (1, 1), or fixed, must not cost the second its data.
  const std::pair<DoubleArray, DoubleArray> refused[] = {
      {v, k2x2},      {k2x2, v},           {DoubleArray(), k2x2}, {no_1_1, k2x2},
      {k2x2, no_1_1}, {fixed(k2x2), k3x3}, {k3x3, fixed(k2x2)}};
  for (const auto& [first, second] : refused) {
    SCOPED_TRACE(show(first) + " and " + show(second));
    DoubleArray a = first, b = second;
    EXPECT_RUNTIME_ERROR(m.mSwap(a, b), first.fixed() || second.fixed() ? 10 : 9);
    EXPECT_EQ(show(a) + " | " + show(b), show(first) + " | " + show(second));
  }
}

TEST(ConstructTest, ShapeAndMessages) {
  Matr m;
  leave_code_3(m);
  EXPECT_TRUE(m.mMatrIsVect(bounds({{0, 6}})));
  EXPECT_EQ(m.ErrCode(), 0);
  for (const DoubleArray& a :
       {bounds({{0, 6}, {0, 1}}), DoubleArray(), bounds({{0, 2}, {0, 2}, {0, 2}})}) {
    EXPECT_FALSE(m.mMatrIsVect(a));  // never fails
  }
  EXPECT_TRUE(m.mMatrIsQuadr(bounds({{1, 3}, {0, 4}})));  // 1..3, 0..3: upper bounds only
  EXPECT_FALSE(m.mMatrIsQuadr(bounds({{0, 4}, {0, 3}})));
  EXPECT_RUNTIME_ERROR(m.mMatrIsQuadr(bounds({{0, 4}})), 9);
  // The message table is empty until Initialize_dMatr fills it; every
  // object has its own.
  Matr other;
  EXPECT_EQ(m.ErrMsg(4), "");
  m.Initialize_dMatr();
  EXPECT_EQ(other.ErrMsg(0), "");
  EXPECT_RUNTIME_ERROR(m.ErrMsg(-2), 9);
  EXPECT_RUNTIME_ERROR(m.ErrMsg(10), 9);
}

}  // namespace
}  // namespace nodrel
