// The caller's arrays of doubles: SAFEARRAY(double) in, DoubleArray for the
// method, SAFEARRAY(double) back out.
#ifndef NODREL_COM_SAFE_ARRAY_HPP
#define NODREL_COM_SAFE_ARRAY_HPP

#include <windows.h>

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

// The bounds of `array`, first dimension first (the descriptor keeps them
// last dimension first); none for a null array.
std::vector<ArrayBound> array_bounds(const SAFEARRAY* array);

// The type of the elements of `array`; for an array made without a recorded
// type, VT_VARIANT when its features say so, otherwise VT_R8.
VARTYPE element_type(SAFEARRAY* array);

// The bounds and elements of `array`. A null array (a variable that was
// never dimensioned) is a DoubleArray without dimensions. Run-time error 13
// when the elements are not doubles, 7 when the array is too large.
DoubleArray read_double_array(SAFEARRAY* array);

// A new SAFEARRAY of doubles with the bounds and elements of `value`, or
// null for an array without dimensions. Run-time error 7 when it cannot be
// allocated.
SAFEARRAY* make_double_array(const DoubleArray& value);

// Writes the elements of `value` into `array`, of the same bounds, whose
// elements are doubles or variants (each then holds a double). Run-time
// error 10 for any other element type, or an array that cannot be accessed.
void write_in_place(SAFEARRAY* array, const DoubleArray& value);

// True for an array that must not be replaced: one the caller declared fixed
// in size (FADF_FIXEDSIZE, or FADF_STATIC, FADF_EMBEDDED and FADF_AUTO,
// whose memory is not the array's to free) or one that is locked. The
// platform would let us destroy some of these anyway; the caller would then
// hold a dangling array.
bool refuses_redim(const SAFEARRAY* array) noexcept;

}  // namespace nodrel::com

#endif  // NODREL_COM_SAFE_ARRAY_HPP
