#include "runtime/number_text.hpp"

#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>

namespace nodrel::detail {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A cursor over the text with the few matches the grammar needs.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool done() const { return pos_ == text_.size(); }
  char peek() const { return done() ? '\0' : text_[pos_]; }
  void skip_blanks() {
    while (!done() && is_blank(text_[pos_])) ++pos_;
  }
  bool take(char c) {
    if (peek() != c) return false;
    ++pos_;
    return true;
  }
  // Matches a non-empty token such as a separator of the locale.
  bool take(std::string_view token) {
    if (token.empty() || text_.substr(pos_, token.size()) != token) return false;
    pos_ += token.size();
    return true;
  }
  bool at(std::string_view token) const {
    return !token.empty() && text_.substr(pos_, token.size()) == token;
  }
  char next() { return text_[pos_++]; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

NumberText not_a_number() { return {NumberTextStatus::kNotANumber, 0.0}; }

NumberText parse_radix(Scanner& s) {
  if (s.done()) return not_a_number();  // "&" and nothing after it
  const char kind = s.next();
  const bool hex = kind == 'H' || kind == 'h';
  if (!hex && kind != 'O' && kind != 'o') return not_a_number();
  const unsigned base = hex ? 16 : 8;
  std::uint64_t value = 0;
  int digits = 0;
  while (!s.done()) {
    const char c = s.peek();
    unsigned d;
    if (is_digit(c)) {
      d = static_cast<unsigned>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    if (d >= base) return not_a_number();
    value = value * base + d;
    if (value > 0xFFFFFFFFULL) return not_a_number();
    ++digits;
    s.next();
  }
  s.skip_blanks();
  if (digits == 0 || !s.done()) return not_a_number();
  const auto as_signed = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  return {NumberTextStatus::kNumber, static_cast<double>(as_signed)};
}

// The body: currency, mantissa and exponent. Appends the plain decimal form
// ("123.45e-6") to `out`. The currency flag is shared with the caller, since
// the symbol may stand on either side of a sign.
bool parse_body(Scanner& s, const Locale& locale, bool& currency_seen, std::string& out) {
  if (!currency_seen && s.take(locale.currency)) {
    currency_seen = true;
    s.skip_blanks();
  }
  bool any_digit = false;
  // Integer part, thousands separators only between digits.
  while (is_digit(s.peek())) {
    out.push_back(s.next());
    any_digit = true;
    if (!locale.thousands.empty() && locale.thousands != locale.decimal && s.at(locale.thousands)) {
      Scanner probe = s;
      probe.take(locale.thousands);
      if (is_digit(probe.peek())) s = probe;
    }
  }
  if (s.take(locale.decimal)) {
    out.push_back('.');
    while (is_digit(s.peek())) {
      out.push_back(s.next());
      any_digit = true;
    }
  }
  if (!any_digit) return false;
  const char e = s.peek();
  if (e == 'E' || e == 'e' || e == 'D' || e == 'd') {
    Scanner probe = s;
    probe.next();
    std::string exponent = "e";
    if (probe.peek() == '+' || probe.peek() == '-') exponent.push_back(probe.next());
    if (!is_digit(probe.peek())) return false;
    while (is_digit(probe.peek())) exponent.push_back(probe.next());
    s = probe;
    out += exponent;
  }
  s.skip_blanks();
  if (!currency_seen && s.take(locale.currency)) {
    currency_seen = true;
    s.skip_blanks();
  }
  return true;
}

// Converts the plain decimal form. from_chars rounds correctly; when it
// reports a result out of range, the sign of the decimal magnitude tells an
// overflow from an underflow (which is no fault: the result is a zero).
NumberText convert(const std::string& plain, bool negative) {
  double value = 0.0;
  const char* first = plain.data();
  const char* last = plain.data() + plain.size();
  const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec == std::errc() && ptr == last) {
    return {NumberTextStatus::kNumber, negative ? -value : value};
  }
  if (ec != std::errc::result_out_of_range) return not_a_number();
  // Decimal magnitude: position of the first non-zero digit plus the exponent.
  std::int64_t exponent = 0;
  const std::size_t e = plain.find('e');
  if (e != std::string::npos) {
    std::size_t k = e + 1;
    const bool neg_exp = k < plain.size() && plain[k] == '-';
    if (k < plain.size() && (plain[k] == '-' || plain[k] == '+')) ++k;
    for (; k < plain.size(); ++k) {
      exponent = exponent * 10 + (plain[k] - '0');
      if (exponent > 1000000000) break;  // far beyond any double either way
    }
    if (neg_exp) exponent = -exponent;
  }
  const std::string mantissa = plain.substr(0, e);
  const std::size_t point = mantissa.find('.');
  const std::size_t int_len = point == std::string::npos ? mantissa.size() : point;
  const std::size_t first_nonzero = mantissa.find_first_not_of("0.");
  if (first_nonzero == std::string::npos) return {NumberTextStatus::kNumber, negative ? -0.0 : 0.0};
  const std::int64_t position = first_nonzero < int_len
                                    ? static_cast<std::int64_t>(int_len - first_nonzero)
                                    : -static_cast<std::int64_t>(first_nonzero - int_len - 1);
  if (position + exponent > 0) return {NumberTextStatus::kOutOfRange, 0.0};
  return {NumberTextStatus::kNumber, negative ? -0.0 : 0.0};
}

}  // namespace

NumberText parse_number(std::string_view text, const Locale& locale) {
  Scanner s(text);
  s.skip_blanks();
  if (s.take('&')) return parse_radix(s);

  bool negative = false;
  bool signed_ = false;
  bool currency_seen = false;
  std::string plain;
  if (s.take('(')) {
    s.skip_blanks();
    if (!parse_body(s, locale, currency_seen, plain) || !s.take(')')) return not_a_number();
    negative = true;
  } else {
    // A currency symbol may stand before the sign: "$-3".
    if (s.take(locale.currency)) {
      currency_seen = true;
      s.skip_blanks();
    }
    if (s.peek() == '+' || s.peek() == '-') {
      negative = s.next() == '-';
      signed_ = true;
      s.skip_blanks();
    }
    if (!parse_body(s, locale, currency_seen, plain)) return not_a_number();
    if (!signed_ && (s.peek() == '+' || s.peek() == '-')) {
      negative = s.next() == '-';
      s.skip_blanks();
      if (!currency_seen && s.take(locale.currency)) currency_seen = true;
    }
  }
  s.skip_blanks();
  if (!s.done()) return not_a_number();
  return convert(plain, negative);
}

}  // namespace nodrel::detail
