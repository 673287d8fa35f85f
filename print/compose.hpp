// The print text of mPrint: the comment line, then a Matrix, a Vector or a
// number laid out cell by cell. Composition needs nothing of a user
// interface, only the number formatting of format.hpp, so that the same
// input, pattern and locale give the same characters everywhere.
//
// Layout, "·" standing for a space and the default pattern "0.0000E+00":
//
//   Matrix {{1, -2.5}, {12345.678, 0}}, row and column numbers on:
//     ·············01···········02··\r\n
//     01··+1.0000E+00··-2.5000E+00··\r\n
//     02··+1.2346E+04··+0.0000E+00··
//   Vector {1, 2, -3}:
//     +1.0000E+00··+2.0000E+00··-3.0000E+00··
//   Number 2.5:
//     2.5000E+00··
//
// A cell is the formatted element with "+" in front when its text reads back
// (in the same locale) as a number >= 0, and two spaces after it. A text
// that already begins with "-" never gets the "+": a small negative shown as
// "-0.00" reads back as zero but is not made "+-0.00". A Number has no "+".
// Nothing ends the last line.
#ifndef NODREL_PRINT_COMPOSE_HPP
#define NODREL_PRINT_COMPOSE_HPP

#include <string>
#include <string_view>

#include "nodrel/double_array.hpp"
#include "nodrel/locale.hpp"
#include "nodrel/variant.hpp"

namespace nodrel::detail {

inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kDefaultPattern = "0.0000E+00";

// The text of an argument that must hold text: a string as it is, Empty as
// "". Run-time error 94 for Null, 13 for anything else (a number included).
std::string text_argument(const Variant& value);

// Appends one cell: run-time error 13 when the formatted text does not read
// back as a number (a pattern with literal text); the errors of
// format_number otherwise.
void append_cell(std::string& text, double x, std::string_view pattern, const Locale& locale);

// Elements 1..n of a Vector, each a cell, all on the current line. This and
// append_matrix read the pattern once, at the first cell, with the errors
// append_cell would raise there.
void append_vector(std::string& text, const DoubleArray& vector, std::string_view pattern,
                   const Locale& locale);

// Rows 1..r, columns 1..c of a Matrix. With row_col, a header line of column
// numbers comes first, each label right-aligned over a field as wide as the
// pattern's text plus one, and every row starts with its number. Run-time
// error 5 when a label is longer than the pattern's text plus one (the empty
// pattern, for one).
void append_matrix(std::string& text, const DoubleArray& matrix, std::string_view pattern,
                   bool row_col, const Locale& locale);

// The formatted number and two spaces.
void append_number(std::string& text, double x, std::string_view pattern, const Locale& locale);

}  // namespace nodrel::detail

#endif  // NODREL_PRINT_COMPOSE_HPP
