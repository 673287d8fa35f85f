// How the host shows values: arrays of numbers as aligned columns (or in the
// component's own print layout, as written, or as CSV), everything else as
// it would be written.
#ifndef NODREL_CLI_DISPLAY_HPP
#define NODREL_CLI_DISPLAY_HPP

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "nodrel/matr.hpp"
#include "nodrel/platform.hpp"
#include "nodrel/variant.hpp"

namespace nodrel::cli {

enum class Layout {
  kColumns,  // right-aligned columns, the shortest text that reads back exactly
  kPrint,    // the text mPrint composes
  kLiteral,  // as written: 0:[[1,2],[3,4]]
  kCsv,      // a row a line, elements apart by commas
};

class Display {
 public:
  // `pattern`: the number pattern of mPrint for the print layout, empty for
  // its default. `all`: every element of a large array, not a summary.
  explicit Display(Layout layout = Layout::kColumns, std::string pattern = {}, bool all = false);

  // An array of one or two dimensions, one line per row, each line ended:
  //   columns   [[4,7],[2,6.5]]  ->  "4    7\n2  6.5\n"
  //   print     the text that mPrint composes, without its comment line
  //   csv       "4,7\n2,6.5\n"
  // Beyond kSummaryLimit elements the columns show the first and last
  // kEdge rows and columns around "...". Arrays that are not of numbers, of
  // more dimensions, never dimensioned, or that mPrint refuses in the print
  // layout, are shown as written.
  void write(std::ostream& out, const Variant& value);

  static constexpr std::size_t kSummaryLimit = 1000;
  static constexpr std::uint32_t kEdge = 3;

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

  void columns(std::ostream& out, const DoubleArray& a);

  Layout layout_;
  std::string pattern_;
  bool all_;
  Matr printer_;  // its own object: printing must not touch the caller's ErrCode
  std::shared_ptr<Caption> caption_;
};

}  // namespace nodrel::cli

#endif  // NODREL_CLI_DISPLAY_HPP
