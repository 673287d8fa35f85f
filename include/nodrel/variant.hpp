// Variant: the automation value, as clients pass optional arguments, the
// source of mDuplVar and the value that mPrint prints.
//
//   Variant()                    -> Empty
//   Variant::missing()           -> an optional argument left out
//   Variant(2.5), Variant(3)     -> Double, Integer
//   Variant("2.5")               -> String
//   Variant(DoubleArray::vector({1, 2}))  -> an array of doubles
//
// The conversions below are the ones automation clients know, in a Locale:
//   to_double(Variant("1,234.5"), Locale::c())  -> 1234.5
//   to_double(Variant(true), loc)               -> -1.0
//   to_double(Variant::null(), loc)             -> run-time error 94
//   to_int32(Variant(2.5), loc)                 -> 2 (half to even)
//   to_int32(Variant(3.5), loc)                 -> 4
//   is_numeric(Variant("abc"), loc)             -> false
#ifndef NODREL_VARIANT_HPP
#define NODREL_VARIANT_HPP

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "nodrel/double_array.hpp"
#include "nodrel/export.hpp"
#include "nodrel/locale.hpp"

namespace nodrel {

// A client object reached through a Variant (the print destinations). The
// kinds a method recognises derive from it; see the print destinations.
class NODREL_API Object {
 public:
  virtual ~Object();
};

enum class VariantKind {
  kMissing,  // an optional argument left out
  kEmpty,    // a variable never assigned
  kNull,     // no valid data
  kBoolean,
  kInteger,  // any integer type, held in 64 bits
  kDouble,
  kDate,  // an automation date: days since 30 December 1899
  kString,
  kError,  // an error value other than "missing"
  kObject,
  kArray,        // an array of variants, any number of dimensions
  kDoubleArray,  // an array of doubles, any number of dimensions
};

class Variant;

// An array of variants: bounds per dimension and the elements in
// column-major order, as DoubleArray stores them.
struct NODREL_API VariantArray {
  std::vector<ArrayBound> bounds;
  std::vector<Variant> elements;
  // Held fixed in size by its owner: converted to doubles for a method, it
  // is a fixed DoubleArray.
  bool fixed = false;

  // A one-dimensional array with lower bound `lower`.
  static VariantArray vector(std::vector<Variant> values, std::int32_t lower = 1);
  // A two-dimensional array from rows of equal length (run-time error 5
  // otherwise), lower bounds `lower1` and `lower2`.
  static VariantArray matrix(const std::vector<std::vector<Variant>>& rows, std::int32_t lower1 = 1,
                             std::int32_t lower2 = 1);
};

struct Date {
  double serial = 0.0;
};

struct ErrorValue {
  std::int32_t scode = 0;
};

class NODREL_API Variant {
 public:
  Variant() = default;
  Variant(bool value) : value_(value) {}
  Variant(int value) : value_(std::int64_t{value}) {}
  Variant(std::int64_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(const char* text) : value_(std::string(text)) {}
  Variant(std::string text) : value_(std::move(text)) {}
  Variant(Date date) : value_(date) {}
  Variant(ErrorValue error) : value_(error) {}
  Variant(std::shared_ptr<Object> object) : value_(std::move(object)) {}
  Variant(VariantArray array) : value_(std::move(array)) {}
  Variant(DoubleArray array) : value_(std::move(array)) {}

  static Variant missing() { return Variant(Missing{}); }
  static Variant null() { return Variant(Null{}); }

  VariantKind kind() const noexcept;
  bool is_missing() const noexcept { return kind() == VariantKind::kMissing; }
  // True for an array of any element type and any number of dimensions.
  bool is_array() const noexcept;

  // Typed access: a pointer to the held value, or nullptr when the variant
  // holds another kind.
  const bool* boolean() const noexcept { return std::get_if<bool>(&value_); }
  const std::int64_t* integer() const noexcept { return std::get_if<std::int64_t>(&value_); }
  const double* real() const noexcept { return std::get_if<double>(&value_); }
  const Date* date() const noexcept { return std::get_if<Date>(&value_); }
  const std::string* string() const noexcept { return std::get_if<std::string>(&value_); }
  const ErrorValue* error() const noexcept { return std::get_if<ErrorValue>(&value_); }
  const std::shared_ptr<Object>* object() const noexcept {
    return std::get_if<std::shared_ptr<Object>>(&value_);
  }
  const VariantArray* array() const noexcept { return std::get_if<VariantArray>(&value_); }
  VariantArray* array() noexcept { return std::get_if<VariantArray>(&value_); }
  const DoubleArray* double_array() const noexcept { return std::get_if<DoubleArray>(&value_); }
  DoubleArray* double_array() noexcept { return std::get_if<DoubleArray>(&value_); }

  // The bounds of the held array; empty for a value that is not an array.
  const std::vector<ArrayBound>& array_bounds() const noexcept;

 private:
  struct Missing {};
  struct Null {};
  explicit Variant(Missing m) : value_(m) {}
  explicit Variant(Null n) : value_(n) {}

  std::variant<std::monostate, Missing, Null, bool, std::int64_t, double, Date, std::string,
               ErrorValue, std::shared_ptr<Object>, VariantArray, DoubleArray>
      value_;
};

// An argument passed by reference that the caller may leave out. It binds to
// the caller's own Variant (which the method may write back, as mPrint writes
// Perif) or holds a temporary value; default-constructed it is missing.
//
//   m.mPrint(a);                        // every optional argument missing
//   Variant perif = "msgbox";
//   m.mPrint(a, {}, perif);             // perif reads "MSGBOX" afterwards
class NODREL_API VariantRef {
 public:
  VariantRef() : owned_(Variant::missing()), ref_(&owned_) {}
  VariantRef(Variant& variable) : ref_(&variable) {}
  VariantRef(Variant&& value) : owned_(std::move(value)), ref_(&owned_) {}
  VariantRef(const Variant& value) : owned_(value), ref_(&owned_) {}
  template <typename T, typename = std::enable_if_t<std::is_constructible_v<Variant, T&&> &&
                                                    !std::is_same_v<std::decay_t<T>, Variant> &&
                                                    !std::is_same_v<std::decay_t<T>, VariantRef>>>
  VariantRef(T&& value) : owned_(std::forward<T>(value)), ref_(&owned_) {}
  VariantRef(const VariantRef&) = delete;
  VariantRef& operator=(const VariantRef&) = delete;

  Variant& operator*() const noexcept { return *ref_; }
  Variant* operator->() const noexcept { return ref_; }

 private:
  Variant owned_;
  Variant* ref_;
};

// The conversions of automation values. Each takes the locale in which a
// text is read as a number; see number_text for the grammar.

// True for a number, a boolean, Empty and a text that reads as a finite
// number; false for Null, a date, an error value, an object, an array,
// Missing and any other text.
NODREL_API bool is_numeric(const Variant& value, const Locale& locale);

// Numbers keep their value; true gives -1.0, false 0.0; Empty 0.0; a text
// that reads as a number that number (run-time error 6 when it lies beyond
// the range of a double); a date its serial day number. Run-time error 94
// for Null, 13 for anything else.
NODREL_API double to_double(const Variant& value, const Locale& locale);

// The value of to_double rounded to the nearest integer, a half to the even
// one. Run-time error 6 outside the signed 32-bit range (NaN included), 13
// for a value that is not numeric, Null included.
NODREL_API std::int32_t to_int32(const Variant& value, const Locale& locale);

// A non-zero number is true, zero false; a boolean as it is; Null and Empty
// false; the texts "True" and "False" in any case, or a numeric text; a date
// by its serial day number. Run-time error 6 for a text beyond the range of
// a double, 13 for anything else.
NODREL_API bool to_boolean_null_false(const Variant& value, const Locale& locale);

// a > b, the numeric comparison; b converts as to_double does (errors
// included), a fractional value compared as it is.
NODREL_API bool greater_than(double a, const Variant& b, const Locale& locale);

}  // namespace nodrel

#endif  // NODREL_VARIANT_HPP
