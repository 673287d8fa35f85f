// A reference to a COM object that releases itself, so that no early return
// or exception leaks one.
#ifndef NODREL_COM_COM_PTR_HPP
#define NODREL_COM_COM_PTR_HPP

#include <windows.h>

#include <utility>

namespace nodrel::com {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller owns (as an out-argument hands one over).
  explicit ComPtr(T* owned) noexcept : p_(owned) {}
  ComPtr(const ComPtr& other) noexcept : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  // A new reference to `p`.
  static ComPtr share(T* p) noexcept {
    if (p != nullptr) p->AddRef();
    return ComPtr(p);
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // For out-arguments: releases the current reference first.
  T** put() noexcept {
    reset();
    return &p_;
  }
  // Hands the reference over to the caller.
  T* detach() noexcept { return std::exchange(p_, nullptr); }
  void reset() noexcept {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

}  // namespace nodrel::com

#endif  // NODREL_COM_COM_PTR_HPP
