// Memory the system refuses, as the component reports it.
//
// Arrays map a refused allocation to run-time error 7 themselves. Scratch
// memory and texts (a fast path's buffers, the text mPrint composes) come
// from the standard containers, which throw std::bad_alloc; the work that
// uses them runs inside with_scratch, so that a C++ caller sees error 7
// there too and never the standard exception:
//
//   with_scratch([&] { return fast_product(...); })  -> its result, or
//                                                        Error 7 on refusal
#ifndef NODREL_RUNTIME_MEMORY_HPP
#define NODREL_RUNTIME_MEMORY_HPP

#include <new>

#include "nodrel/error.hpp"

namespace nodrel::detail {

// Runs `work`. A refusal fails the call with run-time error 7, as the
// refusal of an array does; any other error passes through unchanged. The
// fast paths write the caller's arrays only after their scratch is in hand,
// so the arguments are as the failure rules allow.
template <typename Work>
auto with_scratch(Work&& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    raise(ErrorNumber::kOutOfMemory);
  }
}

}  // namespace nodrel::detail

#endif  // NODREL_RUNTIME_MEMORY_HPP
