// How the host shows values: arrays in the component's own print layout,
// everything else as it would be written.
#ifndef NODREL_CLI_DISPLAY_HPP
#define NODREL_CLI_DISPLAY_HPP

#include <memory>
#include <string>

#include "nodrel/matr.hpp"
#include "nodrel/platform.hpp"
#include "nodrel/variant.hpp"

namespace nodrel::cli {

class Display {
 public:
  // `pattern`: the number pattern of mPrint for array elements, empty for
  // its default. `literal`: show arrays as they are written instead.
  Display(std::string pattern, bool literal);

  // An array, one line per row, no line end after the last: the text that
  // mPrint composes, without its comment line. Arrays mPrint cannot print
  // (never dimensioned, more than two dimensions, a lower bound above 1,
  // elements that are not numbers) are shown as written:
  //   [[4,7],[2,6]]  ->  "             01           02  \n"
  //                      "01  +4.0000E+00  +7.0000E+00  \n"
  //                      "02  +2.0000E+00  +6.0000E+00  "
  std::string array(const Variant& value);

  // The bounds of an array: "(0..2, 0..2)", "(1..3)", "(never dimensioned)".
  static std::string bounds(const Variant& value);

  // A value that is not an array: 2, -0.5, inf, True, Empty, Null; a text
  // as it stands or, when `quoted`, between double quotes.
  static std::string scalar(const Variant& value, bool quoted);

  // Any value as the host's language writes it: 0:[[1,2],[3,4]], "a""b", null.
  static std::string literal(const Variant& value);

  // The shortest text that reads back as the same double.
  static std::string number(double value);

  // Checks that mPrint accepts the pattern: the run-time error it raises
  // with it, if any, propagates.
  void check_pattern();

 private:
  class Caption;
  std::string compose(const Variant& value);

  std::string pattern_;
  bool literal_;
  Matr printer_;  // its own object: printing must not touch the caller's ErrCode
  std::shared_ptr<Caption> caption_;
};

}  // namespace nodrel::cli

#endif  // NODREL_CLI_DISPLAY_HPP
