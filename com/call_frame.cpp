#include "com/call_frame.hpp"

#include <exception>

#include "com/variant_convert.hpp"

namespace nodrel::com {

Variant& CallFrame::variant(VARIANT* ref, const ArgumentInfo& info) {
  const bool written = info.role != ArgRole::kRead;
  if (ref != nullptr) {
    // One caller variable passed twice is one value, as it is for the method.
    for (VariantBinding& b : variants_) {
      if (b.ref == ref) {
        b.written = b.written || written;
        return b.value;
      }
    }
  }
  Variant value = ref != nullptr ? from_variant(*ref) : Variant::missing();
  if (value.is_missing() && !info.optional) raise(ErrorNumber::kArgumentNotOptional);
  VariantBinding& b = variants_.emplace_back();
  b.ref = ref;
  b.written = written && ref != nullptr;
  b.value = std::move(value);
  return b.value;
}

void CallFrame::write_back() {
  std::exception_ptr first_failure;
  try {
    arrays_.write_back();
  } catch (...) {
    first_failure = std::current_exception();
  }
  for (VariantBinding& b : variants_) {
    if (!b.written) continue;
    try {
      store_variant(*b.ref, b.value);
    } catch (...) {
      if (!first_failure) first_failure = std::current_exception();
    }
  }
  if (first_failure) std::rethrow_exception(first_failure);
}

}  // namespace nodrel::com
