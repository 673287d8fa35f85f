// The correctly rounded power on the cases that decide it: the values IEEE
// 754 fixes (zeros, infinities, NaN), exact ties, the neighbours of the
// overflow and underflow thresholds, subnormals and the extreme exponents.
// Each expected value is the exact power rounded by hand (exact rationals)
// or by MPFR's exact arithmetic, checked on every platform the suite runs on.
#include "numeric/power.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "support/values.hpp"

namespace nodrel::numeric {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kQuietNan = std::bit_cast<double>(std::uint64_t{0x7FF8000000000123ULL});
const double kSignallingNan = std::bit_cast<double>(std::uint64_t{0xFFF0000000000123ULL});
const double kQuietened = std::bit_cast<double>(std::uint64_t{0xFFF8000000000123ULL});

TEST(PowerTest, ExactPowerRoundedToNearestEven) {
  const struct {
    const char* what;
    double x;
    std::int32_t n;
    double expected;
  } rows[] = {
      {"0^0", 0.0, 0, 1.0},
      {"inf^0", -kInf, 0, 1.0},
      {"NaN^0", kSignallingNan, 0, 1.0},
      // A NaN comes back quiet, with its sign and payload, for every n but 0.
      {"NaN^3", kQuietNan, 3, kQuietNan},
      {"signalling NaN^1", kSignallingNan, 1, kQuietened},
      {"signalling NaN^-7", kSignallingNan, -7, kQuietened},
      {"-0 to an odd power", -0.0, 3, -0.0},
      {"-0 to an even power", -0.0, 4, 0.0},
      {"-0 to an odd negative power", -0.0, -3, -kInf},
      {"0 to an even negative power", 0.0, -2, kInf},
      {"-inf to an odd power", -kInf, 3, -kInf},
      {"-inf to an odd negative power", -kInf, -3, -0.0},
      {"inf to -1", kInf, -1, 0.0},
      // 3^34 = 16677181699666569 lies halfway between two doubles.
      {"tie to even", 3.0, 34, 16677181699666568.0},
      // The overflow threshold 2^1024 - 2^970 between consecutive bases.
      {"cube below the overflow threshold", 0x1.428a2f98d728ap+341, 3, 0x1.ffffffffffffcp+1023},
      {"cube beyond it", 0x1.428a2f98d728bp+341, 3, kInf},
      {"fifth power to the largest double", 0x1.bdb8cdadbe120p+204, 5, 0x1.fffffffffffffp+1023},
      {"fifth power beyond it, negative", -0x1.bdb8cdadbe121p+204, 5, -kInf},
      {"reciprocal cube beyond the threshold", 0x1.965fea53d6e3cp-342, -3, kInf},
      {"reciprocal cube below it", 0x1.965fea53d6e3dp-342, -3, 0x1.ffffffffffffep+1023},
      {"2^1024", 2.0, 1024, kInf},
      // Around 2^-1075, half the smallest subnormal, and 2^-1022.
      {"cube below half the smallest subnormal", 0x1.965fea53d6e3cp-359, 3, 0.0},
      {"cube above it", 0x1.965fea53d6e3dp-359, 3, 0x0.0000000000001p-1022},
      {"seventh power above it, negative", -0x1.588cea3f093bep-154, 7, -0x0.0000000000001p-1022},
      {"reciprocal cube above it", 0x1.428a2f98d728ap+358, -3, 0x0.0000000000001p-1022},
      {"reciprocal cube below it", 0x1.428a2f98d728bp+358, -3, 0.0},
      {"2^-1075: a tie between 0 and 2^-1074", 2.0, -1075, 0.0},
      {"0.5^1074", 0.5, 1074, 0x0.0000000000001p-1022},
      {"cube to the largest subnormal", 0x1.428a2f98d728ap-341, 3, 0x0.ffffffffffffep-1022},
      {"cube to the smallest normal", 0x1.428a2f98d728bp-341, 3, 0x1p-1022},
      {"27·2^-1080 rounds to 0", 0x1.8p-359, 3, 0.0},
      {"125·2^-1074 is exact", 0x1.4p-356, 3, 0x0.000000000007dp-1022},
      {"243·2^-1075: a subnormal tie", 0x1.8p-214, 5, 0x0.000000000007ap-1022},
      {"a subnormal base", 0x0.0000000000003p-1022, -1, kInf},
      {"a subnormal base to a negative power", 0x1p-1060, -3, kInf},
      // Powers within the fast path's error bound of a rounding boundary,
      // decided by the exact comparison.
      {"near a boundary, huge n", -0x1.ffffe592d279fp-1, 921739894, 0x0.00000067bbd9ap-1022},
      {"near a boundary, huge -n", -0x1.fffffed545bbcp-1, -1537543294, 0x1.1a5b83f7918e7p+77},
      {"near a boundary, -n", 0x1.000016a91e069p+0, -214355224, 0x1.3c17d2597d4f9p-418},
      {"near 2^-1075, -101", 0x1.8feb49cbfeea1p+10, -101, 0x0.0000000000001p-1022},
      {"near 2^-1075, -79", 0x1.861250897b17cp+13, -79, 0x0.0000000000001p-1022},
      {"near 2^-1075, -144", 0x1.616de5a7a7861p+7, -144, 0x0.0000000000001p-1022},
      {"a tie, negative", -0x1.2p-58, 17, -0x1.d9fe779881944p-984},
      // Bases next to 1 with the largest exponents.
      {"(1 + 2^-52)^(2^31 - 1)", 0x1.0000000000001p+0, 2147483647, 0x1.00000800001ffp+0},
      {"(1 + 2^-52)^-2^31", 0x1.0000000000001p+0, -2147483647 - 1, 0x1.fffff000004p-1},
      {"(1 - 2^-53)^-2^31", 0x1.fffffffffffffp-1, -2147483647 - 1, 0x1.000004000008p+0},
      {"(1 - 2^-53)^(2^31 - 1)", 0x1.fffffffffffffp-1, 2147483647, 0x1.fffff80000101p-1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.what) + ": " + number(row.x) + "^" + std::to_string(row.n));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(power(row.x, row.n)),
              std::bit_cast<std::uint64_t>(row.expected));
  }
}

}  // namespace
}  // namespace nodrel::numeric
