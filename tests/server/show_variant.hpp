// A Variant as text, kind and exact value, so that tests compare whole values
// and a failure shows what came back: "Double 0.6", "Boolean True",
// "DoubleArray 0..1,0..2 [0,0,0;0,1,2]" (rows separated by ";").
#ifndef NODREL_TESTS_SERVER_SHOW_VARIANT_HPP
#define NODREL_TESTS_SERVER_SHOW_VARIANT_HPP

#include <array>
#include <charconv>
#include <string>

#include "nodrel/double_array.hpp"
#include "nodrel/variant.hpp"

namespace nodrel::test {

inline std::string number(double x) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x);
  return std::string(buffer.data(), result.ptr);
}

inline std::string show(const DoubleArray& a) {
  std::string text = "DoubleArray ";
  for (std::size_t d = 0; d < a.dims(); ++d) {
    if (d > 0) text += ",";
    text += std::to_string(a.bounds()[d].lower) + ".." + std::to_string(a.bounds()[d].upper());
  }
  text += " [";
  if (a.dims() == 1) {
    for (std::size_t k = 0; k < a.storage().size(); ++k) {
      text += (k > 0 ? "," : "") + number(a.storage()[k]);
    }
  } else if (a.dims() == 2) {
    const auto rows = a.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (i > 0) text += ";";
      for (std::size_t j = 0; j < rows[i].size(); ++j)
        text += (j > 0 ? "," : "") + number(rows[i][j]);
    }
  }
  return text + "]";
}

inline std::string show(const Variant& v) {
  switch (v.kind()) {
    case VariantKind::kMissing: return "Missing";
    case VariantKind::kEmpty: return "Empty";
    case VariantKind::kNull: return "Null";
    case VariantKind::kBoolean: return *v.boolean() ? "Boolean True" : "Boolean False";
    case VariantKind::kInteger: return "Integer " + std::to_string(*v.integer());
    case VariantKind::kDouble: return "Double " + number(*v.real());
    case VariantKind::kDate: return "Date " + number(v.date()->serial);
    case VariantKind::kString: return "String \"" + *v.string() + "\"";
    case VariantKind::kError: return "Error " + std::to_string(v.error()->scode);
    case VariantKind::kObject: return "Object";
    case VariantKind::kArray: return "Array of " + std::to_string(v.array()->elements.size());
    case VariantKind::kDoubleArray: return show(*v.double_array());
  }
  return "?";
}

}  // namespace nodrel::test

#endif  // NODREL_TESTS_SERVER_SHOW_VARIANT_HPP
