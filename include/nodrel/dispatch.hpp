// Late binding: the interface of Matr described once, as data, and calls by
// name or dispatch identifier with automation values.
//
// The table below is the one description of the 36 methods of the automation
// interface, in function-table order: each method's name, dispatch identifier,
// arguments (name, kind, role, optional or not) and result. Whatever lists
// the interface (the late-bound calls here, the nodrel command-line host, the
// Windows type library) reads it or is tested against it. The bindings from
// the table to the C++ methods are checked against the signatures in
// matr.hpp when the library is compiled.
//
//   nodrel::Matr m;
//   nodrel::find_method("MINV")->dispid      -> 0x60030020 (names ignore case)
//   nodrel::find_method("SwapValues")        -> nullptr (private routines have no name)
//
//   nodrel::Variant a = nodrel::DoubleArray::matrix({{4, 7}, {2, 6}});
//   nodrel::call(m, "mDet", a)               -> Variant(10.0)
//   nodrel::call(m, "mInv", a);              // a holds the inverse, bounds 0..2, 0..2
//   nodrel::call(m, "mMatrIsVect", a)        -> Variant(false)
//
//   nodrel::Variant dest;                    // Empty: a never-dimensioned array
//   nodrel::Variant order = 3;               // any value that converts to a long
//   nodrel::call(m, "mMakeMatrI", dest, order);   // dest holds the 3 x 3 identity
//
//   nodrel::Variant* args[] = {&a};          // the general form, by identifier
//   nodrel::invoke(m, 0x60030004, args);     // mDet
//
// Arguments are passed by reference: args[0] is the method's first argument,
// and each points at the caller's own Variant, which the call writes back.
//   - A double array argument takes a Variant holding a DoubleArray; the
//     method works on that array in place, so what it writes and how it
//     re-dimensions it stays in the caller's Variant. Empty is a
//     never-dimensioned array; if the method dimensions it, the Variant
//     holds the new DoubleArray afterwards, otherwise it stays Empty. An
//     array of variants (VariantArray) is converted element by element as
//     mDuplVar converts (run-time errors 13, 94 or 6 for an element that
//     does not convert); a method that writes the argument leaves a
//     DoubleArray in the caller's Variant. The same Variant given twice is
//     one array, as when a client passes one variable twice.
//   - A double or long argument takes any value that converts (to_double,
//     to_int32 in the object's locale). x1 and x2 of mGetXsOfQuadr are
//     written back as Double.
//   - A string argument takes a String; Empty is the empty text, a Boolean
//     "True" or "False", a number its shortest decimal text in the object's
//     locale; Null fails with 94, anything else with 13.
//   - A variant argument is passed as it stands and written back where the
//     method writes it (mPrint's Perif and RowCol).
//   - An optional argument may be left out (args shorter than the method's
//     argument list, or a null pointer) or passed as Variant::missing().
//
// Errors, all run-time errors (nodrel::Error), raised before the method runs:
//   438 "Object doesn't support this property or method": an unknown name or
//       identifier, including the identifiers of the private routines;
//   450 "Wrong number of arguments or invalid property assignment": more
//       arguments than the method has;
//   449 "Argument not optional": a required argument left out or missing;
//   13 "Type mismatch" (or 94, 6 from the conversions): an argument of the
//       wrong kind, checked in argument order.
// A run-time error of the method itself travels out unchanged, number and
// description; what the method wrote before it stays written in the
// caller's Variants.
#ifndef NODREL_DISPATCH_HPP
#define NODREL_DISPATCH_HPP

#include <array>
#include <concepts>
#include <cstdint>
#include <span>
#include <string_view>

#include "nodrel/export.hpp"
#include "nodrel/matr.hpp"
#include "nodrel/variant.hpp"

namespace nodrel {

// What an argument is at the boundary.
enum class ArgKind {
  kDoubleArray,  // SAFEARRAY(double)*: a Matrix or a Vector
  kDouble,       // double*
  kLong,         // long*, signed 32-bit
  kString,       // BSTR*
  kVariant,      // VARIANT*
};

// What the method does with an argument. Every argument crosses the boundary
// by reference, in and out; the role says which ones the caller sees change.
enum class ArgRole {
  kRead,           // only read
  kWritten,        // written in place: elements of an array, or the value itself
  kRedimensioned,  // an array the method replaces with one of new bounds
};

enum class ResultKind {
  kNone,
  kBool,  // VARIANT_BOOL: true -1, false 0; a Boolean Variant here
  kDouble,
};

struct ArgumentInfo {
  std::string_view name;
  ArgKind kind;
  ArgRole role;
  bool optional;
};

struct MethodInfo {
  std::string_view name;
  std::int32_t dispid;
  std::span<const ArgumentInfo> args;
  ResultKind result;
  std::string_view help;  // one line, for type libraries and usage texts
};

// Dispatch identifiers are this base plus the method's place among all the
// class's procedures, so the private routines leave gaps.
inline constexpr std::int32_t kDispidBase = 0x60030000;

// The 36 methods in function-table order: methods()[0] is Initialize_dMatr,
// methods()[35] mShowAbout.
NODREL_API std::span<const MethodInfo> methods() noexcept;

// The method of that name, compared without regard to case; nullptr when no
// method of the interface has that name.
NODREL_API const MethodInfo* find_method(std::string_view name) noexcept;
// The method of that dispatch identifier; nullptr for any other identifier.
NODREL_API const MethodInfo* find_method(std::int32_t dispid) noexcept;

// The dispatch identifier of a name, as late-bound clients ask for it first.
// Run-time error 438 for a name that is not a method of the interface.
NODREL_API std::int32_t dispid_of(std::string_view name);

// Calls a method of `object` with the caller's Variants (see above). Returns
// the result: Empty for a method without one, a Boolean or a Double.
NODREL_API Variant invoke(Matr& object, std::int32_t dispid, std::span<Variant* const> args);
// The same; when the arguments cannot be bound (450, 449, 13, 94 or 6 raised
// before the method runs), *failed_argument receives the place, from 0, of
// the argument at fault (for 450 the first one too many), as puArgErr does
// for IDispatch::Invoke. Otherwise it is left as it was.
NODREL_API Variant invoke(Matr& object, std::int32_t dispid, std::span<Variant* const> args,
                          std::size_t* failed_argument);
NODREL_API Variant invoke(Matr& object, std::string_view name, std::span<Variant* const> args);

// invoke by name with the arguments listed:
//   call(m, "mSwapRC", a, rc, first, second)
template <typename... Args>
requires(std::same_as<Args, Variant>&&...) Variant
    call(Matr& object, std::string_view name, Args&... args) {
  std::array<Variant*, sizeof...(Args)> pointers{&args...};
  return invoke(object, name, std::span<Variant* const>(pointers.data(), pointers.size()));
}

}  // namespace nodrel

#endif  // NODREL_DISPATCH_HPP
