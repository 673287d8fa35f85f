// Late-bound calls: automation values in, a method of Matr called, the
// caller's values written back.
//
// A call has two phases. Binding checks and converts every argument in order
// (450, 449, 13 ...) before anything runs, so a bad argument never leaves a
// half-done call behind. Then the method runs on the bound values, and
// whatever it wrote goes back into the caller's Variants, also when it fails.
#include "nodrel/dispatch.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "nodrel/error.hpp"
#include "binding/method_table.hpp"

namespace nodrel {

namespace {

// The shortest text that reads back as the same double, with the locale's
// decimal separator, as a client sees a number turned into text.
std::string number_text(double value, const Locale& locale) {
  std::array<char, 32> buffer{};
  const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  std::string text(buffer.data(), ec == std::errc() ? end : buffer.data());
  const auto point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, locale.decimal);
  return text;
}

std::string to_text(const Variant& value, const Locale& locale) {
  switch (value.kind()) {
    case VariantKind::kString: return *value.string();
    case VariantKind::kEmpty: return {};
    case VariantKind::kBoolean: return *value.boolean() ? "True" : "False";
    case VariantKind::kInteger: return std::to_string(*value.integer());
    case VariantKind::kDouble: return number_text(*value.real(), locale);
    case VariantKind::kNull: raise(ErrorNumber::kInvalidUseOfNull);
    default: raise(ErrorNumber::kTypeMismatch);
  }
}

// An array of variants as an array of doubles of the same bounds. The
// elements convert as mDuplVar converts them.
DoubleArray to_double_array(const VariantArray& source, const Locale& locale) {
  // A malformed VariantArray (elements and bounds that disagree) is the
  // caller's mistake, but it must neither make us read beyond its elements
  // nor allocate what its bounds promise.
  std::uint64_t count = source.bounds.empty() ? 0 : 1;
  for (const ArrayBound& b : source.bounds) {
    count = b.count == 0 || count <= kMaxArrayElements ? count * b.count : count;
  }
  if (count != source.elements.size()) raise(ErrorNumber::kTypeMismatch);
  DoubleArray result(source.bounds);
  result.set_fixed(source.fixed);
  std::vector<double>& out = result.storage();
  for (std::size_t k = 0; k < out.size(); ++k) out[k] = to_double(source.elements[k], locale);
  return result;
}

// The arguments of one call, bound to the caller's Variants.
class Binder {
 public:
  Binder(const Locale& locale, const MethodInfo& method, std::span<Variant* const> args,
         std::size_t* failed_argument)
      : method_(method) {
    if (args.size() > method.args.size()) {
      if (failed_argument != nullptr) *failed_argument = method.args.size();
      raise(ErrorNumber::kWrongNumberOfArguments);
    }
    // Pointers into temporaries_ are handed to the method: no reallocation.
    temporaries_.reserve(method.args.size());
    for (std::size_t i = 0; i < method.args.size(); ++i) {
      try {
        bind(i, i < args.size() ? args[i] : nullptr, locale);
      } catch (const Error&) {
        if (failed_argument != nullptr) *failed_argument = i;
        throw;
      }
    }
  }

  DoubleArray& array(std::size_t i) { return *slots_[i].array; }
  double& real(std::size_t i) { return slots_[i].real; }
  std::int32_t integer(std::size_t i) const { return slots_[i].integer; }
  std::string_view text(std::size_t i) const { return slots_[i].text; }
  Variant* variant(std::size_t i) const { return slots_[i].source; }

  // Hands back what the method wrote into values that it could not reach
  // in place: converted arrays and the doubles it writes.
  void write_back() {
    for (std::size_t i = 0; i < method_.args.size(); ++i) {
      const ArgumentInfo& a = method_.args[i];
      if (a.kind == ArgKind::kDouble && a.role != ArgRole::kRead) {
        *slots_[i].source = Variant(slots_[i].real);
      }
    }
    for (Temporary& t : temporaries_) {
      if (!t.written) continue;
      // A never-dimensioned array that the method did not dimension stays
      // what the caller had: Empty.
      if (t.was_empty && t.array.dims() == 0) continue;
      *t.source = Variant(std::move(t.array));
    }
  }

 private:
  struct Slot {
    Variant* source = nullptr;  // the caller's Variant; nullptr when left out
    DoubleArray* array = nullptr;
    double real = 0.0;
    std::int32_t integer = 0;
    std::string text;
  };
  struct Temporary {
    Variant* source;
    DoubleArray array;
    bool was_empty;
    bool written;
  };

  void bind(std::size_t i, Variant* source, const Locale& locale) {
    const ArgumentInfo& a = method_.args[i];
    Slot& slot = slots_[i];
    if (source != nullptr && source->is_missing()) source = nullptr;
    slot.source = source;
    if (source == nullptr) {
      if (!a.optional) raise(ErrorNumber::kArgumentNotOptional);
      return;
    }
    switch (a.kind) {
      case ArgKind::kDoubleArray: slot.array = &bind_array(*source, a.role, locale); break;
      case ArgKind::kDouble: slot.real = to_double(*source, locale); break;
      case ArgKind::kLong: slot.integer = to_int32(*source, locale); break;
      case ArgKind::kString: slot.text = to_text(*source, locale); break;
      case ArgKind::kVariant: break;
    }
  }

  DoubleArray& bind_array(Variant& source, ArgRole role, const Locale& locale) {
    if (DoubleArray* in_place = source.double_array()) return *in_place;
    // One Variant passed twice is one array, as one variable would be.
    for (Temporary& t : temporaries_) {
      if (t.source == &source) {
        t.written = t.written || role != ArgRole::kRead;
        return t.array;
      }
    }
    DoubleArray converted;
    if (source.kind() == VariantKind::kArray) {
      converted = to_double_array(*source.array(), locale);
    } else if (source.kind() != VariantKind::kEmpty) {
      raise(ErrorNumber::kTypeMismatch);
    }
    temporaries_.push_back(Temporary{&source, std::move(converted),
                                     source.kind() == VariantKind::kEmpty, role != ArgRole::kRead});
    return temporaries_.back().array;
  }

  const MethodInfo& method_;
  std::array<Slot, detail::kMaxArguments> slots_;
  std::vector<Temporary> temporaries_;
};

// How each C++ parameter type of Matr's methods is fetched from the binder,
// and which table entries it agrees with.
template <typename T>
struct Param;

template <>
struct Param<DoubleArray&> {
  static constexpr bool agrees(const ArgumentInfo& a) {
    return a.kind == ArgKind::kDoubleArray && a.role != ArgRole::kRead && !a.optional;
  }
  static DoubleArray& get(Binder& b, std::size_t i) { return b.array(i); }
};
template <>
struct Param<const DoubleArray&> {
  static constexpr bool agrees(const ArgumentInfo& a) {
    return a.kind == ArgKind::kDoubleArray && a.role == ArgRole::kRead && !a.optional;
  }
  static const DoubleArray& get(Binder& b, std::size_t i) { return b.array(i); }
};
template <>
struct Param<double> {
  static constexpr bool agrees(const ArgumentInfo& a) {
    return a.kind == ArgKind::kDouble && a.role == ArgRole::kRead && !a.optional;
  }
  static double get(Binder& b, std::size_t i) { return b.real(i); }
};
template <>
struct Param<double&> {
  static constexpr bool agrees(const ArgumentInfo& a) {
    return a.kind == ArgKind::kDouble && a.role == ArgRole::kWritten && !a.optional;
  }
  static double& get(Binder& b, std::size_t i) { return b.real(i); }
};
template <>
struct Param<std::int32_t> {
  static constexpr bool agrees(const ArgumentInfo& a) {
    return a.kind == ArgKind::kLong && a.role == ArgRole::kRead && !a.optional;
  }
  static std::int32_t get(Binder& b, std::size_t i) { return b.integer(i); }
};
template <>
struct Param<std::string_view> {
  static constexpr bool agrees(const ArgumentInfo& a) {
    return a.kind == ArgKind::kString && a.role == ArgRole::kRead && !a.optional;
  }
  static std::string_view get(Binder& b, std::size_t i) { return b.text(i); }
};
template <>
struct Param<VariantRef> {
  static constexpr bool agrees(const ArgumentInfo& a) { return a.kind == ArgKind::kVariant; }
  static VariantRef get(Binder& b, std::size_t i) {
    if (Variant* v = b.variant(i)) return VariantRef(*v);
    return VariantRef();
  }
};
template <>
struct Param<const Variant&> {
  static constexpr bool agrees(const ArgumentInfo& a) {
    return a.kind == ArgKind::kVariant && a.role == ArgRole::kRead && !a.optional;
  }
  static const Variant& get(Binder& b, std::size_t i) { return *b.variant(i); }
};

template <typename R>
constexpr bool result_agrees(ResultKind kind) {
  if constexpr (std::is_void_v<R>) return kind == ResultKind::kNone;
  if constexpr (std::is_same_v<R, bool>) return kind == ResultKind::kBool;
  if constexpr (std::is_same_v<R, double>) return kind == ResultKind::kDouble;
  return false;
}

template <typename F>
struct Signature;
template <typename R, typename... P>
struct Signature<R (Matr::*)(P...)> {
  using Result = R;
  using Params = std::tuple<P...>;
  static constexpr std::size_t kCount = sizeof...(P);
};

template <auto Method>
Variant call_bound(Matr& object, Binder& b) {
  using S = Signature<decltype(Method)>;
  return [&]<std::size_t... I>(std::index_sequence<I...>)->Variant {
    if constexpr (std::is_void_v<typename S::Result>) {
      (object.*Method)(Param<std::tuple_element_t<I, typename S::Params>>::get(b, I)...);
      return Variant();
    } else {
      return Variant(
          (object.*Method)(Param<std::tuple_element_t<I, typename S::Params>>::get(b, I)...));
    }
  }
  (std::make_index_sequence<S::kCount>{});
}

using Invoker = Variant (*)(Matr&, Binder&);

// The binding of one table entry to the C++ method. Evaluated by the
// compiler: an entry whose arguments or result disagree with the method's
// signature stops the build here.
template <auto Method>
consteval Invoker bind_method(std::size_t place) {
  using S = Signature<decltype(Method)>;
  const MethodInfo& info = detail::kMethods[place];
  if (info.args.size() != S::kCount) throw "argument count differs from the C++ method";
  const bool args_agree = [&]<std::size_t... I>(std::index_sequence<I...>) {
    return (Param<std::tuple_element_t<I, typename S::Params>>::agrees(info.args[I]) && ...);
  }
  (std::make_index_sequence<S::kCount>{});
  if (!args_agree) throw "argument kinds or roles differ from the C++ method";
  if (!result_agrees<typename S::Result>(info.result)) throw "result differs from the C++ method";
  return &call_bound<Method>;
}

constexpr std::array<Invoker, detail::kMethods.size()> kInvokers{
    bind_method<&Matr::Initialize_dMatr>(0),
    bind_method<&Matr::mMatrIsVect>(1),
    bind_method<&Matr::mMatrIsQuadr>(2),
    bind_method<&Matr::mDet>(3),
    bind_method<&Matr::mSum>(4),
    bind_method<&Matr::mDiff>(5),
    bind_method<&Matr::mMult>(6),
    bind_method<&Matr::mMultVett>(7),
    bind_method<&Matr::mMatrIsSing>(8),
    bind_method<&Matr::mDivd>(9),
    bind_method<&Matr::mTrasp>(10),
    bind_method<&Matr::mOpp>(11),
    bind_method<&Matr::mSwapRC>(12),
    bind_method<&Matr::mDiag>(13),
    bind_method<&Matr::mSwap>(14),
    bind_method<&Matr::mSist>(15),
    bind_method<&Matr::mMakeMatrNul>(16),
    bind_method<&Matr::mMakeVectNul>(17),
    bind_method<&Matr::mMakeMatrI>(18),
    bind_method<&Matr::mMakeVectI>(19),
    bind_method<&Matr::mPrint>(20),
    bind_method<&Matr::mMod>(21),
    bind_method<&Matr::mProdScal>(22),
    bind_method<&Matr::mTrace>(23),
    bind_method<&Matr::mIdentical>(24),
    bind_method<&Matr::mMatrIsOrt>(25),
    bind_method<&Matr::mMatrAreOrt>(26),
    bind_method<&Matr::mMatrIsUnit>(27),
    bind_method<&Matr::mMatrIsZero>(28),
    bind_method<&Matr::mInv>(29),
    bind_method<&Matr::mDupl>(30),
    bind_method<&Matr::mDuplVar>(31),
    bind_method<&Matr::mPolin>(32),
    bind_method<&Matr::mGetYPolin>(33),
    bind_method<&Matr::mGetXsOfQuadr>(34),
    bind_method<&Matr::mShowAbout>(35),
};

}  // namespace

Variant invoke(Matr& object, std::int32_t dispid, std::span<Variant* const> args) {
  return invoke(object, dispid, args, nullptr);
}

Variant invoke(Matr& object, std::int32_t dispid, std::span<Variant* const> args,
               std::size_t* failed_argument) {
  const MethodInfo* method = find_method(dispid);
  if (method == nullptr) raise(ErrorNumber::kObjectDoesntSupport);
  try {
    Binder binder(object.locale(), *method, args, failed_argument);
    const Invoker call = kInvokers[static_cast<std::size_t>(method - detail::kMethods.data())];
    Variant result;
    try {
      result = call(object, binder);
    } catch (...) {
      // What the method wrote before it failed stays written.
      binder.write_back();
      throw;
    }
    binder.write_back();
    return result;
  } catch (const std::bad_alloc&) {
    // Memory the system refuses, wherever it was asked for, reaches a
    // late-bound client as run-time error 7, as it reaches a COM client.
    raise(ErrorNumber::kOutOfMemory);
  }
}

Variant invoke(Matr& object, std::string_view name, std::span<Variant* const> args) {
  return invoke(object, dispid_of(name), args);
}

}  // namespace nodrel
