// Text to number: the parser behind every automation conversion of a text,
// and the conversions themselves.
//
// Input: one byte choosing the locale (fuzz_support.hpp), then the text.
//
// parse_number never raises. The conversions raise only what variant.hpp
// documents: to_double 6 (beyond the range of a double) and 13; to_int32 6
// and 13; to_boolean_null_false 13. They must agree with the parser: a text is
// numeric exactly when it reads as a number, and converts to that number.
// A number that reads back is read back bit for bit from its shortest text.
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.hpp"
#include "runtime/number_text.hpp"
#include "nodrel/variant.hpp"

namespace nodrel::fuzz {
namespace {

using detail::NumberTextStatus;

// The shortest text of x in the locale, as a client would write it.
std::string shortest_text(double x, const Locale& locale) {
  std::array<char, 40> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x);
  std::string text(buffer.data(), result.ptr);
  const std::size_t point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, locale.decimal);
  return text;
}

void check(std::string_view text, unsigned locale_choice) {
  const Locale& locale = locale_number(locale_choice);
  const detail::NumberText parsed = detail::parse_number(text, locale);
  if (parsed.status == NumberTextStatus::kNumber && !std::isfinite(parsed.value)) {
    finding("parse_number gave a non-finite number");
  }
  const Variant value{std::string(text)};
  const bool numeric = is_numeric(value, locale);
  if (numeric != (parsed.status == NumberTextStatus::kNumber)) {
    finding("is_numeric disagrees with parse_number");
  }

  expect_result_or("to_double", {ErrorNumber::kOverflow, ErrorNumber::kTypeMismatch}, [&] {
    const double x = to_double(value, locale);
    if (parsed.status != NumberTextStatus::kNumber ||
        std::bit_cast<std::uint64_t>(x) != std::bit_cast<std::uint64_t>(parsed.value)) {
      finding("to_double disagrees with parse_number");
    }
  });
  expect_result_or("to_int32", {ErrorNumber::kOverflow, ErrorNumber::kTypeMismatch}, [&] {
    const std::int32_t n = to_int32(value, locale);
    if (parsed.status != NumberTextStatus::kNumber || std::fabs(parsed.value - n) > 0.5) {
      finding("to_int32 is not the number rounded");
    }
  });
  // A truth value fails where the number does: 6 beyond the range of a
  // double, 13 for no number (the words True and False apart).
  expect_result_or(
      "to_boolean_null_false", {ErrorNumber::kOverflow, ErrorNumber::kTypeMismatch}, [&] {
        const bool truth = to_boolean_null_false(value, locale);
        if (parsed.status == NumberTextStatus::kNumber && truth != (parsed.value != 0.0)) {
          finding("to_boolean_null_false disagrees with the number");
        }
      });

  // In an absurd locale (a decimal separator "e" is also an exponent) a
  // number's own text may mean another number.
  if (parsed.status == NumberTextStatus::kNumber && plain_locale(locale_choice)) {
    const detail::NumberText again =
        detail::parse_number(shortest_text(parsed.value, locale), locale);
    if (again.status != NumberTextStatus::kNumber ||
        std::bit_cast<std::uint64_t>(again.value) != std::bit_cast<std::uint64_t>(parsed.value)) {
      finding("the shortest text of a number does not read back as the same number");
    }
  }
}

}  // namespace
}  // namespace nodrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  nodrel::fuzz::expect_result_or("number text", {}, [&] { nodrel::fuzz::check(text, data[0]); });
  return 0;
}
