// The arguments of one call at the COM boundary, early or late bound.
//
// Every argument reaches the frame as a VARIANT: a late-bound client's own
// (a value, a script's reference to its variable, VT_BYREF | VT_VARIANT, or
// a typed reference such as VT_BYREF | VT_ARRAY | VT_R8), or, for a call
// through the function table, a typed reference that the stub makes of the
// typed pointer (see Param below). The frame turns each into the core's
// Variant and binds them all through the core's late binding
// (nodrel::invoke), so that a value converts by one set of rules, the
// core's, whichever way it comes; the errors of binding (449, 13, 94, 6) are
// the core's as well. What the method changed goes back through the
// caller's references, also after a failure: arrays as arrays of doubles
// to a typed reference, as arrays of variants to a script's variable, whose
// elements a script can read; unchanged values are not touched, so a
// variable keeps its own type.
//
// Ownership at the boundary, for every path (early and late binding, client
// objects, error information):
//   - what the caller passes is the caller's. Through a reference the server
//     may replace the referenced value, and only there: write_back() frees
//     the caller's old array or variant and stores the new one through the
//     same reference (store_variant, hand_back). A value is only read.
//   - every copy the server makes (the core's values here, a client's
//     EXCEPINFO texts) has one owner object that frees it once, in its
//     destructor, on success and on every failure; a new SAFEARRAY, BSTR or
//     VARIANT is held by such an owner until it is handed over.
//   - what the server hands out (a retval, a written argument, EXCEPINFO's
//     texts, the error object) is the caller's from then on.
#ifndef NODREL_COM_CALL_FRAME_HPP
#define NODREL_COM_CALL_FRAME_HPP

#include <windows.h>

#include <array>
#include <cstddef>
#include <deque>
#include <vector>

#include "binding/method_table.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/variant.hpp"

namespace nodrel::com {

// How a parameter type of _Matr's function table crosses: the kind of
// argument it is in the method table, and the automation type of the
// reference to it (a late-bound client's typed reference).
template <ArgKind Kind, VARTYPE Type>
struct ParamOf {
  static constexpr ArgKind kind = Kind;
  static constexpr VARTYPE type = Type;
};
template <typename T>
struct Param;
template <>
struct Param<SAFEARRAY**> : ParamOf<ArgKind::kDoubleArray, VT_ARRAY | VT_R8> {};
template <>
struct Param<double*> : ParamOf<ArgKind::kDouble, VT_R8> {};
template <>
struct Param<LONG*> : ParamOf<ArgKind::kLong, VT_I4> {};
template <>
struct Param<BSTR*> : ParamOf<ArgKind::kString, VT_BSTR> {};
template <>
struct Param<VARIANT*> : ParamOf<ArgKind::kVariant, VT_VARIANT> {};
// Only ever the [out, retval] argument.
template <>
struct Param<VARIANT_BOOL*> : ParamOf<ArgKind::kVariant, VT_BOOL> {};

// True when the parameter types P (the retval last, for a method with a
// result) are those of `method` in the method table.
template <typename... P>
consteval bool params_agree(const MethodInfo& method) {
  constexpr ArgKind kinds[] = {Param<P>::kind..., ArgKind::kVariant};
  constexpr VARTYPE types[] = {Param<P>::type..., VT_EMPTY};
  const std::size_t n = method.args.size();
  if (sizeof...(P) != n + (method.result != ResultKind::kNone ? 1 : 0)) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (kinds[i] != method.args[i].kind || types[i] == VT_BOOL) return false;
  }
  if (method.result == ResultKind::kBool) return types[n] == VT_BOOL;
  return method.result == ResultKind::kNone || types[n] == VT_R8;
}

// A method of the table named in a template argument: stub<"mDet">.
struct MethodName {
  consteval MethodName(const char* name) {
    while (place < detail::kMethods.size() && detail::kMethods[place].name != name) ++place;
    if (place == detail::kMethods.size()) throw "no method of that name";
  }
  std::size_t place = 0;
};

class CallFrame {
 public:
  CallFrame(const MethodInfo& method, const Locale& locale) : method_(method), locale_(locale) {}
  CallFrame(const CallFrame&) = delete;
  CallFrame& operator=(const CallFrame&) = delete;

  // Binds `argument` to the method's argument `position`: a reference is
  // read through (any chain of VT_BYREF | VT_VARIANT), and bound once however
  // often the caller passes its variable or its array; a value is read into
  // a copy of the frame's own. Run-time error 13 for a null reference or a
  // value the core has no counterpart for; an argument not bound is left out.
  void bind(std::size_t position, VARIANT& argument);

  // Calls the method through the core's binding (see nodrel::invoke); when
  // an argument fails to bind, *failed_position (if not null) names it.
  Variant call(Matr& object, std::size_t* failed_position);

  // Hands back what the method changed, through the caller's references.
  // Nothing when the call failed before the method ran. Every argument goes
  // back even when one fails; the first failure is raised afterwards.
  void write_back();

 private:
  struct Binding {
    std::vector<VARIANT*> targets;  // the caller's references to it; none for a value
    SAFEARRAY* array = nullptr;     // the caller's array, when it holds one
    bool written = false;           // bound to an argument the method writes
    bool variant = false;           // ... of kind VARIANT*: handed back as it stands
    Variant value;
    Variant before;  // the value as bound, for a written argument
  };
  void hand_back(Binding& binding);

  const MethodInfo& method_;
  const Locale& locale_;
  bool ran_ = false;
  std::deque<Binding> bindings_;  // grows at the end only: args_ stays valid
  std::array<Variant*, detail::kMaxArguments> args_{};
};

}  // namespace nodrel::com

#endif  // NODREL_COM_CALL_FRAME_HPP
