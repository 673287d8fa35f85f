// Formatting a number by a pattern: the numeric part of the format-expression
// language automation users know, implemented here so that the same call
// gives the same characters on every platform.
//
// Contract
//
//   std::string format_number(double x, std::string_view pattern, const Locale& loc);
//
//   NumberFormat format(pattern);           // the pattern read once
//   format.append(text, x, loc);            // appends what format_number gives
//
// A printed matrix formats a million cells with one pattern: NumberFormat
// reads and checks the pattern once, and append() writes each cell's text
// straight into the caller's buffer. format_number(x, p, loc) is exactly
// NumberFormat(p).format(x, loc), errors included.
//
// Digits come from the exact decimal value of x (every double has a finite
// one), rounded to the digits the pattern shows, a tie half away from zero:
// the first dropped digit decides, 5 and above rounding the magnitude up.
// No printf-style approximation is involved anywhere, so 1e100 has all its
// 101 digits and 2.675 (really 2.67499999...) rounds to 2.67. (The digits
// are those of a correctly rounded std::to_chars a few places further on;
// only a text that lands exactly on half a unit, as 2.5 does with "0", is
// settled from the full expansion. format.cpp explains why that is exact.)
//
// Worked examples, in Locale::c() (decimal ".", thousands ","):
//
//   format_number(12345.678, "0.0000E+00", loc)  -> "1.2346E+04"
//   format_number(9.99995, "0.0000E+00", loc)    -> "1.0000E+01"  (carry into e)
//   format_number(1e100, "0.0000E+00", loc)      -> "1.0000E+100"
//   format_number(-0.001, "0.0000E+00", loc)     -> "-1.0000E-03"
//   format_number(0.0, "0.0000E+00", loc)        -> "0.0000E+00"  (-0.0 too)
//   format_number(7, "00", loc)                  -> "07"
//   format_number(1e100, "00", loc)              -> "1000000000000000015902891109759918"
//                                                   "0468360808563945281389781327557747"
//                                                   "838772170381060813469985856815104"
//                                                   (the 101 digits of the exact value)
//   format_number(2.5, "0", loc)                 -> "3"   (tie: away from zero)
//   format_number(-2.5, "0", loc)                -> "-3"
//   format_number(-0.001, "0.00", loc)           -> "-0.00"
//   format_number(1234567.891, "#,##0.00", loc)  -> "1,234,567.89"
//   format_number(1234567, "#,##0,", loc)        -> "1,235"  (scaled by 1000)
//   format_number(0.256, "0.0%", loc)            -> "25.6%"
//   format_number(-5, "0;(0)", loc)              -> "(5)"
//   format_number(0, "0;-0;\"zero\"", loc)       -> "zero"
//   format_number(0.5, "#.##", loc)              -> ".5"
//   format_number(1.5, "0.00", {",", ".", ""})   -> "1,50"  (the locale's separator)
//
// The supported subset
//
// A pattern is one to four sections separated by ";": positive; negative;
// zero; null. Inside a section:
//
//   0        digit placeholder: a digit, or 0 where the number has none.
//   #        digit placeholder: a digit, or nothing where the number has none.
//   .        the decimal separator (the locale's); at most one per section.
//            Always shown when present ("0." gives "5." for 5).
//   ,        between integer placeholders: group the integer digits by three
//            with the locale's thousands separator (none when it is empty).
//            After the last integer placeholder (before the "." or the end of
//            the integer part): divide by 1000, once per comma.
//   %        multiply by 100 (once per %) and show "%" where it stands.
//   E+ E- e+ e-  followed by one or more 0 / # placeholders: scientific
//            notation. The mantissa has as many integer digits as there are
//            integer placeholders (one for "0.00E+00") and the first of them
//            is not 0 unless the number is zero; the exponent has at least as
//            many digits as there are 0s after the sign, and at least one. E+
//            shows the exponent's sign always, E- only when negative.
//   "text"   literal text (any characters but the double quote).
//   \c       the character c, literally.
//   - + $ ( ) and space stand for themselves.
//
// Integer digits fill the integer placeholders from the right; digits beyond
// them all go to the leftmost one, and the placeholders from the leftmost 0
// on are always filled. Fraction digits fill the fraction placeholders from
// the left; zeros standing at the trailing # placeholders are dropped.
// Literals keep their place between the placeholders.
//
// Sections: a negative number uses the second section when there is one and
// it is not empty, formatted without its sign (the section supplies one, as
// in "0;(0)"); otherwise the first section, with "-" put in front of the
// whole text. Zero (also -0.0) uses the third section when there is one and
// it is not empty; otherwise the first. The section is chosen by the value
// before rounding, so -0.001 with "0.00" gives "-0.00". A fourth section is
// checked like the others; it is for Null, which is not a number and never
// reaches this function.
//
// Failures, raised through nodrel::raise() and never anything else:
//   - run-time error 5 for a pattern outside the subset: an empty pattern or
//     first section, more than four sections, an unquoted character not listed
//     above (letters included), an unterminated quote, a trailing backslash,
//     a second "." or E in a section, E or e without a sign and a
//     placeholder after it, a digit placeholder after the exponent, a "."
//     after the exponent, a "," before the first integer placeholder, in the
//     fraction or in the exponent, an exponent with no mantissa placeholder;
//   - run-time error 6 for an infinity or a NaN;
//   - run-time error 7 for a pattern of a million bytes or more, whatever
//     it holds: the text of every cell would be at least as long.
#ifndef NODREL_PRINT_FORMAT_HPP
#define NODREL_PRINT_FORMAT_HPP

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "nodrel/locale.hpp"

namespace nodrel::detail {

struct FormatSection;

class NumberFormat {
 public:
  // Reads the pattern: run-time error 5 or 7 as listed above.
  explicit NumberFormat(std::string_view pattern);
  ~NumberFormat();
  NumberFormat(NumberFormat&&) noexcept;
  NumberFormat& operator=(NumberFormat&&) noexcept;

  // Appends the text of x; run-time error 6 for an infinity or a NaN, or an
  // absurd number of integer digits, leaving `text` as it was.
  void append(std::string& text, double x, const Locale& locale) const;
  std::string format(double x, const Locale& locale) const;

  // True when every section holds only digit placeholders, at most one "."
  // and an exponent: no literal, "%" or ",". The text of such a pattern is
  // an optional "-", digits around the locale's separator and an optional
  // exponent, nothing else; the printed cell reads it back cheaply.
  bool digits_only() const noexcept { return digits_only_; }

 private:
  std::vector<FormatSection> sections_;
  bool digits_only_ = true;
};

std::string format_number(double x, std::string_view pattern, const Locale& locale);

// The number of characters of a UTF-8 text (its code points): how long a
// pattern or a label is for the layout of a printed matrix.
std::size_t text_length(std::string_view text) noexcept;

}  // namespace nodrel::detail

#endif  // NODREL_PRINT_FORMAT_HPP
