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
#include <string>
#include <vector>

#include "nodrel/platform.hpp"
#include "nodrel/variant.hpp"

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

// Arguments for the calls: a label that keeps what it is given; an n x n
// Matrix (bounds 1..n) far from singular, a dominant diagonal over a
// Hilbert-like rest; the Vector of n ones; n points of y = 1 + 2x + 3x^2 as
// a Matrix of two rows; an n x n array of variants (integers, doubles and
// texts that read as numbers).
struct CaptionLabel : Label {
  std::string get_Caption() override { return caption; }
  void put_Caption(const std::string& text) override { caption = text; }
  std::string caption = "old";
};
inline Variant well_conditioned(int n, double shift = 0.0) {
  std::vector<std::vector<double>> rows(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) rows[i].push_back(i == j ? n + shift + i : 1.0 / (i + j + 1));
  }
  return DoubleArray::matrix(rows);
}
inline Variant ones(int n) { return DoubleArray::vector(std::vector<double>(n, 1.0)); }
inline Variant parabola_points(int n) {
  std::vector<double> xs, ys;
  for (int k = 0; k < n; ++k) {
    xs.push_back(-1.0 + 2.0 * k / (n - 1));
    ys.push_back(1 + 2 * xs.back() + 3 * xs.back() * xs.back());
  }
  return DoubleArray::matrix({xs, ys});
}
inline Variant variant_table(int n) {
  std::vector<std::vector<Variant>> rows(static_cast<std::size_t>(n));
  for (int k = 0; k < n * n; ++k) {
    rows[k / n].push_back(k % 3 == 0   ? Variant(k)
                          : k % 3 == 1 ? Variant(k + 0.5)
                                       : Variant(std::to_string(k)));
  }
  return VariantArray::matrix(rows);
}

}  // namespace nodrel::hardening

#endif  // NODREL_TESTS_HARDENING_ALLOCATION_HPP
