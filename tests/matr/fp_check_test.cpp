// The floating-point check derives the IEEE 754 flags from operands and
// result; here the derivation is held against the flags the hardware and the
// mathematics library actually raise, over every pair of special operands.
#include "matr/fp_check.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "support/values.hpp"

namespace nodrel::detail {
namespace {

using Limits = std::numeric_limits<double>;
const double kSnan = std::bit_cast<double>(std::uint64_t{0x7FF0000000000001ULL});
const double kInf = Limits::infinity();

// The C runtime of Windows (msvcrt) computes pow and sqrt without raising
// the IEEE flags that their results call for, so there only the values of
// those two are held against the library; their flags are checked against
// the table of IEEE 754 cases below on every platform.
#ifdef _WIN32
constexpr bool kLibraryRaisesFlags = false;
#else
constexpr bool kLibraryRaisesFlags = true;
#endif

struct Operation {
  const char* name;
  double (*derived)(FpFlags&, double, double);
  double (*hardware)(double, double);
  bool library;  // a function of the mathematics library, not an instruction
};

TEST(FpCheckTest, OperationsRaiseWhatTheHardwareRaises) {
  const Operation operations[] = {
      {"add", [](FpFlags& f, double a, double b) { return f.add(a, b); },
       [](double a, double b) { return a + b; }, false},
      {"sub", [](FpFlags& f, double a, double b) { return f.sub(a, b); },
       [](double a, double b) { return a - b; }, false},
      {"mul", [](FpFlags& f, double a, double b) { return f.mul(a, b); },
       [](double a, double b) { return a * b; }, false},
      {"div", [](FpFlags& f, double a, double b) { return f.div(a, b); },
       [](double a, double b) { return a / b; }, false},
      {"pow", [](FpFlags& f, double a, double b) { return f.pow(a, b); },
       [](double a, double b) { return std::pow(a, b); }, true},
      {"sqrt", [](FpFlags& f, double a, double) { return f.sqrt(a); },
       [](double a, double) { return std::sqrt(a); }, true},
  };
  const double operands[] = {0.0,           -0.0,          1.0,
                             -1.0,          2.0,           0.5,
                             3.0,           -2.5,          1e308,
                             -1e308,        1e160,         1e-300,
                             Limits::max(), Limits::min(), Limits::denorm_min(),
                             kInf,          -kInf,         Limits::quiet_NaN(),
                             kSnan};
  for (const Operation& op : operations) {
    for (double a : operands) {
      for (double b : operands) {
        SCOPED_TRACE(std::string(op.name) + "(" + number(a) + ", " + number(b) + ")");
        // Volatile operands: nothing is folded at compile time.
        volatile double va = a, vb = b;
        std::feclearexcept(FE_ALL_EXCEPT);
        volatile double expected = op.hardware(va, vb);
        unsigned hw = 0;
        if (std::fetestexcept(FE_INVALID)) hw |= FpFlags::kInvalid;
        if (std::fetestexcept(FE_DIVBYZERO)) hw |= FpFlags::kDivByZero;
        if (std::fetestexcept(FE_OVERFLOW)) hw |= FpFlags::kOverflow;
        FpFlags flags;
        EXPECT_EQ(number(op.derived(flags, a, b)), number(expected));
        if (!op.library || kLibraryRaisesFlags) {
          EXPECT_EQ(flags.bits(), hw);
        }
      }
    }
  }
}

TEST(FpCheckTest, FlagsOfTheIeeeCasesAndTheErrorsTheyBecome) {
  constexpr unsigned kNone = 0, kInvalid = FpFlags::kInvalid, kDivByZero = FpFlags::kDivByZero,
                     kOverflow = FpFlags::kOverflow;
  struct Row {
    const char* what;
    double x, y;  // y < -1e300: sqrt(x)
    unsigned bits;
  };
  const double kSqrt = -Limits::max();
  const Row rows[] = {
      {"sqrt(-1)", -1.0, kSqrt, kInvalid},
      {"sqrt(-inf)", -kInf, kSqrt, kInvalid},
      {"sqrt(-0)", -0.0, kSqrt, kNone},
      {"sqrt(quiet NaN)", NAN, kSqrt, kNone},
      {"sqrt(signalling NaN)", kSnan, kSqrt, kInvalid},
      {"pow(0, -1)", 0.0, -1.0, kDivByZero},
      {"pow(-0, -3)", -0.0, -3.0, kDivByZero},
      {"pow(0, -inf)", 0.0, -kInf, kNone},
      {"pow(-1, 0.5)", -1.0, 0.5, kInvalid},
      {"pow(1e308, 2)", 1e308, 2.0, kOverflow},
      {"pow(2, 1e308)", 2.0, 1e308, kOverflow},
      {"pow(inf, 2)", kInf, 2.0, kNone},
      {"pow(quiet NaN, 0)", NAN, 0.0, kNone},
      {"pow(signalling NaN, 0)", kSnan, 0.0, kInvalid},
      {"pow(-8, 1/3)", -8.0, 1.0 / 3.0, kInvalid},
      {"pow(1e-300, 2): underflow is not checked", 1e-300, 2.0, kNone},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FpFlags flags;
    row.y == kSqrt ? flags.sqrt(row.x) : flags.pow(row.x, row.y);
    EXPECT_EQ(flags.bits(), row.bits);
  }
  // Invalid and overflow are error 6, division by zero 11, and invalid
  // wins over division by zero, which wins over overflow.
  EXPECT_NO_THROW(raise_fp_fault(kNone));
  EXPECT_RUNTIME_ERROR(raise_fp_fault(kOverflow), 6);
  EXPECT_RUNTIME_ERROR(raise_fp_fault(kInvalid), 6);
  EXPECT_RUNTIME_ERROR(raise_fp_fault(kDivByZero), 11);
  EXPECT_RUNTIME_ERROR(raise_fp_fault(kInvalid | kDivByZero), 6);
  EXPECT_RUNTIME_ERROR(raise_fp_fault(kDivByZero | kOverflow), 11);
  // Quiet values passed in raise nothing; inf - inf does.
  FpFlags flags;
  flags.add(NAN, 1.0);
  flags.mul(kInf, 2.0);
  EXPECT_NO_THROW(check(flags));
  flags.sub(kInf, kInf);
  EXPECT_RUNTIME_ERROR(check(flags), 6);
  // Equality as the methods test it: NaN equals anything, -0.0 equals 0.0.
  EXPECT_FALSE(differ(NAN, 5.0) || differ(5.0, NAN) || differ(-0.0, 0.0));
  EXPECT_TRUE(differ(1.0, 1.0000000000000002) && differ(-kInf, kInf));
  EXPECT_TRUE(is_signalling_nan(kSnan));
  EXPECT_FALSE(is_signalling_nan(NAN) || is_signalling_nan(kInf) || is_signalling_nan(1.0));
}

}  // namespace
}  // namespace nodrel::detail
