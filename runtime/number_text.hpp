// Reading a text as a number, as automation clients do, in a Locale.
//
// The accepted grammar (blanks are spaces and tabs; "sep", "dec" and "cur" are
// the locale's thousands separator, decimal separator and currency symbol):
//
//   text     = blanks ( radix | signed ) blanks
//   radix    = "&H" hex-digit{1,8} | "&O" octal-digit{1,11}   (H, O in any case)
//   signed   = sign? blanks body blanks sign?     (at most one sign in all)
//            | "(" blanks body blanks ")"         (negative)
//   body     = cur? blanks mantissa exponent? blanks cur?   (at most one cur)
//   mantissa = digits ( dec digit* )? | dec digit+
//   digits   = digit+ ( sep digit+ )*             (separators only between digits)
//   exponent = ( "E" | "e" | "D" | "d" ) ( "+" | "-" )? digit+
//   sign     = "+" | "-"
//
// Decimal digits are converted with correct rounding. A radix value is the
// unsigned value of its digits taken as a 32-bit two's complement integer,
// so "&HFF" is 255 and "&HFFFFFFFF" is -1; one beyond 32 bits is not a
// number.
//
//   parse_number("  -1,234.5e1 ", Locale::c())  -> 12345 (kNumber)
//   parse_number("(2.50)", Locale::c())         -> -2.5
//   parse_number("$3", Locale::c())             -> 3
//   parse_number("1.234,5", {",", ".", "EUR"})  -> 1234.5
//   parse_number("1e400", Locale::c())          -> kOutOfRange
//   parse_number("1e-400", Locale::c())         -> 0 (underflow is no fault)
//   parse_number("abc", Locale::c())            -> kNotANumber
#ifndef NODREL_RUNTIME_NUMBER_TEXT_HPP
#define NODREL_RUNTIME_NUMBER_TEXT_HPP

#include <string_view>

#include "nodrel/locale.hpp"

namespace nodrel::detail {

enum class NumberTextStatus {
  kNumber,      // value holds the number
  kNotANumber,  // the text does not follow the grammar
  kOutOfRange,  // it does, but its magnitude exceeds the largest double
};

struct NumberText {
  NumberTextStatus status = NumberTextStatus::kNotANumber;
  double value = 0.0;
};

NumberText parse_number(std::string_view text, const Locale& locale);

}  // namespace nodrel::detail

#endif  // NODREL_RUNTIME_NUMBER_TEXT_HPP
