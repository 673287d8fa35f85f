// An order too large to invert overflows before anything is allocated: the
// one outcome the random orders never reach. The rest of the determinant,
// inverse, Cramer's rule and diagonal reduction (the zero tolerance by order
// and position, ties, exchanges, cofactor signs, what a failure leaves) is
// held bit for bit against the reference transcription over random inputs
// in linalg_reference_test.cpp.
#include <gtest/gtest.h>

#include <vector>

#include "nodrel/nodrel.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

TEST(InvTest, AnOrderBeyondSixteenBitsOverflowsFirst) {
  Matr m;
  // An order beyond 16 bits overflows before anything is allocated.
  const DoubleArray huge(std::vector<ArrayBound>{{32768, 1}, {32768, 1}});
  DoubleArray a = huge;
  EXPECT_RUNTIME_ERROR(m.mInv(a), 6);
  EXPECT_EQ(a, huge);
}

}  // namespace
}  // namespace nodrel
