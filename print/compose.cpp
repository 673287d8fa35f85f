#include "print/compose.hpp"

#include <cstdint>

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

void append_cell(std::string& text, double x, std::string_view pattern, const Locale& locale) {
  const std::string formatted = format_number(x, pattern, locale);
  // The sign test reads the text back, as a client would, so a pattern that
  // shows no number fails here rather than printing something unreadable.
  const double read_back = to_double(Variant(formatted), locale);
  if (read_back >= 0.0 && formatted.rfind('-', 0) != 0) text.push_back('+');
  text += formatted;
  text += kSeparator;
  check_length(text);
}

void append_vector(std::string& text, const DoubleArray& vector, std::string_view pattern,
                   const Locale& locale) {
  const std::int32_t n = vector.ubound(1);
  for (std::int32_t i = 1; i <= n; ++i) append_cell(text, vector(i), pattern, locale);
}

void append_matrix(std::string& text, const DoubleArray& matrix, std::string_view pattern,
                   bool row_col, const Locale& locale) {
  const std::int32_t r = matrix.ubound(1);
  const std::int32_t c = matrix.ubound(2);
  if (row_col) {
    // Label fields are as wide as the pattern's text plus one, not as the
    // numbers it produces: with the default pattern every cell has its
    // width, so the labels stand right-aligned over their columns; a pattern
    // whose results are longer or shorter shifts them.
    const auto field = static_cast<std::int64_t>(text_length(pattern)) + 1;
    text += kHeaderIndent;
    for (std::int32_t k = 1; k <= c; ++k) {
      const std::string label = format_number(k, kNumberPattern, locale);
      const std::int64_t spaces = field - static_cast<std::int64_t>(text_length(label));
      if (spaces < 0) raise(ErrorNumber::kInvalidProcedureCall);
      text.append(static_cast<std::size_t>(spaces), ' ');
      text += label;
      text += kSeparator;
      check_length(text);
    }
    text += kLineEnd;
  }
  for (std::int32_t i = 1; i <= r; ++i) {
    for (std::int32_t j = 1; j <= c; ++j) {
      if (j == 1) {
        if (i > 1) text += kLineEnd;
        if (row_col) {
          text += format_number(i, kNumberPattern, locale);
          text += kSeparator;
        }
      }
      append_cell(text, matrix(i, j), pattern, locale);
    }
  }
}

void append_number(std::string& text, double x, std::string_view pattern, const Locale& locale) {
  text += format_number(x, pattern, locale);
  text += kSeparator;
}

}  // namespace nodrel::detail
