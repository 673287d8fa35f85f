// The format engine: pattern x value x locale, and the print text built on it.
//
// Input: eight bytes of a double (its bits, little-endian), one byte choosing
// the locale (fuzz_support.hpp), then the pattern.
//
// format_number raises only 5 (a pattern outside the subset) and 6 (an
// infinity or a NaN, or an absurd number of integer digits); a cell adds 13
// (its text does not read back as a number) and the header of a Matrix 5.
// Where the answer is known independently it is checked:
//   - "00" gives the exact integer nearest to x, a tie away from zero;
//   - a pattern of only 0, # and one decimal point gives a text that reads
//     back within half a unit of its last decimal place;
//   - a pattern 0.0...E+0... gives a mantissa within half a unit of its last
//     place.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.hpp"
#include "runtime/number_text.hpp"
#include "nodrel/double_array.hpp"
#include "print/compose.hpp"
#include "print/format.hpp"

namespace nodrel::fuzz {
namespace {

using detail::NumberTextStatus;

// The digits of the integer nearest to |x|, a tie away from zero, at least
// two of them: what "00" shows.
std::string nearest_integer_text(double x) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::round(std::fabs(x)),
                                    std::chars_format::fixed, 0);
  std::string digits(buffer, result.ptr);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return (x < 0 ? "-" : "") + digits;
}

// The shape of a pattern whose text reads back as the number: digit
// placeholders, at most one decimal point, optionally a scientific exponent
// after a single integer 0. Anything else is not checked this way.
struct Plain {
  bool plain = false;
  bool scientific = false;
  int fraction_places = 0;
};

Plain plain_pattern(std::string_view p) {
  Plain shape;
  std::size_t k = 0;
  bool point = false;
  bool digits = false;
  for (; k < p.size(); ++k) {
    const char c = p[k];
    if (c == '0' || c == '#') {
      digits = true;
      if (point) ++shape.fraction_places;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return shape;
  if (k == p.size()) {
    shape.plain = true;
    return shape;
  }
  // Scientific: exactly one integer 0, an optional fraction, then E+ or E-
  // and one or more 0s.
  const bool one_integer_zero = p[0] == '0' && (k == 1 || p[1] == '.');
  if (!one_integer_zero || (p[k] != 'E' && p[k] != 'e') || k + 2 >= p.size() ||
      (p[k + 1] != '+' && p[k + 1] != '-')) {
    return shape;
  }
  for (std::size_t j = k + 2; j < p.size(); ++j) {
    if (p[j] != '0') return shape;
  }
  shape.plain = true;
  shape.scientific = true;
  return shape;
}

void check_read_back(double x, const std::string& text, const Plain& shape, const Locale& locale) {
  const std::string_view unsigned_text =
      text.rfind('-', 0) == 0 ? std::string_view(text).substr(1) : std::string_view(text);
  const double unit = std::pow(10.0, -shape.fraction_places);
  if (unsigned_text.find_first_of("0123456789") == std::string_view::npos) {
    // "#.##" shows no digit at all for a number that rounds to zero.
    if (!shape.scientific && std::fabs(x) <= 0.5 * unit) return;
    finding("format_number(%.17g) gave \"%s\", which shows no digit", x, text.c_str());
  }
  const detail::NumberText back = detail::parse_number(text, locale);
  if (back.status == NumberTextStatus::kOutOfRange && std::fabs(x) > 1e307) return;
  if (back.status != NumberTextStatus::kNumber) {
    finding("format_number(%.17g) gave \"%s\", which does not read back", x, text.c_str());
  }
  const double slack = std::fabs(x) * 0x1p-52 + std::numeric_limits<double>::denorm_min();
  const double allowed = shape.scientific
                             ? 0.5 * unit * std::fabs(back.value) * (1 + 0x1p-50) + slack
                             : 0.5 * unit + slack;
  if (!(std::fabs(back.value - x) <= allowed)) {
    finding("format_number(%.17g) gave \"%s\", which reads back as %.17g", x, text.c_str(),
            back.value);
  }
}

void check(double x, unsigned locale_choice, std::string_view pattern) {
  const Locale& locale = locale_number(locale_choice);
  expect_result_or("format_number", {ErrorNumber::kInvalidProcedureCall, ErrorNumber::kOverflow},
                   [&] {
                     const std::string text = detail::format_number(x, pattern, locale);
                     const Plain shape = plain_pattern(pattern);
                     if (shape.plain && plain_locale(locale_choice)) {
                       check_read_back(x, text, shape, locale);
                     }
                   });
  if (std::isfinite(x)) {
    const std::string text = detail::format_number(x, "00", locale);
    if (text != nearest_integer_text(x)) {
      finding("format_number(%.17g, \"00\") gave \"%s\"", x, text.c_str());
    }
  }
  const std::initializer_list<ErrorNumber> print_errors = {
      ErrorNumber::kInvalidProcedureCall, ErrorNumber::kOverflow, ErrorNumber::kTypeMismatch};
  expect_result_or("append_cell", print_errors, [&] {
    std::string text;
    detail::append_cell(text, x, pattern, locale);
  });
  expect_result_or("append_matrix", print_errors, [&] {
    DoubleArray matrix = DoubleArray::zeros(1, 1);
    matrix(1, 1) = x;
    std::string text;
    detail::append_matrix(text, matrix, pattern, /*row_col=*/true, locale);
  });
}

}  // namespace
}  // namespace nodrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  std::uint64_t bits = 0;
  for (int k = 7; k >= 0; --k) bits = bits << 8 | data[k];
  const std::string_view pattern(reinterpret_cast<const char*>(data + 9), size - 9);
  nodrel::fuzz::expect_result_or(
      "format", {}, [&] { nodrel::fuzz::check(std::bit_cast<double>(bits), data[8], pattern); });
  return 0;
}
