#include "nodrel/double_array.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <span>
#include <utility>

#include "nodrel/error.hpp"

namespace nodrel {

namespace {

// The number of elements of an array with these bounds, or an error 7 when
// it exceeds what one array may hold.
std::size_t element_count(std::span<const ArrayBound> bounds) {
  if (bounds.empty()) return 0;
  std::uint64_t total = 1;
  for (const ArrayBound& b : bounds) {
    if (b.count == 0) return 0;
    if (total > kMaxArrayElements / b.count) raise(ErrorNumber::kOutOfMemory);
    total *= b.count;
  }
  if (total > kMaxArrayElements) raise(ErrorNumber::kOutOfMemory);
  return static_cast<std::size_t>(total);
}

std::vector<double> zero_elements(std::size_t n) {
  try {
    return std::vector<double>(n, 0.0);
  } catch (const std::bad_alloc&) {
    raise(ErrorNumber::kOutOfMemory);
  }
}

// An upper bound u as a dimension 0..u; error 9 below 0.
ArrayBound from_zero(std::int32_t u) {
  if (u < 0) raise(ErrorNumber::kSubscriptOutOfRange);
  return ArrayBound{0, static_cast<std::uint32_t>(u) + 1U};
}

// Whether an array's bounds are already `want`: a destination re-dimensioned
// call after call, whose elements need only be cleared.
template <std::size_t N>
bool has_bounds(const std::vector<ArrayBound>& bounds, const ArrayBound (&want)[N]) {
  if (bounds.size() != N) return false;
  for (std::size_t d = 0; d < N; ++d) {
    if (bounds[d] != want[d]) return false;
  }
  return true;
}

void clear(std::vector<double>& data) { std::fill(data.begin(), data.end(), 0.0); }

}  // namespace

DoubleArray::DoubleArray(std::vector<ArrayBound> bounds) { assign(std::move(bounds)); }

DoubleArray::DoubleArray(const DoubleArray& other) try
    : bounds_(other.bounds_), data_(other.data_), fixed_(other.fixed_) {
} catch (const std::bad_alloc&) {
  raise(ErrorNumber::kOutOfMemory);
}

DoubleArray& DoubleArray::operator=(const DoubleArray& other) {
  if (this == &other) return *this;
  if (bounds_.capacity() >= other.bounds_.size() && data_.capacity() >= other.data_.size()) {
    // The storage holds the copy already (an array refreshed from another
    // of its shape, call after call): no allocation, so nothing can fail
    // half-way.
    bounds_ = other.bounds_;
    data_ = other.data_;
    fixed_ = other.fixed_;
    return *this;
  }
  *this = DoubleArray(other);
  return *this;
}

void DoubleArray::assign(std::vector<ArrayBound> bounds) {
  for (const ArrayBound& b : bounds) {
    // The upper bound must be representable as a signed 32-bit index.
    if (b.upper() > INT32_MAX) raise(ErrorNumber::kSubscriptOutOfRange);
  }
  std::vector<double> data = zero_elements(element_count(bounds));
  bounds_ = std::move(bounds);
  data_ = std::move(data);
}

DoubleArray DoubleArray::vector(std::vector<double> values, std::int32_t lower) {
  if (values.size() > kMaxArrayElements) raise(ErrorNumber::kOutOfMemory);
  DoubleArray a;
  a.bounds_ = {ArrayBound{lower, static_cast<std::uint32_t>(values.size())}};
  if (a.bounds_[0].upper() > INT32_MAX) raise(ErrorNumber::kSubscriptOutOfRange);
  a.data_ = std::move(values);
  return a;
}

DoubleArray DoubleArray::matrix(std::initializer_list<std::initializer_list<double>> rows,
                                std::int32_t lower1, std::int32_t lower2) {
  std::vector<std::vector<double>> copy;
  copy.reserve(rows.size());
  for (const auto& row : rows) copy.emplace_back(row);
  return matrix(copy, lower1, lower2);
}

DoubleArray DoubleArray::matrix(const std::vector<std::vector<double>>& rows, std::int32_t lower1,
                                std::int32_t lower2) {
  const std::size_t r = rows.size();
  const std::size_t c = r == 0 ? 0 : rows[0].size();
  for (const auto& row : rows) {
    if (row.size() != c) raise(ErrorNumber::kInvalidProcedureCall);
  }
  if (r > kMaxArrayElements || c > kMaxArrayElements) raise(ErrorNumber::kOutOfMemory);
  DoubleArray a(std::vector<ArrayBound>{{lower1, static_cast<std::uint32_t>(r)},
                                        {lower2, static_cast<std::uint32_t>(c)}});
  for (std::size_t i = 0; i < r; ++i) {
    for (std::size_t j = 0; j < c; ++j) a.data_[j * r + i] = rows[i][j];
  }
  return a;
}

DoubleArray DoubleArray::zeros(std::int32_t u1) {
  return DoubleArray(std::vector<ArrayBound>{from_zero(u1)});
}

DoubleArray DoubleArray::zeros(std::int32_t u1, std::int32_t u2) {
  return DoubleArray(std::vector<ArrayBound>{from_zero(u1), from_zero(u2)});
}

void DoubleArray::subscript_out_of_range() { raise(ErrorNumber::kSubscriptOutOfRange); }

std::size_t DoubleArray::offset(std::int32_t i) const {
  if (bounds_.size() != 1) raise(ErrorNumber::kSubscriptOutOfRange);
  const std::int64_t k = std::int64_t{i} - bounds_[0].lower;
  if (k < 0 || k >= bounds_[0].count) raise(ErrorNumber::kSubscriptOutOfRange);
  return static_cast<std::size_t>(k);
}

std::size_t DoubleArray::offset(std::int32_t i, std::int32_t j) const {
  if (bounds_.size() != 2) raise(ErrorNumber::kSubscriptOutOfRange);
  const std::int64_t ki = std::int64_t{i} - bounds_[0].lower;
  const std::int64_t kj = std::int64_t{j} - bounds_[1].lower;
  if (ki < 0 || ki >= bounds_[0].count || kj < 0 || kj >= bounds_[1].count) {
    raise(ErrorNumber::kSubscriptOutOfRange);
  }
  return static_cast<std::size_t>(kj) * bounds_[0].count + static_cast<std::size_t>(ki);
}

double& DoubleArray::operator()(std::int32_t i) { return data_[offset(i)]; }
double DoubleArray::operator()(std::int32_t i) const { return data_[offset(i)]; }
double& DoubleArray::operator()(std::int32_t i, std::int32_t j) { return data_[offset(i, j)]; }
double DoubleArray::operator()(std::int32_t i, std::int32_t j) const { return data_[offset(i, j)]; }

void DoubleArray::redim(std::int32_t u) {
  const ArrayBound b[] = {from_zero(u)};
  if (fixed_) raise(ErrorNumber::kArrayFixedOrLocked);
  if (has_bounds(bounds_, b)) return clear(data_);
  reshape(b);
}

void DoubleArray::redim(std::int32_t u1, std::int32_t u2) {
  const ArrayBound b[] = {from_zero(u1), from_zero(u2)};
  if (fixed_) raise(ErrorNumber::kArrayFixedOrLocked);
  if (has_bounds(bounds_, b)) return clear(data_);
  reshape(b);
}

void DoubleArray::reshape(std::span<const ArrayBound> bounds) {
  // Bounds other than the array's own: redim has taken that case.
  const std::size_t n = element_count(bounds);
  if (n != data_.size()) {
    assign(std::vector<ArrayBound>(bounds.begin(), bounds.end()));
    return;
  }
  // As many elements as before: the storage is zeroed in place, so that a
  // destination re-dimensioned to the same size call after call (a product
  // in a loop) costs no allocation. The bounds are set first: they are the
  // only step that may allocate, and a refusal leaves the array as it was.
  try {
    bounds_.assign(bounds.begin(), bounds.end());
  } catch (const std::bad_alloc&) {
    raise(ErrorNumber::kOutOfMemory);
  }
  clear(data_);
}

std::vector<double> DoubleArray::values() const {
  if (bounds_.size() != 1) raise(ErrorNumber::kSubscriptOutOfRange);
  return data_;
}

std::vector<std::vector<double>> DoubleArray::rows() const {
  if (bounds_.size() != 2) raise(ErrorNumber::kSubscriptOutOfRange);
  const std::size_t r = bounds_[0].count;
  const std::size_t c = bounds_[1].count;
  std::vector<std::vector<double>> out(r, std::vector<double>(c));
  for (std::size_t i = 0; i < r; ++i) {
    for (std::size_t j = 0; j < c; ++j) out[i][j] = data_[j * r + i];
  }
  return out;
}

bool operator==(const DoubleArray& a, const DoubleArray& b) noexcept {
  if (a.bounds_ != b.bounds_ || a.data_.size() != b.data_.size()) return false;
  return a.data_.empty() ||
         std::memcmp(a.data_.data(), b.data_.data(), a.data_.size() * sizeof(double)) == 0;
}

}  // namespace nodrel
