#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "nodrel/matr.hpp"
#include "support/expect_error.hpp"

namespace nodrel {
namespace {

using Rows = std::vector<std::vector<double>>;

TEST(MakeTest, ZeroAndIdentityMatricesAndVectors) {
  Matr m;
  DoubleArray a = DoubleArray::vector({9, 9, 9});  // any former shape is dropped
  m.mMakeMatrNul(a, 2, 3);
  EXPECT_EQ(a, DoubleArray::zeros(2, 3));
  m.mMakeMatrNul(a, 0, 0);
  EXPECT_EQ(a.bounds(), (std::vector<ArrayBound>{{0, 1}, {0, 1}}));
  EXPECT_EQ(a(0, 0), 0.0);

  m.mMakeMatrI(a, 3);
  EXPECT_EQ(a.rows(), (Rows{{0, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}));
  m.mMakeMatrI(a, 0);
  EXPECT_EQ(a.rows(), (Rows{{0}}));

  DoubleArray v;
  m.mMakeVectI(v, 3);
  EXPECT_EQ(v.values(), (std::vector<double>{0, 1, 1, 1}));
  m.mMakeVectNul(v, 2);
  EXPECT_EQ(v.values(), (std::vector<double>{0, 0, 0}));
}

TEST(MakeTest, NegativeOrderFailsWithoutTouchingTheArray) {
  Matr m;
  const DoubleArray before = DoubleArray::vector({1, 2});
  DoubleArray a = before;
  EXPECT_RUNTIME_ERROR(m.mMakeMatrNul(a, 2, -1), 9);
  EXPECT_RUNTIME_ERROR(m.mMakeVectNul(a, -1), 9);
  EXPECT_RUNTIME_ERROR(m.mMakeMatrI(a, -1), 9);
  EXPECT_RUNTIME_ERROR(m.mMakeVectI(a, -5), 9);
  EXPECT_EQ(a, before);
}

TEST(DuplTest, CopiesElementsFromOneAndZerosRowAndColumnZero) {
  Matr m;
  const DoubleArray src = DoubleArray::matrix({{1, 2}, {3, 4}});  // 1..2, 1..2
  DoubleArray dest;
  m.mDupl(dest, src);
  EXPECT_EQ(dest.rows(), (Rows{{0, 0, 0}, {0, 1, 2}, {0, 3, 4}}));

  const DoubleArray with_zero_row = DoubleArray::matrix({{7, 7}, {7, 5}}, 0, 0);
  m.mDupl(dest, with_zero_row);
  EXPECT_EQ(dest.rows(), (Rows{{0, 0}, {0, 5}}));
}

TEST(DuplTest, CopiesBitsWithoutArithmetic) {
  Matr m;
  const double snan = std::numeric_limits<double>::signaling_NaN();
  const DoubleArray src = DoubleArray::matrix({{-0.0, snan}});
  DoubleArray dest;
  m.mDupl(dest, src);  // no floating-point check can fire on a copy
  EXPECT_EQ(std::bit_cast<std::uint64_t>(dest(1, 1)), std::bit_cast<std::uint64_t>(-0.0));
  EXPECT_EQ(std::bit_cast<std::uint64_t>(dest(1, 2)), std::bit_cast<std::uint64_t>(snan));
}

TEST(DuplTest, SameArrayAsSourceAndDestinationKeepsTheData) {
  Matr m;
  DoubleArray a = DoubleArray::matrix({{1, 2}, {3, 4}});
  m.mDupl(a, a);
  EXPECT_EQ(a.rows(), (Rows{{0, 0, 0}, {0, 1, 2}, {0, 3, 4}}));
}

TEST(DuplTest, Failures) {
  Matr m;
  const DoubleArray before = DoubleArray::matrix({{5}});
  DoubleArray dest = before;
  // A source without two dimensions fails before the destination changes.
  EXPECT_RUNTIME_ERROR(m.mDupl(dest, DoubleArray::vector({1, 2})), 9);
  EXPECT_RUNTIME_ERROR(m.mDupl(dest, DoubleArray()), 9);
  EXPECT_EQ(dest, before);
  // A source with a lower bound above 1 fails at its first element, the
  // destination already re-dimensioned.
  EXPECT_RUNTIME_ERROR(m.mDupl(dest, DoubleArray::matrix({{1, 2}, {3, 4}}, 2, 2)), 9);
  EXPECT_EQ(dest, DoubleArray::zeros(3, 3));
  // A fixed destination refuses the re-dimensioning and keeps its contents.
  DoubleArray fixed = before;
  fixed.set_fixed(true);
  EXPECT_RUNTIME_ERROR(m.mDupl(fixed, DoubleArray::matrix({{1}})), 10);
  EXPECT_EQ(fixed, before);
}

TEST(DuplVarTest, ArraysNumbersAndOtherValues) {
  Matr m;
  m.set_locale(Locale::c());
  DoubleArray dest;

  m.mDuplVar(dest, Variant(DoubleArray::matrix({{1, 2}, {3, 4}, {5, 6}})));
  EXPECT_EQ(dest.rows(), (Rows{{0, 0, 0}, {0, 1, 2}, {0, 3, 4}, {0, 5, 6}}));

  m.mDuplVar(dest, Variant(VariantArray::vector({1, "2", true, Variant()})));
  EXPECT_EQ(dest.values(), (std::vector<double>{0, 1, 2, -1, 0}));

  m.mDuplVar(dest, Variant("2.5"));
  EXPECT_EQ(dest.rows(), (Rows{{0, 0}, {0, 2.5}}));

  const DoubleArray kept = dest;
  for (const Variant& v : {Variant("abc"), Variant::null(), Variant(Date{3}),
                           Variant(ErrorValue{1}), Variant::missing()}) {
    m.mDuplVar(dest, v);
    EXPECT_EQ(dest, kept);
  }

  // Lower bounds 0: row 0 and column 0 of the source are lost.
  m.mDuplVar(dest, Variant(VariantArray::matrix({{9, 9}, {9, 4}}, 0, 0)));
  EXPECT_EQ(dest.rows(), (Rows{{0, 0}, {0, 4}}));
}

TEST(DuplVarTest, ConversionFailureKeepsTheElementsBeforeIt) {
  Matr m;
  m.set_locale(Locale::c());
  DoubleArray dest;
  EXPECT_RUNTIME_ERROR(m.mDuplVar(dest, Variant(VariantArray::vector({1, 2, "x", 4}))), 13);
  EXPECT_EQ(dest.values(), (std::vector<double>{0, 1, 2, 0, 0}));
  EXPECT_RUNTIME_ERROR(m.mDuplVar(dest, Variant(VariantArray::vector({7, Variant::null()}))), 94);
  EXPECT_EQ(dest.values(), (std::vector<double>{0, 7, 0}));
}

TEST(DuplVarTest, ShapesThatFailAtTheFirstElement) {
  Matr m;
  DoubleArray dest;
  // A lower bound above 1.
  EXPECT_RUNTIME_ERROR(m.mDuplVar(dest, Variant(DoubleArray::vector({1, 2}, 2))), 9);
  EXPECT_EQ(dest, DoubleArray::zeros(3));
  // A second upper bound of 0 while the first is at least 1.
  EXPECT_RUNTIME_ERROR(
      m.mDuplVar(dest, Variant(DoubleArray(std::vector<ArrayBound>{{0, 3}, {0, 1}}))), 9);
  EXPECT_EQ(dest, DoubleArray::zeros(2, 0));
  // A second upper bound below 0: the destination stays a Vector.
  EXPECT_RUNTIME_ERROR(
      m.mDuplVar(dest, Variant(DoubleArray(std::vector<ArrayBound>{{0, 3}, {0, 0}}))), 9);
  EXPECT_EQ(dest, DoubleArray::zeros(2));
  // Three dimensions: element (i, j) does not exist.
  EXPECT_RUNTIME_ERROR(
      m.mDuplVar(dest, Variant(DoubleArray(std::vector<ArrayBound>{{0, 2}, {0, 2}, {0, 2}}))), 9);
  // An array never dimensioned has no upper bound.
  const DoubleArray before = dest;
  EXPECT_RUNTIME_ERROR(m.mDuplVar(dest, Variant(DoubleArray())), 9);
  EXPECT_EQ(dest, before);
}

TEST(DuplVarTest, VariantHoldingTheDestinationItself) {
  Matr m;
  Variant v(DoubleArray::matrix({{1, 2}}));
  m.mDuplVar(*v.double_array(), v);
  EXPECT_EQ(v.double_array()->rows(), (Rows{{0, 0, 0}, {0, 1, 2}}));
}

}  // namespace
}  // namespace nodrel
