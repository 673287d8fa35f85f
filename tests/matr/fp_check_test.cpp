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
#include <vector>

#include "support/expect_error.hpp"

namespace nodrel::detail {
namespace {

using Limits = std::numeric_limits<double>;

const double kSignallingNan = std::bit_cast<double>(std::uint64_t{0x7FF0000000000001ULL});

std::vector<double> special_operands() {
  return {0.0,
          -0.0,
          1.0,
          -1.0,
          2.0,
          0.5,
          3.0,
          -2.5,
          1e308,
          -1e308,
          Limits::max(),
          Limits::min(),
          Limits::denorm_min(),
          1e-300,
          1e160,
          Limits::infinity(),
          -Limits::infinity(),
          Limits::quiet_NaN(),
          kSignallingNan};
}

unsigned hardware_flags() {
  unsigned bits = 0;
  if (std::fetestexcept(FE_INVALID)) bits |= FpFlags::kInvalid;
  if (std::fetestexcept(FE_DIVBYZERO)) bits |= FpFlags::kDivByZero;
  if (std::fetestexcept(FE_OVERFLOW)) bits |= FpFlags::kOverflow;
  return bits;
}

// Runs `op` on volatile operands so that nothing is folded at compile time,
// and returns the flags it raised.
template <typename Op>
unsigned observed(Op op, double a, double b, double& result) {
  volatile double va = a;
  volatile double vb = b;
  std::feclearexcept(FE_ALL_EXCEPT);
  volatile double r = op(va, vb);
  const unsigned bits = hardware_flags();
  result = r;
  return bits;
}

bool same_bits_or_both_nan(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) ||
         std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

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
  double (FpFlags::*derived)(double, double);
  double (*hardware)(double, double);
  bool library;  // a function of the mathematics library, not an instruction
};

double hw_add(double a, double b) { return a + b; }
double hw_sub(double a, double b) { return a - b; }
double hw_mul(double a, double b) { return a * b; }
double hw_div(double a, double b) { return a / b; }
double hw_pow(double a, double b) { return std::pow(a, b); }

TEST(FpCheckTest, BinaryOperationsRaiseWhatTheHardwareRaises) {
  const Operation operations[] = {
      {"add", &FpFlags::add, hw_add, false}, {"sub", &FpFlags::sub, hw_sub, false},
      {"mul", &FpFlags::mul, hw_mul, false}, {"div", &FpFlags::div, hw_div, false},
      {"pow", &FpFlags::pow, hw_pow, true},
  };
  const std::vector<double> operands = special_operands();
  for (const Operation& op : operations) {
    for (double a : operands) {
      for (double b : operands) {
        SCOPED_TRACE(std::string(op.name) + "(" + std::to_string(a) + ", " + std::to_string(b) +
                     ")");
        double expected = 0.0;
        const unsigned hw = observed(op.hardware, a, b, expected);
        FpFlags flags;
        const double got = (flags.*op.derived)(a, b);
        EXPECT_TRUE(same_bits_or_both_nan(got, expected));
        if (!op.library || kLibraryRaisesFlags) {
          EXPECT_EQ(flags.bits(), hw);
        }
      }
    }
  }
}

TEST(FpCheckTest, SquareRootRaisesWhatTheHardwareRaises) {
  for (double a : special_operands()) {
    SCOPED_TRACE(a);
    double expected = 0.0;
    const unsigned hw = observed([](double x, double) { return std::sqrt(x); }, a, 0.0, expected);
    FpFlags flags;
    EXPECT_TRUE(same_bits_or_both_nan(flags.sqrt(a), expected));
    if (kLibraryRaisesFlags) {
      EXPECT_EQ(flags.bits(), hw);
    }
  }
}

TEST(FpCheckTest, PowerAndSquareRootFlagsOfTheIeeeCases) {
  const double inf = Limits::infinity();
  const double nan = Limits::quiet_NaN();
  const unsigned kNone = 0;
  struct Row {
    const char* what;
    double x, y;  // y unused for sqrt
    bool sqrt;
    unsigned bits;
  };
  const Row rows[] = {
      {"sqrt(-1)", -1.0, 0.0, true, FpFlags::kInvalid},
      {"sqrt(-inf)", -inf, 0.0, true, FpFlags::kInvalid},
      {"sqrt(-0)", -0.0, 0.0, true, kNone},
      {"sqrt(quiet NaN)", nan, 0.0, true, kNone},
      {"sqrt(signalling NaN)", kSignallingNan, 0.0, true, FpFlags::kInvalid},
      {"sqrt(inf)", inf, 0.0, true, kNone},
      {"pow(0, -1)", 0.0, -1.0, false, FpFlags::kDivByZero},
      {"pow(-0, -3)", -0.0, -3.0, false, FpFlags::kDivByZero},
      {"pow(0, -inf)", 0.0, -inf, false, kNone},
      {"pow(-1, 0.5)", -1.0, 0.5, false, FpFlags::kInvalid},
      {"pow(1e308, 2)", 1e308, 2.0, false, FpFlags::kOverflow},
      {"pow(2, 1e308)", 2.0, 1e308, false, FpFlags::kOverflow},
      {"pow(inf, 2)", inf, 2.0, false, kNone},
      {"pow(quiet NaN, 0)", nan, 0.0, false, kNone},
      {"pow(signalling NaN, 0)", kSignallingNan, 0.0, false, FpFlags::kInvalid},
      {"pow(-8, 1/3)", -8.0, 1.0 / 3.0, false, FpFlags::kInvalid},
      {"pow(1e-300, 2)", 1e-300, 2.0, false, kNone},  // underflow is not checked
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FpFlags flags;
    if (row.sqrt) {
      flags.sqrt(row.x);
    } else {
      flags.pow(row.x, row.y);
    }
    EXPECT_EQ(flags.bits(), row.bits);
  }
}

TEST(FpCheckTest, FlagsBecomeRunTimeErrors) {
  struct Row {
    const char* what;
    unsigned bits;
    int error;  // 0: no error
  };
  const Row rows[] = {
      {"none", 0, 0},
      {"overflow", FpFlags::kOverflow, 6},
      {"invalid", FpFlags::kInvalid, 6},
      {"division by zero", FpFlags::kDivByZero, 11},
      {"invalid wins over division by zero", FpFlags::kInvalid | FpFlags::kDivByZero, 6},
      {"division by zero wins over overflow", FpFlags::kDivByZero | FpFlags::kOverflow, 11},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.error == 0) {
      EXPECT_NO_THROW(raise_fp_fault(row.bits));
    } else {
      EXPECT_RUNTIME_ERROR(raise_fp_fault(row.bits), row.error);
    }
  }
}

TEST(FpCheckTest, CheckPassesQuietValuesThatRaiseNothing) {
  FpFlags flags;
  flags.add(Limits::quiet_NaN(), 1.0);
  flags.mul(Limits::infinity(), 2.0);
  flags.add(Limits::infinity(), 1.0);
  EXPECT_NO_THROW(check(flags));
  flags.sub(Limits::infinity(), Limits::infinity());
  EXPECT_RUNTIME_ERROR(check(flags), 6);
}

TEST(FpCheckTest, ComparisonCountsNanAsEqualAndSignedZerosAsEqual) {
  const double nan = Limits::quiet_NaN();
  EXPECT_FALSE(differ(nan, 5.0));
  EXPECT_FALSE(differ(5.0, nan));
  EXPECT_FALSE(differ(-0.0, 0.0));
  EXPECT_TRUE(differ(1.0, 1.0000000000000002));
  EXPECT_TRUE(differ(-Limits::infinity(), Limits::infinity()));
}

TEST(FpCheckTest, SignallingNanIsRecognised) {
  EXPECT_TRUE(is_signalling_nan(kSignallingNan));
  EXPECT_FALSE(is_signalling_nan(Limits::quiet_NaN()));
  EXPECT_FALSE(is_signalling_nan(Limits::infinity()));
  EXPECT_FALSE(is_signalling_nan(1.0));
}

}  // namespace
}  // namespace nodrel::detail
