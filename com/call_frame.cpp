#include "com/call_frame.hpp"

#include <oleauto.h>

#include <bit>
#include <cstdint>
#include <utility>

#include "com/safe_array.hpp"
#include "com/variant_convert.hpp"
#include "nodrel/error.hpp"

namespace nodrel::com {

namespace {

// The variable a reference leads to, through any number of references to
// references (a script procedure's own by-reference parameter passed on):
// a VARIANT that holds the value, or a typed reference to it.
VARIANT* variable_of(VARIANT& argument) {
  VARIANT* v = &argument;
  while (v != nullptr && V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
  if (v == nullptr || ((V_VT(v) & VT_BYREF) != 0 && V_BYREF(v) == nullptr)) {
    raise(ErrorNumber::kTypeMismatch);
  }
  return v;
}

// Where the variable keeps its array; null when it holds none.
SAFEARRAY** array_slot(VARIANT* variable) {
  if ((V_VT(variable) & VT_ARRAY) == 0) return nullptr;
  return (V_VT(variable) & VT_BYREF) != 0 ? V_ARRAYREF(variable) : &V_ARRAY(variable);
}

bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// True when the method left the value as the core read it from `before`: a
// number read as a double, an array of variants read as doubles. Only the
// arrays and doubles the core hands back can differ.
bool unchanged(const Variant& before, const Variant& after, const Locale& locale) {
  if (const double* x = after.real()) return same_bits(*x, to_double(before, locale));
  const DoubleArray* now = after.double_array();
  if (now == nullptr) return true;
  if (const DoubleArray* was = before.double_array()) return *now == *was;
  const VariantArray* was = before.array();
  if (was == nullptr) return now->dims() == 0;  // Empty, and never dimensioned
  if (now->bounds() != was->bounds) return false;
  for (std::size_t k = 0; k < was->elements.size(); ++k) {
    if (!same_bits(now->storage()[k], to_double(was->elements[k], locale))) return false;
  }
  return true;
}

Variant as_variant_array(const DoubleArray& value) {
  VariantArray result;
  result.bounds = value.bounds();
  result.elements.reserve(value.storage().size());
  for (double x : value.storage()) result.elements.emplace_back(x);
  return Variant(std::move(result));
}

}  // namespace

void CallFrame::bind(std::size_t position, VARIANT& argument) {
  const ArgumentInfo& info = method_.args[position];
  Binding* binding = nullptr;
  VARIANT* target = nullptr;
  if ((V_VT(&argument) & VT_BYREF) == 0) {
    Variant value = from_variant(argument);  // the caller's value, only read
    binding = &bindings_.emplace_back();
    binding->value = std::move(value);
  } else {
    target = variable_of(argument);
    SAFEARRAY** slot = array_slot(target);
    SAFEARRAY* array = slot != nullptr ? *slot : nullptr;
    // One variable, or one array in two variables, given twice is one
    // value, as it is for the method working in place.
    const void* place = (V_VT(target) & VT_BYREF) != 0 ? V_BYREF(target) : target;
    for (Binding& b : bindings_) {
      for (VARIANT* known : b.targets) {
        const void* known_place = (V_VT(known) & VT_BYREF) != 0 ? V_BYREF(known) : known;
        if (known_place == place || (array != nullptr && b.array == array)) binding = &b;
      }
    }
    if (binding == nullptr) {
      Variant value = from_variant(*target);
      binding = &bindings_.emplace_back();
      binding->value = std::move(value);
      binding->array = array;
    }
    binding->targets.push_back(target);
  }
  if (info.role != ArgRole::kRead && target != nullptr && !binding->written) {
    binding->written = true;
    binding->before = binding->value;
  }
  binding->variant = binding->variant || (binding->written && info.kind == ArgKind::kVariant);
  args_[position] = &binding->value;
}

Variant CallFrame::call(Matr& object, std::size_t* failed_position) {
  std::size_t failed = method_.args.size();
  ran_ = true;
  try {
    return invoke(object, method_.dispid, std::span(args_.data(), method_.args.size()), &failed);
  } catch (...) {
    // An argument that does not bind stops the call before the method runs.
    if (failed < method_.args.size()) {
      ran_ = false;
      if (failed_position != nullptr) *failed_position = failed;
    }
    throw;
  }
}

void CallFrame::write_back() {
  if (!ran_) return;
  write_back_each(bindings_, [this](Binding& b) {
    if (!b.written) return;
    if (b.variant) {
      store_variant(*b.targets.front(), b.value);
    } else if (!unchanged(b.before, b.value, locale_)) {
      hand_back(b);
    }
  });
}

void CallFrame::hand_back(Binding& binding) {
  const DoubleArray* value = binding.value.double_array();
  if (value == nullptr) {
    store_variant(*binding.targets.front(), binding.value);
    return;
  }
  // A typed reference gets an array of its own type; a variable an array of
  // variants, the only arrays a script can read.
  const VARIANT* first = binding.targets.front();
  const VARTYPE type = (V_VT(first) & VT_BYREF) != 0 ? V_VT(first) & VT_TYPEMASK : VT_VARIANT;
  // An array of texts or longs cannot hold the method's doubles.
  if (type != VT_R8 && type != VT_VARIANT) raise(ErrorNumber::kTypeMismatch);
  SAFEARRAY* held = binding.array;
  // In place where the bounds stay: an array the caller holds fixed or
  // locked must not be replaced (the method could not re-dimension it).
  if (held != nullptr && (element_type(held) == type || refuses_redim(held)) &&
      array_bounds(held) == value->bounds()) {
    write_in_place(held, *value);
    return;
  }
  if (value->dims() == 0) return;  // never dimensioned, and still not
  if (held != nullptr && refuses_redim(held)) raise(ErrorNumber::kArrayFixedOrLocked);
  VariantHolder fresh;
  if (type == VT_R8) {
    V_ARRAY(&fresh.value) = make_double_array(*value);
    V_VT(&fresh.value) = VT_ARRAY | VT_R8;
  } else {
    fresh.value = to_variant(as_variant_array(*value));
  }
  if (held != nullptr && FAILED(SafeArrayDestroy(held))) raise(ErrorNumber::kArrayFixedOrLocked);
  SAFEARRAY* replacement = fresh.release().parray;
  binding.array = replacement;
  for (VARIANT* target : binding.targets) {
    if ((V_VT(target) & VT_BYREF) != 0) {
      *V_ARRAYREF(target) = replacement;
      continue;
    }
    // A variable that held no array (Empty) is cleared; its array was `held`.
    if ((V_VT(target) & VT_ARRAY) == 0) VariantClear(target);
    V_VT(target) = VT_ARRAY | type;
    V_ARRAY(target) = replacement;
  }
}

}  // namespace nodrel::com
