// The global operator new and delete of nodrel_hardening_tests: they count
// the blocks and bytes that are live, and can refuse one allocation on
// request, as a system out of memory refuses it. The shared library takes
// them too, since an executable's operator new replaces the library's.
//
//   fail_allocation(3, 512);   // the 3rd allocation of 512 bytes or more
//   ...                        // throws std::bad_alloc; the others succeed
//   allocation_failure_pending()  -> false once it has been refused
#ifndef NODREL_TESTS_HARDENING_ALLOCATION_HPP
#define NODREL_TESTS_HARDENING_ALLOCATION_HPP

#include <cstddef>
#include <cstdint>

namespace nodrel::hardening {

struct LiveAllocations {
  std::int64_t blocks = 0;
  std::int64_t bytes = 0;
  friend bool operator==(const LiveAllocations&, const LiveAllocations&) = default;
};

LiveAllocations live_allocations() noexcept;

// Refuses the nth allocation of at least min_bytes from now on (n >= 1);
// n = 0 cancels a refusal still pending.
void fail_allocation(std::uint64_t n, std::size_t min_bytes) noexcept;
bool allocation_failure_pending() noexcept;

}  // namespace nodrel::hardening

#endif  // NODREL_TESTS_HARDENING_ALLOCATION_HPP
