// DoubleArray: the caller's array of doubles behind every matrix and vector
// argument.
//
// An array has no dimensions (the caller's variable was never dimensioned),
// one (a Vector) or two (a Matrix); the automation boundary can deliver more,
// and element access on such an array fails with run-time error 9. Each
// dimension has a lower bound and an element count; elements are stored
// column-major, the first index varying fastest, as automation exchanges them.
//
//   auto a = DoubleArray::matrix({{4, 7}, {2, 6}});   // bounds 1..2, 1..2
//   a.ubound(1)        -> 2
//   a(1, 2)            -> 7.0
//   a(0, 0)            -> run-time error 9
//   a.redim(3, 1);        // bounds 0..3, 0..1, every element 0.0
//   auto v = DoubleArray::vector({3, 4}, 0);          // bounds 0..1
//   v.values()         -> {3, 4}
//
// The component's methods take arrays by reference, read them, write into
// them and re-dimension some; a re-dimensioned array always has lower bounds
// 0 and every element 0.0. An array marked fixed refuses re-dimensioning with
// run-time error 10 and is left as it was.
#ifndef NODREL_DOUBLE_ARRAY_HPP
#define NODREL_DOUBLE_ARRAY_HPP

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "nodrel/export.hpp"

namespace nodrel {

// One dimension of an array: its smallest index and its number of indices.
struct ArrayBound {
  std::int32_t lower = 0;
  std::uint32_t count = 0;

  // lower + count - 1, computed without overflow.
  std::int64_t upper() const noexcept {
    return static_cast<std::int64_t>(lower) + static_cast<std::int64_t>(count) - 1;
  }
  friend bool operator==(const ArrayBound&, const ArrayBound&) = default;
};

// The largest number of elements one array may hold (2 GiB of doubles). A
// larger request fails with run-time error 7, as does an allocation that the
// system refuses.
inline constexpr std::uint64_t kMaxArrayElements = std::uint64_t{1} << 28;

class NODREL_API DoubleArray {
 public:
  // An array that was never dimensioned.
  DoubleArray() = default;

  // An array with the given bounds, every element 0.0. Fails with run-time
  // error 7 when it would hold more than kMaxArrayElements elements.
  explicit DoubleArray(std::vector<ArrayBound> bounds);

  // Copies take bounds, elements and fixedness. A copy the system cannot
  // allocate fails with run-time error 7, and an assignment then leaves the
  // target as it was.
  DoubleArray(const DoubleArray& other);
  DoubleArray& operator=(const DoubleArray& other);
  DoubleArray(DoubleArray&&) noexcept = default;
  DoubleArray& operator=(DoubleArray&&) noexcept = default;
  ~DoubleArray() = default;

  // A Vector with lower bound `lower` holding `values`:
  //   vector({3, 4})     -> bounds 1..2
  //   vector({3, 4}, 0)  -> bounds 0..1
  static DoubleArray vector(std::vector<double> values, std::int32_t lower = 1);

  // A Matrix from its rows, every row of the same length, with lower bounds
  // `lower1` (rows) and `lower2` (columns):
  //   matrix({{1, 2, 3}, {4, 5, 6}})  -> bounds 1..2, 1..3, (2, 1) = 4
  // An empty list of rows, or rows of length 0, give a dimension of count 0.
  // Rows of different lengths fail with run-time error 5.
  static DoubleArray matrix(std::initializer_list<std::initializer_list<double>> rows,
                            std::int32_t lower1 = 1, std::int32_t lower2 = 1);
  static DoubleArray matrix(const std::vector<std::vector<double>>& rows, std::int32_t lower1 = 1,
                            std::int32_t lower2 = 1);

  // A Matrix or Vector as the component makes them: bounds 0..u1 (and 0..u2),
  // every element 0.0. Run-time error 9 for an upper bound below 0.
  static DoubleArray zeros(std::int32_t u1);
  static DoubleArray zeros(std::int32_t u1, std::int32_t u2);

  // Number of dimensions: 0 for no array, 1 for a Vector, 2 for a Matrix.
  std::size_t dims() const noexcept { return bounds_.size(); }
  bool empty() const noexcept { return bounds_.empty(); }
  const std::vector<ArrayBound>& bounds() const noexcept { return bounds_; }

  // Lower and upper bound of dimension d (1-based). Run-time error 9 when the
  // array has fewer than d dimensions, also when it has none. Inline: every
  // method measures its arguments first, call after call.
  std::int32_t lbound(std::size_t d) const {
    // d = 0 wraps around to the largest size_t and fails with the rest.
    if (d - 1 >= bounds_.size()) subscript_out_of_range();
    return bounds_[d - 1].lower;
  }
  std::int32_t ubound(std::size_t d) const {
    if (d - 1 < bounds_.size()) {
      // A dimension of count 0 has upper bound lower - 1, which fits in 32
      // bits except for lower = INT32_MIN; automation has no such arrays.
      const std::int64_t u = bounds_[d - 1].upper();
      if (u >= INT32_MIN) return static_cast<std::int32_t>(u);
    }
    subscript_out_of_range();
  }

  // Checked element access. Run-time error 9 unless the array has exactly as
  // many dimensions as indices are given and each index is within its bounds.
  double& operator()(std::int32_t i);
  double operator()(std::int32_t i) const;
  double& operator()(std::int32_t i, std::int32_t j);
  double operator()(std::int32_t i, std::int32_t j) const;

  // Re-dimensioning: the array becomes a new one with lower bounds 0, the
  // given upper bounds and every element 0.0; nothing of the former contents
  // is kept. Run-time error 9 for an upper bound below 0, 10 when the array
  // is fixed, 7 when it is too large; in each case the array is unchanged.
  void redim(std::int32_t u);
  void redim(std::int32_t u1, std::int32_t u2);

  // A fixed array (one the caller holds fixed in size) refuses redim().
  bool fixed() const noexcept { return fixed_; }
  void set_fixed(bool fixed) noexcept { fixed_ = fixed; }

  // All elements in storage order (column-major), for the boundary that
  // exchanges arrays with clients.
  std::vector<double>& storage() noexcept { return data_; }
  const std::vector<double>& storage() const noexcept { return data_; }

  // Reading an array back:
  //   values()  -> a Vector's elements from its lower bound up;
  //   rows()    -> a Matrix's rows from its lower bounds up.
  // Run-time error 9 when the array has another number of dimensions.
  std::vector<double> values() const;
  std::vector<std::vector<double>> rows() const;

  // Same bounds and the same 64 bits in every element (a NaN equals itself,
  // -0.0 differs from 0.0). Fixedness is not compared.
  friend NODREL_API bool operator==(const DoubleArray& a, const DoubleArray& b) noexcept;

 private:
  // Run-time error 9, out of line so that the inline bounds stay small.
  [[noreturn]] static void subscript_out_of_range();
  std::size_t offset(std::int32_t i) const;
  std::size_t offset(std::int32_t i, std::int32_t j) const;
  void assign(std::vector<ArrayBound> bounds);
  void reshape(std::span<const ArrayBound> bounds);

  std::vector<ArrayBound> bounds_;
  std::vector<double> data_;
  bool fixed_ = false;
};

}  // namespace nodrel

#endif  // NODREL_DOUBLE_ARRAY_HPP
