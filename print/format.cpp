#include "print/format.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "nodrel/error.hpp"

namespace nodrel::detail {

namespace {

[[noreturn]] void bad_pattern() { raise(ErrorNumber::kInvalidProcedureCall); }

// ---------------------------------------------------------------------------
// Decimal digits of a double.
//
// The text shows |x| rounded half away from zero at some decimal place. Two
// ways lead there, and they agree digit for digit:
//
// - The exact way: every digit of the exact decimal value (to_chars with a
//   precision beyond the longest expansion a double has), then rounding by
//   the first dropped digit. Always right, but it writes up to 780 digits.
//
// - The quick way: to_chars rounds |x| correctly (to nearest) at a place
//   kGuardDigits finer than the one the pattern shows, giving D. Rounding to
//   nearest is monotone and the midpoint m between two neighbours of the
//   coarse place lies on the fine grid, so D is on the same side of m as |x|
//   is, and rounding D half away from zero gives what rounding |x| would,
//   unless D is m itself. Only then (|x| an exact tie such as 2.5 or 0.125,
//   or within a hair of one) is the exact way taken to tell which.

// A binary64 has at most 767 significant decimal digits (the largest
// subnormals); asking for more than that makes to_chars print the exact
// expansion followed by zeros, never a rounded one.
constexpr int kExactPrecision = 780;

// Digits stored: the exact expansion and its leading digit, with room to
// spare.
constexpr int kMaxDigits = kExactPrecision + 2;

// value = 0.digits x 10^point, no leading or trailing zeros; no digits is 0.
struct Decimal {
  char digits[kMaxDigits];
  int count = 0;
  std::int64_t point = 0;

  bool zero() const { return count == 0; }

  // Digit `index` of the expansion counted from the first one (0-based),
  // which may lie before or after the stored digits.
  char digit_at(std::int64_t index) const {
    return index < 0 || index >= count ? '0' : digits[static_cast<std::size_t>(index)];
  }

  void trim() {
    while (count > 0 && digits[count - 1] == '0') --count;
    if (count == 0) point = 0;
  }
};

// Reads to_chars' scientific form "d.ddde+XX" (or "de+XX").
void read_scientific(const char* first, const char* last, Decimal& d) {
  const char* e = std::find(first, last, 'e');
  d.count = 0;
  d.digits[d.count++] = *first;
  for (const char* p = first + 2; p < e; ++p) d.digits[d.count++] = *p;
  int exponent = 0;
  const char* exp_first = e + 1;
  if (exp_first < last && *exp_first == '+') ++exp_first;
  std::from_chars(exp_first, last, exponent);
  d.point = exponent + 1;
  d.trim();
}

// Reads to_chars' fixed form "ddd.ddd" (or "ddd").
void read_fixed(const char* first, const char* last, Decimal& d) {
  const char* dot = std::find(first, last, '.');
  const char* fraction = dot < last ? dot + 1 : last;
  const char* p = first;
  while (p < dot && *p == '0') ++p;
  d.count = 0;
  if (p < dot) {
    d.point = dot - p;
    for (; p < dot; ++p) d.digits[d.count++] = *p;
    p = fraction;
  } else {
    p = fraction;
    const char* significant = p;
    while (significant < last && *significant == '0') ++significant;
    d.point = -(significant - p);
    p = significant;
  }
  for (; p < last; ++p) d.digits[d.count++] = *p;
  d.trim();
}

Decimal exact_decimal(double magnitude) {
  Decimal d;
  if (magnitude == 0.0) return d;
  char buf[kExactPrecision + 32];
  const auto result = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                                    kExactPrecision);
  if (result.ec != std::errc()) raise(ErrorNumber::kOverflow);
  read_scientific(buf, result.ptr, d);
  return d;
}

// Keeps the first `keep` digits and rounds by the first dropped one: since
// the digits are exact, "5 or more" is exactly "half or more", so a tie goes
// away from zero. A carry out of the first digit moves the point.
void round_to(Decimal& d, std::int64_t keep) {
  if (d.zero() || keep >= d.count) return;
  if (keep < 0) {
    d = Decimal{};  // below half a unit of the last kept place
    return;
  }
  const bool up = d.digits[keep] >= '5';
  d.count = static_cast<int>(keep);
  if (up) {
    int k = d.count;
    while (k > 0 && d.digits[k - 1] == '9') d.digits[--k] = '0';
    if (k == 0) {
      d.digits[0] = '1';
      d.count = 1;
      ++d.point;
    } else {
      ++d.digits[k - 1];
    }
  }
  const std::int64_t point = d.point;
  d.trim();
  d.point = point;  // a zero keeps its place, as the digits it lost had it
}

// Whether rounding d after `keep` digits meets exactly half a unit: the one
// case in which a correctly rounded d does not tell which way |x| goes.
bool is_midpoint(const Decimal& d, std::int64_t keep) {
  return keep >= 0 && keep + 1 == d.count && d.digits[keep] == '5';
}

constexpr int kGuardDigits = 3;

// The quick way for `keep` significant digits: to_chars gives keep +
// kGuardDigits of them. When rounding carries out of them (9.9999999 to
// 10.000000), one guard digit fewer remains below the first digit of the
// result, still finer than the place rounded at; and a power of ten is no
// midpoint.
constexpr int kQuickSignificant = 40;

bool quick_significant(double magnitude, std::int64_t keep, Decimal& d) {
  const std::int64_t wanted = keep + kGuardDigits;
  if (wanted > kQuickSignificant) return false;
  char buf[kQuickSignificant + 16];
  const auto result = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                                    static_cast<int>(wanted - 1));
  if (result.ec != std::errc()) return false;
  read_scientific(buf, result.ptr, d);
  return !is_midpoint(d, keep);
}

// The quick way for a fixed place: |x| rounded at 10^-fraction_places of
// the scaled value, that is 10^-(fraction_places + shift) of |x| itself.
// to_chars writes every integer digit (at most 309) and at most this many
// after the point; beyond, the exact way is hardly longer.
constexpr std::int64_t kQuickFraction = 400;

bool quick_fixed(double magnitude, std::int64_t shift, std::int64_t fraction_places, Decimal& d) {
  const std::int64_t precision = std::max<std::int64_t>(0, fraction_places + shift + kGuardDigits);
  if (precision > kQuickFraction) return false;
  char buf[309 + 1 + kQuickFraction + 16];
  const auto result = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed,
                                    static_cast<int>(precision));
  if (result.ec != std::errc()) return false;
  read_fixed(buf, result.ptr, d);
  if (!d.zero()) d.point += shift;
  return !is_midpoint(d, d.point + fraction_places);
}

// Patterns may scale a number by whole powers of ten; beyond this many
// integer digits the text would be absurd, so it is refused as an overflow
// instead of exhausting memory.
constexpr std::int64_t kMaxIntegerDigits = 1'000'000;

// A pattern of a million bytes is refused as out of memory before anything
// is made of it: every cell of a printed array would be a megabyte or more,
// and no pattern a client means comes anywhere near.
constexpr std::size_t kMaxPatternLength = 999'999;

bool stands_for_itself(char c) {
  return c == '-' || c == '+' || c == '$' || c == '(' || c == ')' || c == ' ';
}

}  // namespace

// ---------------------------------------------------------------------------
// The pattern.

enum class FormatTokenKind { kZero, kHash, kPoint, kComma, kPercent, kExponent, kLiteral };

struct FormatToken {
  FormatTokenKind kind;
  std::string literal;          // kLiteral
  bool exp_upper = true;        // kExponent: "E" or "e"
  bool exp_sign_always = true;  // kExponent: "E+" or "E-"
  int exp_min_digits = 1;       // kExponent: the 0s after the sign, at least 1
};

struct FormatSection {
  std::vector<FormatToken> tokens;
  int int_places = 0;   // integer placeholders (mantissa's, in scientific form)
  int int_min = 0;      // integer placeholders from the leftmost 0 on
  int frac_places = 0;  // fraction placeholders
  int frac_min = 0;     // fraction placeholders up to the last 0
  bool grouping = false;
  int scale_thousands = 0;
  int percents = 0;
  bool scientific = false;
  bool digits_only = true;  // placeholders, "." and the exponent only

  bool has_digits() const { return int_places + frac_places > 0; }
};

namespace {

using TokenKind = FormatTokenKind;
using Token = FormatToken;
using Section = FormatSection;

// Splits the pattern into sections of tokens. Quotes and backslashes are
// resolved here, so a ";" inside them is text, not a section break.
std::vector<std::vector<Token>> tokenize(std::string_view p) {
  std::vector<std::vector<Token>> sections(1);
  std::size_t i = 0;
  while (i < p.size()) {
    const char c = p[i];
    auto& tokens = sections.back();
    switch (c) {
      case '0':
        tokens.push_back({TokenKind::kZero, {}});
        ++i;
        break;
      case '#':
        tokens.push_back({TokenKind::kHash, {}});
        ++i;
        break;
      case '.':
        tokens.push_back({TokenKind::kPoint, {}});
        ++i;
        break;
      case ',':
        tokens.push_back({TokenKind::kComma, {}});
        ++i;
        break;
      case '%':
        tokens.push_back({TokenKind::kPercent, {}});
        ++i;
        break;
      case ';':
        if (sections.size() == 4) bad_pattern();
        sections.emplace_back();
        ++i;
        break;
      case '"': {
        const std::size_t close = p.find('"', i + 1);
        if (close == std::string_view::npos) bad_pattern();
        tokens.push_back({TokenKind::kLiteral, std::string(p.substr(i + 1, close - i - 1))});
        i = close + 1;
        break;
      }
      case '\\': {
        if (i + 1 >= p.size()) bad_pattern();
        // One whole character: a UTF-8 lead byte and its continuation bytes.
        std::size_t end = i + 2;
        while (end < p.size() && (static_cast<unsigned char>(p[end]) & 0xC0) == 0x80) ++end;
        tokens.push_back({TokenKind::kLiteral, std::string(p.substr(i + 1, end - i - 1))});
        i = end;
        break;
      }
      case 'E':
      case 'e': {
        if (i + 1 >= p.size() || (p[i + 1] != '+' && p[i + 1] != '-')) bad_pattern();
        std::size_t j = i + 2;
        int zeros = 0;
        while (j < p.size() && (p[j] == '0' || p[j] == '#')) zeros += p[j++] == '0';
        if (j == i + 2) bad_pattern();
        Token t{TokenKind::kExponent, {}};
        t.exp_upper = c == 'E';
        t.exp_sign_always = p[i + 1] == '+';
        t.exp_min_digits = zeros > 0 ? zeros : 1;
        tokens.push_back(std::move(t));
        i = j;
        break;
      }
      default:
        if (!stands_for_itself(c)) bad_pattern();
        tokens.push_back({TokenKind::kLiteral, std::string(1, c)});
        ++i;
        break;
    }
  }
  return sections;
}

// Reads the placeholders of one section and checks where they stand.
Section analyse(std::vector<Token> tokens) {
  Section s;
  enum class Region { kInteger, kFraction, kExponent } region = Region::kInteger;
  int first_zero = -1;     // index of the leftmost integer 0
  int pending_commas = 0;  // commas since the last integer placeholder
  for (const Token& t : tokens) {
    switch (t.kind) {
      case TokenKind::kZero:
      case TokenKind::kHash:
        if (region == Region::kExponent) bad_pattern();
        if (region == Region::kInteger) {
          // A comma followed by another integer placeholder groups; only the
          // commas after the last one scale.
          if (pending_commas > 0) s.grouping = true;
          pending_commas = 0;
          if (t.kind == TokenKind::kZero && first_zero < 0) first_zero = s.int_places;
          ++s.int_places;
        } else {
          ++s.frac_places;
          if (t.kind == TokenKind::kZero) s.frac_min = s.frac_places;
        }
        break;
      case TokenKind::kPoint:
        if (region != Region::kInteger) bad_pattern();
        s.scale_thousands += pending_commas;
        pending_commas = 0;
        region = Region::kFraction;
        break;
      case TokenKind::kComma:
        if (region != Region::kInteger || s.int_places == 0) bad_pattern();
        ++pending_commas;
        s.digits_only = false;
        break;
      case TokenKind::kPercent:
        ++s.percents;
        s.digits_only = false;
        break;
      case TokenKind::kExponent:
        if (region == Region::kExponent || !s.has_digits()) bad_pattern();
        s.scale_thousands += pending_commas;
        pending_commas = 0;
        region = Region::kExponent;
        s.scientific = true;
        break;
      case TokenKind::kLiteral: s.digits_only = false; break;
    }
  }
  s.scale_thousands += pending_commas;
  s.int_min = first_zero < 0 ? 0 : s.int_places - first_zero;
  s.tokens = std::move(tokens);
  return s;
}

// ---------------------------------------------------------------------------
// Formatting one section.

// |x| scaled by the section's "%" and "," and rounded as it shows it; the
// exponent when it is scientific.
void round_for(const Section& s, double magnitude, Decimal& d, std::int64_t& exponent) {
  // "%" and "," move the decimal point: the scaling is exact.
  const std::int64_t shift = 2 * std::int64_t{s.percents} - 3 * std::int64_t{s.scale_thousands};
  exponent = 0;
  if (s.scientific) {
    // As many significant digits as the mantissa shows; the exponent puts
    // int_places of them before the point. A carry (9.99995 to 10.0000)
    // has already moved d.point, so the exponent grows with it.
    const std::int64_t significant = s.int_places + s.frac_places;
    if (magnitude != 0.0 && !quick_significant(magnitude, significant, d)) {
      d = exact_decimal(magnitude);
    }
    if (!d.zero()) d.point += shift;
    round_to(d, significant);
    if (!d.zero()) exponent = d.point - s.int_places;
  } else {
    if (magnitude != 0.0 && !quick_fixed(magnitude, shift, s.frac_places, d)) {
      d = exact_decimal(magnitude);
      if (!d.zero()) d.point += shift;
    }
    round_to(d, d.point + s.frac_places);
    if (d.point > kMaxIntegerDigits) raise(ErrorNumber::kOverflow);
  }
}

void append_section(std::string& out, const Section& s, const Decimal& d, std::int64_t exponent,
                    const Locale& locale) {
  // Which digits stand in the integer and the fraction placeholders: the
  // integer ones, padded with zeros on the left up to int_min, are digits
  // [0, int_count) of d; the fraction ones start at frac_first.
  std::int64_t int_count = 0;
  std::int64_t frac_first = 0;
  if (s.scientific) {
    int_count = d.zero() ? 0 : s.int_places;
    frac_first = s.int_places;
  } else {
    int_count = std::max<std::int64_t>(d.point, 0);
    frac_first = d.point;
  }
  const std::int64_t int_pad = std::max<std::int64_t>(s.int_min - int_count, 0);
  const std::int64_t length = int_count + int_pad;
  // Zeros standing at trailing # placeholders are dropped.
  std::int64_t frac_count = s.frac_places;
  while (frac_count > s.frac_min && d.digit_at(frac_first + frac_count - 1) == '0') --frac_count;

  // Appends integer digits [lo, hi] with the group separators that follow
  // them: one after every digit that has a positive multiple of three digits
  // to its right.
  auto put_int_digits = [&](std::int64_t lo, std::int64_t hi) {
    for (std::int64_t j = lo < 0 ? 0 : lo; j <= hi; ++j) {
      out.push_back(j < int_pad ? '0' : d.digit_at(j - int_pad));
      const std::int64_t right = length - 1 - j;
      if (s.grouping && right > 0 && right % 3 == 0) out += locale.thousands;
    }
  };
  int int_place = 0;
  int frac_place = 0;
  bool after_point = false;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case TokenKind::kZero:
      case TokenKind::kHash:
        if (!after_point) {
          // Placeholder int_place stands for the digit with int_places - 1 -
          // int_place digits to its right; the leftmost takes every digit the
          // placeholders cannot hold.
          const std::int64_t hi = length - s.int_places + int_place;
          put_int_digits(int_place == 0 ? 0 : hi, hi);
          ++int_place;
        } else {
          if (frac_place < frac_count) out.push_back(d.digit_at(frac_first + frac_place));
          ++frac_place;
        }
        break;
      case TokenKind::kPoint:
        // Without integer placeholders the integer digits stand before the
        // separator, so that 12.5 with ".00" is not shown as ".50".
        if (s.int_places == 0) put_int_digits(0, length - 1);
        out += locale.decimal;
        after_point = true;
        break;
      case TokenKind::kComma: break;
      case TokenKind::kPercent: out.push_back('%'); break;
      case TokenKind::kExponent: {
        out.push_back(t.exp_upper ? 'E' : 'e');
        if (exponent < 0) {
          out.push_back('-');
        } else if (t.exp_sign_always) {
          out.push_back('+');
        }
        char e[24];
        const char* end = std::to_chars(e, e + sizeof e, exponent < 0 ? -exponent : exponent).ptr;
        const auto digits = static_cast<int>(end - e);
        if (digits < t.exp_min_digits) {
          out.append(static_cast<std::size_t>(t.exp_min_digits - digits), '0');
        }
        out.append(e, static_cast<std::size_t>(end - e));
        break;
      }
      case TokenKind::kLiteral: out += t.literal; break;
    }
  }
}

}  // namespace

NumberFormat::NumberFormat(std::string_view pattern) {
  if (pattern.empty()) bad_pattern();
  if (pattern.size() > kMaxPatternLength) raise(ErrorNumber::kOutOfMemory);
  std::vector<std::vector<Token>> parts = tokenize(pattern);
  if (parts[0].empty()) bad_pattern();
  sections_.reserve(parts.size());
  for (auto& part : parts) {
    sections_.push_back(analyse(std::move(part)));
    digits_only_ = digits_only_ && sections_.back().digits_only;
  }
}

NumberFormat::~NumberFormat() = default;
NumberFormat::NumberFormat(NumberFormat&&) noexcept = default;
NumberFormat& NumberFormat::operator=(NumberFormat&&) noexcept = default;

void NumberFormat::append(std::string& text, double x, const Locale& locale) const {
  if (!std::isfinite(x)) raise(ErrorNumber::kOverflow);
  // The section follows the value as given, before any rounding; -0.0 is a
  // zero, not a negative number. A negative number without a section of its
  // own is the first section's text with "-" in front.
  const bool negative = x < 0.0;
  const Section* section = &sections_[0];
  bool minus = negative;
  if (negative && sections_.size() >= 2 && !sections_[1].tokens.empty()) {
    section = &sections_[1];
    minus = false;
  } else if (x == 0.0 && sections_.size() >= 3 && !sections_[2].tokens.empty()) {
    section = &sections_[2];
  }
  Decimal d;
  std::int64_t exponent = 0;
  round_for(*section, std::fabs(x), d, exponent);
  if (minus) text.push_back('-');
  append_section(text, *section, d, exponent, locale);
}

std::string NumberFormat::format(double x, const Locale& locale) const {
  std::string text;
  append(text, x, locale);
  return text;
}

std::string format_number(double x, std::string_view pattern, const Locale& locale) {
  return NumberFormat(pattern).format(x, locale);
}

std::size_t text_length(std::string_view text) noexcept {
  std::size_t n = 0;
  for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

}  // namespace nodrel::detail
