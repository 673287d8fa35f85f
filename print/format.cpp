#include "print/format.hpp"

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
// The exact decimal value of a double.

// value = 0.digits x 10^point, digits without leading zeros; no digits is 0.
struct Decimal {
  std::string digits;
  std::int64_t point = 0;

  bool zero() const { return digits.empty(); }
};

// A binary64 has at most 767 significant decimal digits (the largest
// subnormals); asking for more than that makes to_chars print the exact
// expansion followed by zeros, never a rounded one.
constexpr int kExactPrecision = 780;

Decimal exact_decimal(double magnitude) {
  Decimal d;
  if (magnitude == 0.0) return d;
  char buf[kExactPrecision + 32];
  const auto result = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                                    kExactPrecision);
  if (result.ec != std::errc()) raise(ErrorNumber::kOverflow);
  const std::string_view text(buf, static_cast<std::size_t>(result.ptr - buf));
  const std::size_t e = text.find('e');
  d.digits.push_back(text[0]);
  d.digits.append(text.substr(2, e - 2));  // the digits after "d."
  int exponent = 0;
  std::string_view exp_text = text.substr(e + 1);
  if (!exp_text.empty() && exp_text[0] == '+') exp_text.remove_prefix(1);
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
  d.point = exponent + 1;
  return d;
}

// Keeps the first `keep` digits and rounds by the first dropped one: since
// the digits are exact, "5 or more" is exactly "half or more", so a tie goes
// away from zero. A carry out of the first digit moves the point.
void round_to(Decimal& d, std::int64_t keep) {
  if (d.zero() || keep >= static_cast<std::int64_t>(d.digits.size())) return;
  if (keep < 0) {
    d = Decimal{};  // below half a unit of the last kept place
    return;
  }
  const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
  d.digits.resize(static_cast<std::size_t>(keep));
  if (up) {
    std::size_t k = d.digits.size();
    while (k > 0 && d.digits[k - 1] == '9') d.digits[--k] = '0';
    if (k == 0) {
      d.digits.insert(d.digits.begin(), '1');
      ++d.point;
    } else {
      ++d.digits[k - 1];
    }
  }
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
}

// Digit `index` of the expansion counted from the first one (0-based), which
// may lie before or after the stored digits.
char digit_at(const Decimal& d, std::int64_t index) {
  if (index < 0 || index >= static_cast<std::int64_t>(d.digits.size())) return '0';
  return d.digits[static_cast<std::size_t>(index)];
}

// Patterns may scale a number by whole powers of ten; beyond this many
// integer digits the text would be absurd, so it is refused as an overflow
// instead of exhausting memory.
constexpr std::int64_t kMaxIntegerDigits = 1'000'000;

// A pattern of a million bytes is refused as out of memory before anything
// is made of it: every cell of a printed array would be a megabyte or more,
// and no pattern a client means comes anywhere near.
constexpr std::size_t kMaxPatternLength = 999'999;

// ---------------------------------------------------------------------------
// The pattern.

enum class TokenKind { kZero, kHash, kPoint, kComma, kPercent, kExponent, kLiteral };

struct Token {
  TokenKind kind;
  std::string literal;          // kLiteral
  bool exp_upper = true;        // kExponent: "E" or "e"
  bool exp_sign_always = true;  // kExponent: "E+" or "E-"
  int exp_min_digits = 1;       // kExponent: the 0s after the sign, at least 1
};

struct Section {
  std::vector<Token> tokens;
  int int_places = 0;   // integer placeholders (mantissa's, in scientific form)
  int int_min = 0;      // integer placeholders from the leftmost 0 on
  int frac_places = 0;  // fraction placeholders
  int frac_min = 0;     // fraction placeholders up to the last 0
  bool grouping = false;
  int scale_thousands = 0;
  int percents = 0;
  bool scientific = false;

  bool has_digits() const { return int_places + frac_places > 0; }
};

bool stands_for_itself(char c) {
  return c == '-' || c == '+' || c == '$' || c == '(' || c == ')' || c == ' ';
}

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
        break;
      case TokenKind::kPercent: ++s.percents; break;
      case TokenKind::kExponent:
        if (region == Region::kExponent || !s.has_digits()) bad_pattern();
        s.scale_thousands += pending_commas;
        pending_commas = 0;
        region = Region::kExponent;
        s.scientific = true;
        break;
      case TokenKind::kLiteral: break;
    }
  }
  s.scale_thousands += pending_commas;
  s.int_min = first_zero < 0 ? 0 : s.int_places - first_zero;
  s.tokens = std::move(tokens);
  return s;
}

// ---------------------------------------------------------------------------
// Formatting one section.

std::string format_section(double magnitude, const Section& s, const Locale& locale) {
  Decimal d = exact_decimal(magnitude);
  if (!d.zero()) d.point += 2 * std::int64_t{s.percents} - 3 * std::int64_t{s.scale_thousands};

  std::string int_digits;
  std::string frac_digits;
  std::int64_t exponent = 0;
  if (s.scientific) {
    // As many significant digits as the mantissa shows; the exponent puts
    // int_places of them before the point. A carry (9.99995 to 10.0000) has
    // already moved d.point, so the exponent grows with it.
    const std::int64_t significant = s.int_places + s.frac_places;
    round_to(d, significant);
    if (!d.zero()) exponent = d.point - s.int_places;
    for (std::int64_t k = 0; k < s.int_places; ++k) {
      if (!d.zero()) int_digits.push_back(digit_at(d, k));
    }
    for (std::int64_t k = s.int_places; k < significant; ++k) frac_digits.push_back(digit_at(d, k));
  } else {
    round_to(d, d.point + s.frac_places);
    if (d.point > kMaxIntegerDigits) raise(ErrorNumber::kOverflow);
    for (std::int64_t k = 0; k < d.point; ++k) int_digits.push_back(digit_at(d, k));
    for (std::int64_t k = 0; k < s.frac_places; ++k)
      frac_digits.push_back(digit_at(d, d.point + k));
  }
  if (static_cast<int>(int_digits.size()) < s.int_min) {
    int_digits.insert(0, static_cast<std::size_t>(s.int_min) - int_digits.size(), '0');
  }
  while (static_cast<int>(frac_digits.size()) > s.frac_min && frac_digits.back() == '0') {
    frac_digits.pop_back();
  }

  const auto length = static_cast<std::int64_t>(int_digits.size());
  std::string out;
  // Appends integer digits [lo, hi] with the group separators that follow
  // them: one after every digit that has a positive multiple of three digits
  // to its right.
  auto put_int_digits = [&](std::int64_t lo, std::int64_t hi) {
    for (std::int64_t j = lo < 0 ? 0 : lo; j <= hi; ++j) {
      out.push_back(int_digits[static_cast<std::size_t>(j)]);
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
          if (frac_place < static_cast<int>(frac_digits.size())) {
            out.push_back(frac_digits[static_cast<std::size_t>(frac_place)]);
          }
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
        const std::string e = std::to_string(exponent < 0 ? -exponent : exponent);
        if (static_cast<int>(e.size()) < t.exp_min_digits) {
          out.append(static_cast<std::size_t>(t.exp_min_digits) - e.size(), '0');
        }
        out += e;
        break;
      }
      case TokenKind::kLiteral: out += t.literal; break;
    }
  }
  return out;
}

}  // namespace

std::string format_number(double x, std::string_view pattern, const Locale& locale) {
  if (pattern.empty()) bad_pattern();
  if (pattern.size() > kMaxPatternLength) raise(ErrorNumber::kOutOfMemory);
  std::vector<std::vector<Token>> parts = tokenize(pattern);
  if (parts[0].empty()) bad_pattern();
  std::vector<Section> sections;
  sections.reserve(parts.size());
  for (auto& part : parts) sections.push_back(analyse(std::move(part)));
  if (!std::isfinite(x)) raise(ErrorNumber::kOverflow);

  // The section follows the value as given, before any rounding; -0.0 is a
  // zero, not a negative number.
  const bool negative = x < 0.0;
  const double magnitude = std::fabs(x);
  if (negative && sections.size() >= 2 && !sections[1].tokens.empty()) {
    return format_section(magnitude, sections[1], locale);
  }
  if (x == 0.0 && sections.size() >= 3 && !sections[2].tokens.empty()) {
    return format_section(magnitude, sections[2], locale);
  }
  if (!negative) return format_section(magnitude, sections[0], locale);
  std::string text = "-";
  text += format_section(magnitude, sections[0], locale);
  return text;
}

std::size_t text_length(std::string_view text) noexcept {
  std::size_t n = 0;
  for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

}  // namespace nodrel::detail
