// Automation VARIANTs and the core's Variant, type by type:
//
//   VT_EMPTY, VT_NULL, VT_BOOL, VT_DATE, VT_BSTR  <-> Empty, Null, Boolean, Date, String
//   VT_I1 .. VT_UI8, VT_INT, VT_UINT              ->  Integer
//   Integer                                       ->  VT_I4, or VT_R8 beyond 32 bits
//   VT_R4, VT_R8, VT_CY, VT_DECIMAL               ->  Double (VT_R8 back)
//   VT_ERROR                                      <-> Missing (DISP_E_PARAMNOTFOUND), an error
//   VT_DISPATCH, VT_UNKNOWN                       <-> Object (see client_object.hpp)
//   VT_ARRAY | VT_R8                              <-> DoubleArray
//   VT_ARRAY | any other element type             ->  VariantArray
//   VariantArray                                  ->  VT_ARRAY | VT_VARIANT
// A VT_BYREF variant is read through its reference.
#ifndef NODREL_COM_VARIANT_CONVERT_HPP
#define NODREL_COM_VARIANT_CONVERT_HPP

#include <windows.h>

#include <cstddef>

#include "nodrel/variant.hpp"

namespace nodrel::com {

// Owns a VARIANT until it is handed over.
struct VariantHolder {
  VARIANT value;
  VariantHolder() { VariantInit(&value); }
  ~VariantHolder() { VariantClear(&value); }
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;
  VARIANT release() {
    VARIANT out = value;
    VariantInit(&value);
    return out;
  }
};

// The number of bytes of a scalar of automation type `type` (VT_ERROR
// included); 0 for a type that is not a plain scalar.
std::size_t scalar_size(VARTYPE type);

// The value of `value`. Run-time error 13 for a type the core has no
// counterpart for (a record, a pointer, a nested reference), 7 when memory
// runs out.
Variant from_variant(const VARIANT& value);

// `value` as a new VARIANT the caller clears. Run-time error 7 when memory
// runs out.
VARIANT to_variant(const Variant& value);

// Writes `value` into the caller's argument `target`: into the referenced
// variable for a VT_BYREF argument, converted to that variable's type
// (run-time error 13 when it does not convert), otherwise replacing
// `target`'s value.
void store_variant(VARIANT& target, const Variant& value);

}  // namespace nodrel::com

#endif  // NODREL_COM_VARIANT_CONVERT_HPP
