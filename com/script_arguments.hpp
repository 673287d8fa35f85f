// The arguments of a late-bound call as a scripting language passes them.
//
// VBScript and JScript hold every variable as a VARIANT, arrays as arrays of
// variants, and pass each variable as a reference to its VARIANT
// (VT_BYREF | VT_VARIANT). ITypeInfo::Invoke does not turn such a reference
// into the SAFEARRAY(double)*, double*, long* or BSTR* that the function
// table asks for, so the call would fail with a type mismatch.
//
// ScriptArguments converts those arguments, and only those, on a copy of the
// DISPPARAMS: an array (of variants, doubles or any numeric type, any lower
// bounds) or Empty becomes an array of doubles, a number or a text (or Empty)
// becomes the double, long or text. The method works on the copies; after
// it returns, whether it succeeded or failed, what it changed goes back into
// the caller's variables: numbers and texts as they are, arrays as arrays of
// variants holding doubles with the bounds the method gave them, because a
// script cannot read an array of doubles. What the method left unchanged is
// not touched, so a source array keeps its own element types.
//
// A value (not a reference) given for a typed parameter is converted the
// same way into a temporary of ours, so that a value of the wrong kind fails
// with the same run-time error as a reference to it would; nothing goes back.
// A value given for a VARIANT* parameter is handed to the method as a
// reference to a copy of its own: what the method writes there (mPrint hands
// Perif back) goes nowhere.
//
// Who owns what: the caller owns its DISPPARAMS, every VARIANT in it and
// everything they hold or refer to; by-value arguments are only read. This
// object owns the typed temporaries (slots_) and the copies (copies_), and
// frees each exactly once when it is destroyed, whether the call succeeded,
// failed, or never reached the method. A caller's variable changes only in
// write_back(), through its own reference, by store_variant() or in place.
//
// Typed references (a C++ client's), passed with exactly the parameter's
// type, pass through as they came.
#ifndef NODREL_SERVER_COM_SCRIPT_ARGUMENTS_HPP
#define NODREL_SERVER_COM_SCRIPT_ARGUMENTS_HPP

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "nodrel/double_array.hpp"

namespace nodrel::com {

class ScriptArguments {
 public:
  ScriptArguments() = default;
  ScriptArguments(const ScriptArguments&) = delete;
  ScriptArguments& operator=(const ScriptArguments&) = delete;
  ~ScriptArguments();

  // Sets `typed` to the parameters for function `id` of the function table
  // `info`: `params` itself when no argument needs converting, otherwise the
  // converted copy, valid while this object lives. DISP_E_BADPARAMCOUNT for
  // more arguments than the method takes. Run-time error 13 for a value that
  // does not convert, 6 for a number beyond the range of a long, 7 when
  // memory runs out; `bad_argument` (if not null) then names the argument,
  // as an index into params->rgvarg.
  HRESULT convert(ITypeInfo* info, DISPID id, DISPPARAMS* params, DISPPARAMS*& typed,
                  UINT* bad_argument);

  // Hands back what the method changed. Every variable goes back even when
  // one fails; the first failure is raised afterwards.
  void write_back();

 private:
  enum class Kind { kArray, kDouble, kLong, kText };
  struct Slot {
    VARIANT* variable = nullptr;  // the caller's
    Kind kind = Kind::kDouble;
    bool by_value = false;  // read only: nothing goes back
    bool fixed = false;  // the caller's array must keep its bounds: written in place
    // The typed value the method works on, and what it was before the call.
    SAFEARRAY* array = nullptr;
    DoubleArray array_before;
    double real = 0.0;
    double real_before = 0.0;
    LONG integer = 0;
    LONG integer_before = 0;
    BSTR text = nullptr;
    std::wstring text_before;
  };
  Slot& bind(VARIANT* variable, Kind kind, bool by_value);
  void write_back(Slot& slot);

  std::deque<Slot> slots_;  // grows at the end only: the typed references stay valid
  std::deque<VARIANT> copies_;
  std::vector<VARIANT> arguments_;
  DISPPARAMS params_{};
};

}  // namespace nodrel::com

#endif  // NODREL_SERVER_COM_SCRIPT_ARGUMENTS_HPP
