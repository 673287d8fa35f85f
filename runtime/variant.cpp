#include "nodrel/variant.hpp"

#include <cmath>
#include <string>

#include "runtime/number_text.hpp"
#include "nodrel/error.hpp"

namespace nodrel {

Object::~Object() = default;

VariantArray VariantArray::vector(std::vector<Variant> values, std::int32_t lower) {
  VariantArray a;
  a.bounds = {ArrayBound{lower, static_cast<std::uint32_t>(values.size())}};
  a.elements = std::move(values);
  return a;
}

VariantArray VariantArray::matrix(const std::vector<std::vector<Variant>>& rows,
                                  std::int32_t lower1, std::int32_t lower2) {
  const std::size_t r = rows.size();
  const std::size_t c = r == 0 ? 0 : rows[0].size();
  for (const auto& row : rows) {
    if (row.size() != c) raise(ErrorNumber::kInvalidProcedureCall);
  }
  VariantArray a;
  a.bounds = {ArrayBound{lower1, static_cast<std::uint32_t>(r)},
              ArrayBound{lower2, static_cast<std::uint32_t>(c)}};
  a.elements.resize(r * c);
  for (std::size_t i = 0; i < r; ++i) {
    for (std::size_t j = 0; j < c; ++j) a.elements[j * r + i] = rows[i][j];
  }
  return a;
}

VariantKind Variant::kind() const noexcept {
  switch (value_.index()) {
    case 0: return VariantKind::kEmpty;
    case 1: return VariantKind::kMissing;
    case 2: return VariantKind::kNull;
    case 3: return VariantKind::kBoolean;
    case 4: return VariantKind::kInteger;
    case 5: return VariantKind::kDouble;
    case 6: return VariantKind::kDate;
    case 7: return VariantKind::kString;
    case 8: return VariantKind::kError;
    case 9: return VariantKind::kObject;
    case 10: return VariantKind::kArray;
    default: return VariantKind::kDoubleArray;
  }
}

bool Variant::is_array() const noexcept {
  const VariantKind k = kind();
  return k == VariantKind::kArray || k == VariantKind::kDoubleArray;
}

const std::vector<ArrayBound>& Variant::array_bounds() const noexcept {
  static const std::vector<ArrayBound> kNone;
  if (const VariantArray* a = array()) return a->bounds;
  if (const DoubleArray* a = double_array()) return a->bounds();
  return kNone;
}

namespace {

// The numeric value of a variant, when it has one, without raising:
// the common ground of is_numeric and the conversions.
enum class Numeric { kValue, kNotNumeric, kNull, kOutOfRange };

Numeric numeric_value(const Variant& v, const Locale& locale, bool dates, double& out) {
  switch (v.kind()) {
    case VariantKind::kEmpty: out = 0.0; return Numeric::kValue;
    case VariantKind::kBoolean: out = *v.boolean() ? -1.0 : 0.0; return Numeric::kValue;
    case VariantKind::kInteger: out = static_cast<double>(*v.integer()); return Numeric::kValue;
    case VariantKind::kDouble: out = *v.real(); return Numeric::kValue;
    case VariantKind::kDate:
      if (!dates) return Numeric::kNotNumeric;
      out = v.date()->serial;
      return Numeric::kValue;
    case VariantKind::kString: {
      const detail::NumberText t = detail::parse_number(*v.string(), locale);
      if (t.status == detail::NumberTextStatus::kOutOfRange) return Numeric::kOutOfRange;
      if (t.status != detail::NumberTextStatus::kNumber) return Numeric::kNotNumeric;
      out = t.value;
      return Numeric::kValue;
    }
    case VariantKind::kNull: return Numeric::kNull;
    default: return Numeric::kNotNumeric;
  }
}

}  // namespace

bool is_numeric(const Variant& value, const Locale& locale) {
  double ignored;
  return numeric_value(value, locale, /*dates=*/false, ignored) == Numeric::kValue;
}

double to_double(const Variant& value, const Locale& locale) {
  double out = 0.0;
  switch (numeric_value(value, locale, /*dates=*/true, out)) {
    case Numeric::kValue: return out;
    case Numeric::kNull: raise(ErrorNumber::kInvalidUseOfNull);
    case Numeric::kOutOfRange: raise(ErrorNumber::kOverflow);
    case Numeric::kNotNumeric: break;
  }
  raise(ErrorNumber::kTypeMismatch);
}

std::int32_t to_int32(const Variant& value, const Locale& locale) {
  double out = 0.0;
  switch (numeric_value(value, locale, /*dates=*/true, out)) {
    case Numeric::kValue: break;
    case Numeric::kOutOfRange: raise(ErrorNumber::kOverflow);
    case Numeric::kNull:
    case Numeric::kNotNumeric: raise(ErrorNumber::kTypeMismatch);
  }
  // nearbyint rounds in the current rounding mode, half to even by default;
  // the range test comes first so that the cast is always defined.
  if (!(out > -2147483648.5 && out < 2147483647.5)) {
    // The edges round to the even neighbour: -2147483648.5 rounds to
    // -2147483648, 2147483647.5 to 2147483648 (out of range).
    if (out == -2147483648.5) return INT32_MIN;
    raise(ErrorNumber::kOverflow);
  }
  return static_cast<std::int32_t>(std::nearbyint(out));
}

bool to_boolean_null_false(const Variant& value, const Locale& locale) {
  switch (value.kind()) {
    case VariantKind::kNull:
    case VariantKind::kEmpty: return false;
    case VariantKind::kBoolean: return *value.boolean();
    case VariantKind::kString: {
      std::string lower;
      for (char c : *value.string()) {
        lower.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
      }
      const auto trimmed_begin = lower.find_first_not_of(" \t");
      const auto trimmed_end = lower.find_last_not_of(" \t");
      if (trimmed_begin != std::string::npos) {
        const std::string word = lower.substr(trimmed_begin, trimmed_end - trimmed_begin + 1);
        if (word == "true") return true;
        if (word == "false") return false;
      }
      break;
    }
    default: break;
  }
  double out = 0.0;
  switch (numeric_value(value, locale, /*dates=*/true, out)) {
    case Numeric::kValue: return out != 0.0;
    // A text beyond the range of a double fails as its conversion to a
    // number does, rather than reading as some large truth.
    case Numeric::kOutOfRange: raise(ErrorNumber::kOverflow);
    default: raise(ErrorNumber::kTypeMismatch);
  }
}

bool greater_than(double a, const Variant& b, const Locale& locale) {
  return a > to_double(b, locale);
}

}  // namespace nodrel
