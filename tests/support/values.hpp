// What the tests share: EXPECT_RUNTIME_ERROR, and whole automation values as
// text (kind, bounds and exact elements) so that a test compares a value in
// one assertion and a failure shows what came back:
//   show(Variant(0.6))                          -> "Double 0.6"
//   show(DoubleArray::matrix({{1, 2}}, 0, 1))   -> "DoubleArray 0..0,1..2 [1,2]"
// Rows are separated by ";"; a number is its shortest exact decimal text.
#ifndef NODREL_TESTS_SUPPORT_VALUES_HPP
#define NODREL_TESTS_SUPPORT_VALUES_HPP

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"

// The statement fails with the run-time error of that number.
#define EXPECT_RUNTIME_ERROR(statement, expected_number)                                          \
  do {                                                                                            \
    try {                                                                                         \
      statement;                                                                                  \
      ADD_FAILURE() << "expected run-time error " << (expected_number) << " from " << #statement; \
    } catch (const ::nodrel::Error& e_) {                                                         \
      EXPECT_EQ(e_.code(), (expected_number)) << #statement << ": " << e_.what();                 \
    }                                                                                             \
  } while (false)

namespace nodrel {

// A NaN shows as "nan" whatever its sign and payload (which operand the
// hardware propagates is the compiler's choice), or "snan" when signalling.
inline std::string number(double x) {
  if (std::isnan(x)) return (std::bit_cast<std::uint64_t>(x) >> 51 & 1) != 0 ? "nan" : "snan";
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x);
  return std::string(buffer.data(), result.ptr);
}

// Bounds, then the elements row by row (one dimension, or three and more:
// in storage order).
template <typename Element, typename Text>
std::string show_array(const std::vector<ArrayBound>& bounds, const std::vector<Element>& elements,
                       const Text& text) {
  std::string s;
  for (std::size_t d = 0; d < bounds.size(); ++d) {
    s += (d > 0 ? "," : "") + std::to_string(bounds[d].lower) + ".." +
         std::to_string(bounds[d].upper());
  }
  s += " [";
  const std::size_t rows = bounds.size() == 2 ? bounds[0].count : 1;
  for (std::size_t i = 0; i < std::min(rows, elements.size()); ++i) {
    for (std::size_t k = i; k < elements.size(); k += rows) {
      s += (k > i ? "," : i > 0 ? ";" : "") + text(elements[k]);
    }
  }
  return s + "]";
}

inline std::string show(const DoubleArray& a) {
  return "DoubleArray " + show_array(a.bounds(), a.storage(), number) + (a.fixed() ? " fixed" : "");
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
    case VariantKind::kArray:
      return "Array " + show_array(v.array()->bounds, v.array()->elements,
                                   [](const Variant& e) { return show(e); });
    case VariantKind::kDoubleArray: return show(*v.double_array());
  }
  return "?";
}

// What a call gives: its result shown ("" for none), or "error N" for the
// run-time error it raised.
template <typename Call>
std::string outcome(const Call& call) {
  try {
    if constexpr (std::is_void_v<decltype(call())>) {
      return call(), "";
    } else {
      return show(Variant(call()));
    }
  } catch (const Error& e) {
    return "error " + std::to_string(e.code());
  }
}

// "error N", or "" for 0: what outcome() gives for a call without a result.
inline std::string error_text(int number) {
  return number != 0 ? "error " + std::to_string(number) : "";
}

inline std::vector<Variant*> pointers(std::vector<Variant>& values) {
  std::vector<Variant*> p;
  for (Variant& v : values) p.push_back(&v);
  return p;
}

// Leaves ErrCode at 3, so that a method that resets it, or sets it, shows it.
inline void leave_code_3(Matr& m) { m.mMatrIsUnit(DoubleArray::zeros(1, 2)); }

// One call on one of the caller's arrays: the error it fails with (0: none)
// and the array afterwards, its bounds and elements (as show() gives them
// after "DoubleArray "), which after a failure is what the call wrote before
// it ("" for untouched).
struct ArrayCase {
  const char* name;
  DoubleArray array;
  std::function<void(Matr&, DoubleArray&)> call;
  int error;
  std::string after;
};

inline void check(const std::vector<ArrayCase>& cases) {
  for (const ArrayCase& c : cases) {
    SCOPED_TRACE(c.name);
    Matr m;
    m.set_locale(Locale::c());
    DoubleArray a = c.array;
    EXPECT_EQ(outcome([&] { c.call(m, a); }), error_text(c.error));
    EXPECT_EQ(show(a), c.after.empty() ? show(c.array) : "DoubleArray " + c.after);
  }
}

}  // namespace nodrel

#endif  // NODREL_TESTS_SUPPORT_VALUES_HPP
