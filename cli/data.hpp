// Numbers from a data file, as the host reads a value written @FILE: one row
// a line, the cells apart by commas, semicolons or blanks (whichever the
// first row uses), blank lines skipped. One row is a Vector, more rows a
// Matrix; lower bounds 1.
#ifndef NODREL_CLI_DATA_HPP
#define NODREL_CLI_DATA_HPP

#include <optional>
#include <string>

#include "nodrel/double_array.hpp"

namespace nodrel::cli {

// Fills `array`, or returns what is wrong: "line 3, column 5: 'x1' is not a
// number", "line 4 has 2 cells, line 1 has 3", or the system's reason.
std::optional<std::string> read_data(const std::string& path, DoubleArray& array);

}  // namespace nodrel::cli

#endif  // NODREL_CLI_DATA_HPP
