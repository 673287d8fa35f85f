#include "cli/display.hpp"

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

Display::Display(std::string pattern, bool literal)
    : pattern_(std::move(pattern)), literal_(literal), caption_(std::make_shared<Caption>()) {}

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

std::string Display::array(const Variant& value) {
  if (literal_ || value.array_bounds().empty() || value.array_bounds().size() > 2) {
    return literal(value);
  }
  try {
    return compose(value);
  } catch (const Error&) {
    // The component refuses it (a lower bound above 1, an element that is
    // not a number): the written form still shows every element.
    return literal(value);
  }
}

void Display::check_pattern() {
  if (literal_ || pattern_.empty()) return;
  compose(Variant(DoubleArray::matrix({{-1.5, 2}})));
}

}  // namespace nodrel::cli
