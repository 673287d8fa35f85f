#include "print/compose.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "nodrel/error.hpp"
#include "print/format.hpp"

namespace nodrel::detail {

namespace {

constexpr std::string_view kSeparator = "  ";
constexpr std::string_view kHeaderIndent = "    ";
constexpr std::string_view kNumberPattern = "00";

}  // namespace

std::string text_argument(const Variant& value) {
  if (const std::string* s = value.string()) return *s;
  switch (value.kind()) {
    case VariantKind::kEmpty: return {};
    case VariantKind::kNull: raise(ErrorNumber::kInvalidUseOfNull);
    default: raise(ErrorNumber::kTypeMismatch);
  }
}

// The longest print text: 256 MiB. A matrix of millions of columns, or a
// pattern of a million characters over a few hundred labels, would
// otherwise compose gigabytes before any destination could take them.
constexpr std::size_t kMaxPrintText = std::size_t{1} << 28;

void check_length(const std::string& text) {
  if (text.size() > kMaxPrintText) raise(ErrorNumber::kOutOfMemory);
}

namespace {

// Whether the locale reads the text of a digits-only pattern (an optional
// "-", digits, the decimal separator, an exponent as in "E+05") exactly as
// it is written. The decimal separator must be "." or ",". The reading
// takes a thousands separator wherever one follows an integer digit (and a
// digit follows it), and in such a text an integer digit is followed by a
// digit, the decimal separator, "E", "e" or nothing; a currency symbol is
// taken where the text begins, after its "-" or before a digit or the
// separator. A locale whose symbols cannot begin there never has them
// taken out of the number.
bool reads_digits_plainly(const Locale& locale) {
  if (locale.decimal != "." && locale.decimal != ",") return false;
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  const char decimal = locale.decimal[0];
  const std::string& thousands = locale.thousands;
  const std::string& currency = locale.currency;
  const bool thousands_plain = thousands.empty() || thousands == locale.decimal ||
                               (!is_digit(thousands[0]) && thousands[0] != decimal &&
                                thousands[0] != 'E' && thousands[0] != 'e');
  const bool currency_plain =
      currency.empty() || (!is_digit(currency[0]) && currency[0] != decimal && currency[0] != '-');
  return thousands_plain && currency_plain;
}

// Below this magnitude a shown number cannot round past the largest double
// (a digits-only pattern shows at least one significant digit or a whole
// unit), so its text never reads back out of range.
constexpr double kNoOverflow = 1e300;

// One pattern for every cell of a call. The pattern is read at the first
// cell, so that an array without cells never reads it, as before.
class CellFormat {
 public:
  CellFormat(std::string_view pattern, const Locale& locale) : pattern_(pattern), locale_(locale) {}

  void append(std::string& text, double x) {
    if (!format_) {
      format_.emplace(pattern_);
      plain_ = format_->digits_only() && reads_digits_plainly(locale_);
    }
    cell_.clear();
    format_->append(cell_, x, locale_);
    if (reads_as_non_negative(x)) text.push_back('+');
    text += cell_;
    text += kSeparator;
    check_length(text);
  }

 private:
  // The sign test reads the text back, as a client would, so a pattern that
  // shows no number fails here rather than printing something unreadable. A
  // text that already begins with "-" never gets the "+": a small negative
  // shown as "-0.00" reads back as zero but is not made "+-0.00".
  //
  // The text of a digits-only pattern in a plain locale reads back as a
  // number whenever it holds a digit before its exponent ("#.#" shows only
  // "." for 0, which is no number), and that number is negative or -0.0
  // exactly when the text begins with "-", unless it lies past the largest
  // double; only the other cases need the reading itself.
  bool reads_as_non_negative(double x) const {
    const bool minus = !cell_.empty() && cell_[0] == '-';
    if (plain_ && std::fabs(x) < kNoOverflow) {
      for (const char c : cell_) {
        if (c == 'E' || c == 'e') break;
        if (c >= '0' && c <= '9') return !minus;
      }
    }
    const double read_back = to_double(Variant(cell_), locale_);
    return read_back >= 0.0 && !minus;
  }

  std::string_view pattern_;
  const Locale& locale_;
  std::optional<NumberFormat> format_;
  bool plain_ = false;
  std::string cell_;
};

}  // namespace

void append_cell(std::string& text, double x, std::string_view pattern, const Locale& locale) {
  CellFormat(pattern, locale).append(text, x);
}

void append_vector(std::string& text, const DoubleArray& vector, std::string_view pattern,
                   const Locale& locale) {
  CellFormat cells(pattern, locale);
  const std::int32_t n = vector.ubound(1);
  for (std::int32_t i = 1; i <= n; ++i) cells.append(text, vector(i));
}

void append_matrix(std::string& text, const DoubleArray& matrix, std::string_view pattern,
                   bool row_col, const Locale& locale) {
  const std::int32_t r = matrix.ubound(1);
  const std::int32_t c = matrix.ubound(2);
  const NumberFormat numbers(kNumberPattern);
  if (row_col) {
    // Label fields are as wide as the pattern's text plus one, not as the
    // numbers it produces: with the default pattern every cell has its
    // width, so the labels stand right-aligned over their columns; a pattern
    // whose results are longer or shorter shifts them.
    const auto field = static_cast<std::int64_t>(text_length(pattern)) + 1;
    text += kHeaderIndent;
    std::string label;
    for (std::int32_t k = 1; k <= c; ++k) {
      label.clear();
      numbers.append(label, k, locale);
      const std::int64_t spaces = field - static_cast<std::int64_t>(text_length(label));
      if (spaces < 0) raise(ErrorNumber::kInvalidProcedureCall);
      text.append(static_cast<std::size_t>(spaces), ' ');
      text += label;
      text += kSeparator;
      check_length(text);
    }
    text += kLineEnd;
  }
  CellFormat cells(pattern, locale);
  const std::size_t row_start = text.size();
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      if (j == 1) {
        if (i == 2) {
          // The first row tells about how long the others are: room for
          // them at once, rather than the text doubling its way there.
          const std::size_t row = text.size() - row_start + kLineEnd.size();
          const std::size_t rows = static_cast<std::size_t>(r - 1);
          text.reserve(std::min(text.size() + rows * row, kMaxPrintText));
        }
        if (i > 1) text += kLineEnd;
        if (row_col) {
          numbers.append(text, i, locale);
          text += kSeparator;
        }
      }
      cells.append(text, matrix(i, j));
    }
  }
}

void append_number(std::string& text, double x, std::string_view pattern, const Locale& locale) {
  text += format_number(x, pattern, locale);
  text += kSeparator;
}

}  // namespace nodrel::detail
