#include "cli/display.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "nodrel/error.hpp"

namespace nodrel::cli {

// The label that mPrint writes its text into.
class Display::Caption : public Label {
 public:
  std::string get_Caption() override { return text; }
  void put_Caption(const std::string& caption) override { text = caption; }
  std::string text;
};

Display::Display(Layout layout, std::string pattern, bool all)
    : layout_(layout),
      pattern_(std::move(pattern)),
      all_(all),
      caption_(std::make_shared<Caption>()) {}

std::string Display::number(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  std::array<char, 32> buffer{};
  const auto r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), r.ptr);
}

std::string Display::scalar(const Variant& value, bool quoted) {
  switch (value.kind()) {
    case VariantKind::kMissing: return "Missing";
    case VariantKind::kEmpty: return "Empty";
    case VariantKind::kNull: return "Null";
    case VariantKind::kBoolean: return *value.boolean() ? "True" : "False";
    case VariantKind::kInteger: return std::to_string(*value.integer());
    case VariantKind::kDouble: return number(*value.real());
    case VariantKind::kDate: return "Date " + number(value.date()->serial);
    case VariantKind::kString: {
      if (!quoted) return *value.string();
      std::string text = "\"";
      for (char c : *value.string()) text += c == '"' ? std::string("\"\"") : std::string(1, c);
      return text + "\"";
    }
    case VariantKind::kError: return "Error " + std::to_string(value.error()->scode);
    case VariantKind::kObject: return "Object";
    case VariantKind::kArray:
    case VariantKind::kDoubleArray: return literal(value);
  }
  return {};
}

std::string Display::bounds(const Variant& value) {
  const std::vector<ArrayBound>& b = value.array_bounds();
  if (b.empty()) return "(never dimensioned)";
  std::string text = "(";
  for (std::size_t d = 0; d < b.size(); ++d) {
    if (d > 0) text += ", ";
    text += std::to_string(b[d].lower) + ".." + std::to_string(b[d].upper());
  }
  return text + ")";
}

namespace {

// One level of nested lists, from dimension d on; `stride` is the distance
// between neighbours of dimension d in column-major storage.
template <typename Element>
void write_lists(std::string& out, const std::vector<ArrayBound>& bounds, std::size_t d,
                 std::size_t offset, std::size_t stride, const Element& element) {
  out += '[';
  for (std::uint32_t k = 0; k < bounds[d].count; ++k) {
    if (k > 0) out += ',';
    const std::size_t at = offset + k * stride;
    if (d + 1 == bounds.size()) {
      out += element(at);
    } else {
      write_lists(out, bounds, d + 1, at, stride * bounds[d].count, element);
    }
  }
  out += ']';
}

}  // namespace

std::string Display::literal(const Variant& value) {
  const std::vector<ArrayBound>& b = value.array_bounds();
  if (!value.is_array()) return scalar(value, true);
  if (b.empty()) return "[]";
  std::string out;
  bool all_one = true, all_same = true;
  for (const ArrayBound& bound : b) {
    all_one = all_one && bound.lower == 1;
    all_same = all_same && bound.lower == b.front().lower;
  }
  if (!all_one && all_same) {
    out += std::to_string(b.front().lower) + ":";
  } else if (!all_one) {
    for (const ArrayBound& bound : b) out += std::to_string(bound.lower) + ":";
  }
  if (const DoubleArray* a = value.double_array()) {
    write_lists(out, b, 0, 0, 1, [&](std::size_t at) { return number(a->storage()[at]); });
  } else {
    const VariantArray& v = *value.array();
    write_lists(out, b, 0, 0, 1, [&](std::size_t at) {
      // A malformed array of variants may hold fewer elements than its bounds.
      if (at >= v.elements.size()) return std::string("?");
      const Variant& e = v.elements[at];
      if (e.is_array()) return literal(e);
      switch (e.kind()) {
        case VariantKind::kEmpty: return std::string("empty");
        case VariantKind::kNull: return std::string("null");
        case VariantKind::kBoolean: return std::string(*e.boolean() ? "true" : "false");
        default: return scalar(e, true);
      }
    });
  }
  return out;
}

std::string Display::compose(const Variant& value) {
  Variant to_print = value;
  Variant obj = std::shared_ptr<Object>(caption_);
  Variant append = false;
  Variant frmt = pattern_.empty() ? Variant::missing() : Variant(pattern_);
  printer_.mPrint(to_print, obj, {}, frmt, {}, {}, append);
  std::string text = caption_->text;
  // The comment line is empty; the terminal wants its own line ends.
  if (text.compare(0, 2, "\r\n") == 0) text.erase(0, 2);
  std::string out;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') continue;
    out += text[k];
  }
  return out;
}

void Display::columns(std::ostream& out, const DoubleArray& a) {
  const std::vector<ArrayBound>& b = a.bounds();
  // A vector is one row.
  const std::uint32_t rows = b.size() == 1 ? 1 : b[0].count;
  const std::uint32_t cols = b.size() == 1 ? b[0].count : b[1].count;
  const bool summary = !all_ && a.storage().size() > kSummaryLimit;
  // The rows or columns shown: all, or the first and last kEdge around a gap.
  auto shown = [&](std::uint32_t count) {
    std::vector<std::int64_t> places;  // -1: the gap
    for (std::uint32_t k = 0; k < count; ++k) {
      if (summary && count > 2 * kEdge && k == kEdge) {
        places.push_back(-1);
        k = count - kEdge;
      }
      places.push_back(k);
    }
    return places;
  };
  const std::vector<std::int64_t> row_places = shown(rows), col_places = shown(cols);
  auto cell = [&](std::int64_t r, std::int64_t c) {
    if (r < 0 || c < 0) return std::string("...");
    return number(a.storage()[static_cast<std::size_t>(r) + static_cast<std::size_t>(c) * rows]);
  };
  std::vector<std::size_t> width(col_places.size(), 0);
  for (std::int64_t r : row_places) {
    for (std::size_t c = 0; c < col_places.size(); ++c) {
      width[c] = std::max(width[c], cell(r, col_places[c]).size());
    }
  }
  std::string line;
  for (std::int64_t r : row_places) {
    line.clear();
    for (std::size_t c = 0; c < col_places.size(); ++c) {
      const std::string text = cell(r, col_places[c]);
      if (c > 0) line += "  ";
      line.append(width[c] - text.size(), ' ');
      line += text;
    }
    out << line << '\n';
  }
  if (summary) {
    out << "("
        << (b.size() == 1 ? std::to_string(cols)
                          : std::to_string(rows) + " x " + std::to_string(cols))
        << " elements; --all shows every one)\n";
  }
}

void Display::write(std::ostream& out, const Variant& value) {
  const std::vector<ArrayBound>& b = value.array_bounds();
  const DoubleArray* a = value.double_array();
  bool empty = b.empty();
  for (const ArrayBound& bound : b) empty = empty || bound.count == 0;
  if (layout_ == Layout::kLiteral || a == nullptr || empty || b.size() > 2) {
    out << literal(value) << '\n';
    return;
  }
  if (layout_ == Layout::kColumns) {
    columns(out, *a);
    return;
  }
  if (layout_ == Layout::kCsv) {
    const std::uint32_t rows = b.size() == 1 ? 1 : b[0].count;
    const std::uint32_t cols = b.size() == 1 ? b[0].count : b[1].count;
    std::string line;
    for (std::uint32_t r = 0; r < rows; ++r) {
      line.clear();
      for (std::uint32_t c = 0; c < cols; ++c) {
        if (c > 0) line += ',';
        line += number(a->storage()[r + static_cast<std::size_t>(c) * rows]);
      }
      out << line << '\n';
    }
    return;
  }
  try {
    out << compose(value) << '\n';
  } catch (const Error&) {
    // The component refuses it (a lower bound above 1): the written form
    // still shows every element.
    out << literal(value) << '\n';
  }
}

void Display::check_pattern() {
  if (layout_ != Layout::kPrint || pattern_.empty()) return;
  compose(Variant(DoubleArray::matrix({{-1.5, 2}})));
}

}  // namespace nodrel::cli
