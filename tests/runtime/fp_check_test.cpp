// The floating-point check derives the IEEE 754 flags from operands and
// result (no platform's status word is read): the cases that decide each
// flag, and the run-time errors the flags become.
#include "runtime/fp_check.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>

#include "support/values.hpp"

namespace nodrel::detail {
namespace {

TEST(FpCheckTest, FlagsOfTheIeeeCasesAndTheErrorsTheyBecome) {
  using Limits = std::numeric_limits<double>;
  const double kSnan = std::bit_cast<double>(std::uint64_t{0x7FF0000000000001ULL});
  const double kInf = Limits::infinity(), kMax = Limits::max();
  constexpr unsigned kNone = 0, kInvalid = FpFlags::kInvalid, kDivByZero = FpFlags::kDivByZero,
                     kOverflow = FpFlags::kOverflow;
  enum Op { kAdd, kSub, kMul, kDiv, kSqrt, kPow };
  const struct {
    Op op;
    double a, b;  // sqrt(a), a^b; underflow is not checked
    unsigned bits;
  } rows[] = {{kSub, kInf, kInf, kInvalid},    {kAdd, kInf, 1.0, kNone},
              {kAdd, NAN, 1.0, kNone},         {kSub, kSnan, 1.0, kInvalid},
              {kAdd, 1.0, kSnan, kInvalid},    {kAdd, kMax, kMax, kOverflow},
              {kMul, kInf, 0.0, kInvalid},     {kMul, 0.0, -kInf, kInvalid},
              {kMul, kInf, 2.0, kNone},        {kMul, kSnan, 0.0, kInvalid},
              {kMul, 1e160, 1e160, kOverflow}, {kMul, 1e-300, 1e-300, kNone},
              {kDiv, 1.0, kSnan, kInvalid},    {kDiv, 0.0, 0.0, kInvalid},
              {kDiv, kInf, -kInf, kInvalid},   {kDiv, -1.0, -0.0, kDivByZero},
              {kDiv, kInf, 0.0, kNone},        {kDiv, NAN, 0.0, kNone},
              {kDiv, kMax, 0.5, kOverflow},    {kSqrt, -1.0, 0, kInvalid},
              {kSqrt, -0.0, 0, kNone},         {kSqrt, NAN, 0, kNone},
              {kSqrt, kSnan, 0, kInvalid},     {kPow, -0.0, -3, kDivByZero},
              {kPow, 1e308, 2, kOverflow},     {kPow, 1e-308, -3, kOverflow},
              {kPow, kInf, 3, kNone},          {kPow, NAN, 3, kNone},
              {kPow, kSnan, 0, kInvalid},      {kPow, 1e-300, 2, kNone}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.op) + ": " + number(row.a) + ", " + number(row.b));
    FpFlags f;  // the result as the plain operation gives it, and the flags
    switch (row.op) {
      case kAdd: EXPECT_EQ(number(f.add(row.a, row.b)), number(row.a + row.b)); break;
      case kSub: EXPECT_EQ(number(f.sub(row.a, row.b)), number(row.a - row.b)); break;
      case kMul: EXPECT_EQ(number(f.mul(row.a, row.b)), number(row.a * row.b)); break;
      case kDiv: EXPECT_EQ(number(f.div(row.a, row.b)), number(row.a / row.b)); break;
      case kSqrt: f.sqrt(row.a); break;
      case kPow: f.pow(row.a, static_cast<std::int32_t>(row.b)); break;
    }
    EXPECT_EQ(f.bits(), row.bits);
  }
  // Invalid and overflow are error 6, division by zero 11, and invalid
  // wins over division by zero, which wins over overflow.
  EXPECT_NO_THROW(raise_fp_fault(kNone));
  // clang-format off
  const std::pair<unsigned, int> errors[] = {
      {kOverflow, 6}, {kInvalid, 6}, {kDivByZero, 11},
      {kInvalid | kDivByZero, 6}, {kDivByZero | kOverflow, 11}};
  // clang-format on
  for (const auto& [bits, code] : errors) EXPECT_RUNTIME_ERROR(raise_fp_fault(bits), code);
  // The flags gather over a sequence of operations; a clean one clears none.
  FpFlags flags;
  flags.div(1.0, 0.0);
  flags.mul(1e160, 1e160);
  flags.add(1.0, 2.0);
  EXPECT_RUNTIME_ERROR(check(flags), 11);
  // Equality as the methods test it: NaN equals anything, -0.0 equals 0.0.
  EXPECT_FALSE(differ(NAN, 5.0) || differ(5.0, NAN) || differ(-0.0, 0.0));
  EXPECT_TRUE(differ(1.0, 1.0000000000000002) && differ(-kInf, kInf));
}

}  // namespace
}  // namespace nodrel::detail
