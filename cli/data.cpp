#include "cli/data.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <string_view>
#include <vector>

#include "cli/syntax.hpp"

namespace nodrel::cli {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// A cell's number: the shortest decimal text reads back to the same double,
// and inf, -inf and nan are the special doubles.
std::optional<double> cell_value(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::string word = fold(text.substr(!text.empty() && (negative || text.front() == '+')));
  if (word == "inf") return negative ? -HUGE_VAL : HUGE_VAL;
  if (word == "nan") return std::numeric_limits<double>::quiet_NaN();
  const char* begin = text.data() + (!text.empty() && text.front() == '+' ? 1 : 0);
  double value = 0;
  const auto r = std::from_chars(begin, text.data() + text.size(), value);
  if (r.ptr != text.data() + text.size() || text.empty() || r.ec == std::errc::invalid_argument) {
    return std::nullopt;
  }
  if (r.ec == std::errc::result_out_of_range) {
    value = std::strtod(std::string(text).c_str(), nullptr);  // an underflow is 0, an overflow inf
  }
  return value;
}

}  // namespace

std::optional<std::string> read_data(const std::string& path, DoubleArray& array) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::string(std::strerror(errno));
  std::vector<double> values;  // row by row
  std::size_t columns = 0, rows = 0, first_line = 0, number = 0;
  char separator = 0;  // 0: blanks
  for (std::string line; std::getline(file, line);) {
    ++number;
    if (line.find_first_not_of(" \t\r\f\v") == std::string::npos) continue;
    if (rows == 0) {
      separator = line.find(';') != std::string::npos   ? ';'
                  : line.find(',') != std::string::npos ? ','
                                                        : 0;
      first_line = number;
    }
    std::size_t cells = 0, at = 0;
    const std::string where = "line " + std::to_string(number) + ", column ";
    while (at <= line.size()) {
      if (separator == 0) {
        while (at < line.size() && is_blank(line[at])) ++at;
        if (at == line.size()) break;
      }
      std::size_t end = at;
      while (end < line.size() &&
             (separator == 0 ? !is_blank(line[end]) : line[end] != separator)) {
        ++end;
      }
      std::size_t from = at, to = end;
      while (from < to && is_blank(line[from])) ++from;
      while (to > from && is_blank(line[to - 1])) --to;
      const std::string_view text = std::string_view(line).substr(from, to - from);
      const std::optional<double> value = cell_value(text);
      if (!value) {
        return where + std::to_string(from + 1) +
               (text.empty() ? ": an empty cell" : ": '" + std::string(text) + "' is not a number");
      }
      values.push_back(*value);
      ++cells;
      at = end + 1;
    }
    if (rows > 0 && cells != columns) {
      return "line " + std::to_string(number) + " has " + std::to_string(cells) +
             (cells == 1 ? " cell" : " cells") + ", line " + std::to_string(first_line) + " has " +
             std::to_string(columns);
    }
    columns = cells;
    ++rows;
  }
  if (file.bad()) return std::string(std::strerror(errno));
  if (rows == 0) return std::string("no numbers in the file");
  if (rows == 1) {
    array = DoubleArray::vector(std::move(values));
    return std::nullopt;
  }
  array = DoubleArray({ArrayBound{1, static_cast<std::uint32_t>(rows)},
                       ArrayBound{1, static_cast<std::uint32_t>(columns)}});
  // Stored column by column: element (r, c) at r + c x rows.
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns; ++c)
      array.storage()[r + c * rows] = values[r * columns + c];
  }
  return std::nullopt;
}

}  // namespace nodrel::cli
