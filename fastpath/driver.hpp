// The one driver of the fast paths: "the numeric layer on the caller's
// arrays, else the method's checked loops", for every method that has a fast
// path.
//
// A method hands the driver its arguments and its checked loops. The driver
// looks at the arrays; when every element the loops would address exists
// (two dimensions, lower bounds 0 or 1, upper bounds that reach), it runs
// the engine of the numeric layer on views of them and writes the results
// as the checked loops would have written them. It falls back to the checked
// loops, on arguments exactly as they were passed, when an array does not
// qualify or the engine meets a fault (a non-finite element or result): the
// loops then raise the error at its element. Memory refused to the fast
// path fails the call with run-time error 7, as an array's refusal does.
//
//   double Matr::mDet(const DoubleArray& a) {
//     ...
//     return detail::fast::determinant(a, n, [&] { return the checked loops; });
//   }
//
// The choice of kernels (baseline, AVX2) is the numeric layer's; a split of
// large orders over threads would be too. Neither concerns the methods.
#ifndef NODREL_FASTPATH_DRIVER_HPP
#define NODREL_FASTPATH_DRIVER_HPP

#include <cstdint>
#include <memory>
#include <type_traits>

#include "nodrel/double_array.hpp"

namespace nodrel::detail::fast {

// A reference to a method's checked loops, a callable returning R. It lives
// only as long as the call it is passed to.
template <typename R>
class Loops {
 public:
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, Loops>>>
  Loops(F&& loops)  // NOLINT: a lambda converts implicitly
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(loops)))),
        call_([](void* object) -> R { return (*static_cast<std::remove_reference_t<F>*>(object))(); }) {}
  R operator()() const { return call_(object_); }

 private:
  void* object_;
  R (*call_)(void*);
};

// For tests and benchmarks: while on, every method below runs its checked
// loops, as if no array qualified, so that the engines can be held against
// them.
void force_checked_loops(bool on);

// mDet of a matrix already found square, of order n.
double determinant(const DoubleArray& a, std::int32_t n, Loops<double> checked);

// mInv of a of order n: the inverse written with bounds 0..n, 0..n and
// err_code 0, or a left untouched and err_code 4 when it is singular.
void inverse(DoubleArray& a, std::int32_t n, std::int32_t& err_code, Loops<void> checked);

// mSist: x(1..n) written, a and b unchanged.
void system(DoubleArray& x, const DoubleArray& a, const DoubleArray& b, std::int32_t n,
            Loops<void> checked);

// mDiag of the n x m matrix a (m >= n), in place.
void diagonal(DoubleArray& a, std::int32_t n, std::int32_t m, Loops<void> checked);

// mMult into dest, already re-dimensioned to 0..r, 0..c and zero: the sum
// over k terms.
void product(DoubleArray& dest, const DoubleArray& a, const DoubleArray& b, std::int32_t r,
             std::int32_t c, std::int32_t k, Loops<void> checked);

// mMultVett into dest, already re-dimensioned to 0..r and zero.
void product_vector(DoubleArray& dest, const DoubleArray& a, const DoubleArray& x, std::int32_t r,
                    std::int32_t c, Loops<void> checked);

}  // namespace nodrel::detail::fast

#endif  // NODREL_FASTPATH_DRIVER_HPP
