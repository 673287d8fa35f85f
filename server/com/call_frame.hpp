// The arguments of one early-bound call, as the core's types.
//
// Arrays and variants are copied in when the method binds them and copied
// back by write_back(), which the caller runs whether the method succeeded
// or failed. Scalars (double*, long*, BSTR*) are used in place.
#ifndef NODREL_SERVER_COM_CALL_FRAME_HPP
#define NODREL_SERVER_COM_CALL_FRAME_HPP

#include <windows.h>

#include <deque>

#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "nodrel/variant.hpp"
#include "server/com/safe_array.hpp"

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
