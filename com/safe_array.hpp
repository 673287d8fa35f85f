// The caller's arrays of doubles: SAFEARRAY(double) in, DoubleArray for the
// method, SAFEARRAY(double) back out.
//
// A method works on a copy of each array and the copy goes back when the
// method returns, also when it fails with a run-time error, so what it wrote
// before the error reaches the caller just as if it had written in place.
#ifndef NODREL_SERVER_COM_SAFE_ARRAY_HPP
#define NODREL_SERVER_COM_SAFE_ARRAY_HPP

#include <windows.h>

#include <deque>
#include <exception>
#include <vector>

#include "nodrel/double_array.hpp"

namespace nodrel::com {

// Hands back every item of `items` with `write_back`, even when one of them
// fails; the first failure is raised afterwards, so that one bad argument
// never keeps the others from reaching the caller.
template <typename Items, typename WriteBack>
void write_back_each(Items& items, WriteBack&& write_back) {
  std::exception_ptr first_failure;
  for (auto& item : items) {
    try {
      write_back(item);
    } catch (...) {
      if (!first_failure) first_failure = std::current_exception();
    }
  }
  if (first_failure) std::rethrow_exception(first_failure);
}

// The bounds and elements of `array`. A null array (a variable that was
// never dimensioned) is a DoubleArray without dimensions. Run-time error 13
// when the elements are not doubles, 7 when the array is too large.
DoubleArray read_double_array(SAFEARRAY* array);

// A new SAFEARRAY of doubles with the bounds and elements of `value`, or
// null for an array without dimensions. Run-time error 7 when it cannot be
// allocated.
SAFEARRAY* make_double_array(const DoubleArray& value);

// True for an array that must not be replaced: one the caller declared fixed
// in size (FADF_FIXEDSIZE, or FADF_STATIC, FADF_EMBEDDED and FADF_AUTO,
// whose memory is not the array's to free) or one that is locked. The
// platform would let us destroy some of these anyway; the caller would then
// hold a dangling array.
bool refuses_redim(const SAFEARRAY* array) noexcept;

// The array arguments of one call.
class ArrayArguments {
 public:
  ArrayArguments() = default;
  ArrayArguments(const ArrayArguments&) = delete;
  ArrayArguments& operator=(const ArrayArguments&) = delete;

  // The caller's array behind a SAFEARRAY(double)* argument, as the
  // DoubleArray the method works on. An array given twice (the same
  // variable, or two variables holding the same array) is one DoubleArray,
  // so the method sees what it would see working in place. An array that
  // refuses_redim() is marked fixed: re-dimensioning it fails with run-time
  // error 10 and leaves it as it was. Run-time error 5 for a null `ref`.
  DoubleArray& bind(SAFEARRAY** ref);

  // Hands every array the method changed back to the caller: the elements
  // in place when the bounds are the same, otherwise a new SAFEARRAY that
  // replaces (and frees) the caller's. Unchanged arrays are not touched.
  void write_back();

 private:
  struct Binding {
    std::vector<SAFEARRAY**> refs;
    SAFEARRAY* array = nullptr;  // the caller's array when the call began
    DoubleArray original;
    DoubleArray value;
  };
  void write_back(Binding& binding);

  std::deque<Binding> bindings_;  // grows at the end only: references stay valid
};

}  // namespace nodrel::com

#endif  // NODREL_SERVER_COM_SAFE_ARRAY_HPP
