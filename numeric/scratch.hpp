// The scratch memory of the numeric layer: a buffer of kLocal elements on
// the stack, or on the heap when more are asked for, released on every exit.
//
// A refused allocation throws std::bad_alloc; this layer knows no error
// numbers, and the layer above maps the refusal to its own error.
//
//   Scratch<double, 64> work(n * n);   // on the stack up to order 8
//   work.data()[0] = 1.0;
#ifndef NODREL_NUMERIC_SCRATCH_HPP
#define NODREL_NUMERIC_SCRATCH_HPP

#include <cstddef>
#include <memory>

namespace nodrel::numeric {

template <typename T, std::size_t kLocal = 1>
class Scratch {
 public:
  explicit Scratch(std::size_t size) : size_(size) {
    if (size > kLocal) {
      heap_ = std::make_unique_for_overwrite<T[]>(size);
      data_ = heap_.get();
    }
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  T local_[kLocal];
  std::unique_ptr<T[]> heap_;
  std::size_t size_;
  T* data_ = local_;
};

}  // namespace nodrel::numeric

#endif  // NODREL_NUMERIC_SCRATCH_HPP
