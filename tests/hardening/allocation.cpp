#include "hardening/allocation.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace nodrel::hardening {

namespace {

// Every block carries its size in front of it, so that delete knows what it
// gives back; the header keeps the alignment that operator new promises.
constexpr std::size_t kHeader = alignof(std::max_align_t);

std::atomic<std::int64_t> live_blocks{0};
std::atomic<std::int64_t> live_bytes{0};
std::atomic<std::uint64_t> refuse_countdown{0};  // 0: nothing to refuse
std::atomic<std::size_t> refuse_min_bytes{0};

bool refuse(std::size_t size) noexcept {
  if (refuse_countdown.load(std::memory_order_relaxed) == 0 ||
      size < refuse_min_bytes.load(std::memory_order_relaxed)) {
    return false;
  }
  return refuse_countdown.fetch_sub(1) == 1;
}

void* allocate(std::size_t size) noexcept {
  if (refuse(size)) return nullptr;
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) return nullptr;
  *static_cast<std::size_t*>(block) = size;
  live_blocks.fetch_add(1, std::memory_order_relaxed);
  live_bytes.fetch_add(static_cast<std::int64_t>(size), std::memory_order_relaxed);
  return static_cast<char*>(block) + kHeader;
}

void release(void* p) noexcept {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - kHeader;
  live_blocks.fetch_sub(1, std::memory_order_relaxed);
  live_bytes.fetch_sub(static_cast<std::int64_t>(*static_cast<std::size_t*>(block)),
                       std::memory_order_relaxed);
  std::free(block);
}

}  // namespace

LiveAllocations live_allocations() noexcept { return {live_blocks.load(), live_bytes.load()}; }

void fail_allocation(std::uint64_t n, std::size_t min_bytes) noexcept {
  refuse_min_bytes.store(min_bytes);
  refuse_countdown.store(n);
}

bool allocation_failure_pending() noexcept { return refuse_countdown.load() != 0; }

}  // namespace nodrel::hardening

// The replaceable forms without alignment; the aligned ones keep the
// library's own implementation, which pairs them with its aligned delete.
void* operator new(std::size_t size) {
  void* p = nodrel::hardening::allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return nodrel::hardening::allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return nodrel::hardening::allocate(size);
}
void operator delete(void* p) noexcept { nodrel::hardening::release(p); }
void operator delete[](void* p) noexcept { nodrel::hardening::release(p); }
void operator delete(void* p, std::size_t) noexcept { nodrel::hardening::release(p); }
void operator delete[](void* p, std::size_t) noexcept { nodrel::hardening::release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { nodrel::hardening::release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { nodrel::hardening::release(p); }
