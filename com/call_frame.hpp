// The arguments of one early-bound call, as the core's types.
//
// Arrays and variants are copied in when the method binds them and copied
// back by write_back(), which the caller runs whether the method succeeded
// or failed. Scalars (double*, long*, BSTR*) are used in place.
//
// Ownership at the boundary, for every path (early and late binding, script
// arguments in script_arguments.hpp, client objects, error information):
//   - what the caller passes is the caller's. Through a reference the server
//     may replace the referenced value, and only there: write_back() frees
//     the caller's old array or variant and stores the new one through the
//     same reference (store_variant, ArrayArguments). A value is only read.
//   - every copy the server makes (the core's values here, the typed
//     temporaries of ScriptArguments, a client's EXCEPINFO texts) has one
//     owner object that frees it once, in its destructor, on success and on
//     every failure; a new SAFEARRAY, BSTR or VARIANT is held by such an
//     owner until it is handed over.
//   - what the server hands out (a retval, a written argument, EXCEPINFO's
//     texts, the error object) is the caller's from then on.
#ifndef NODREL_SERVER_COM_CALL_FRAME_HPP
#define NODREL_SERVER_COM_CALL_FRAME_HPP

#include <windows.h>

#include <deque>

#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "nodrel/variant.hpp"
#include "com/safe_array.hpp"

namespace nodrel::com {

class CallFrame {
 public:
  // A SAFEARRAY(double)* argument; see ArrayArguments::bind().
  DoubleArray& array(SAFEARRAY** ref) { return arrays_.bind(ref); }

  // A VARIANT* argument described by `info` (its optional flag and role). A
  // null pointer is a left-out argument: missing when `info` is optional,
  // run-time error 449 otherwise, as is an explicit "missing" value for a
  // required argument. A written argument goes back to the caller.
  Variant& variant(VARIANT* ref, const ArgumentInfo& info);

  // A scalar passed by reference; run-time error 5 for a null pointer.
  template <typename T>
  T& scalar(T* ref) {
    if (ref == nullptr) raise(ErrorNumber::kInvalidProcedureCall);
    return *ref;
  }

  // The [out, retval] argument, set to its zero value first so that a failed
  // call leaves nothing undefined behind. Run-time error 5 for a null pointer.
  template <typename T>
  T& result(T* ref) {
    T& value = scalar(ref);
    value = T{};
    return value;
  }

  // Hands back what the method changed: arrays (see ArrayArguments) and the
  // variants it writes. Every argument goes back even when one fails; the
  // first failure is raised afterwards.
  void write_back();

 private:
  struct VariantBinding {
    VARIANT* ref = nullptr;
    bool written = false;
    Variant value;
  };

  ArrayArguments arrays_;
  std::deque<VariantBinding> variants_;
};

}  // namespace nodrel::com

#endif  // NODREL_SERVER_COM_CALL_FRAME_HPP
