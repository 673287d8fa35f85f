// Arguments the hardening tests hand to the component, and the comparison of
// whole automation values, bit for bit.
#ifndef NODREL_TESTS_HARDENING_VALUES_HPP
#define NODREL_TESTS_HARDENING_VALUES_HPP

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "nodrel/double_array.hpp"
#include "nodrel/platform.hpp"
#include "nodrel/variant.hpp"

namespace nodrel::hardening {

// A label that keeps what it is given.
class CaptionLabel : public Label {
 public:
  std::string get_Caption() override { return caption; }
  void put_Caption(const std::string& text) override { caption = text; }
  std::string caption = "old";
};

inline std::vector<Variant*> pointers(std::vector<Variant>& values) {
  std::vector<Variant*> p;
  for (Variant& v : values) p.push_back(&v);
  return p;
}

// An n x n Matrix, bounds 1..n, that is far from singular: a dominant
// diagonal over a Hilbert-like rest.
inline DoubleArray well_conditioned(int n, double shift = 0.0) {
  std::vector<std::vector<double>> rows(static_cast<std::size_t>(n),
                                        std::vector<double>(static_cast<std::size_t>(n)));
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] =
          i == j ? n + shift + i : 1.0 / (i + j + 1);
    }
  }
  return DoubleArray::matrix(rows);
}

// The Vector (1, ..., 1) of order n, bounds 1..n.
inline Variant ones(int n) {
  return Variant(DoubleArray::vector(std::vector<double>(static_cast<std::size_t>(n), 1.0)));
}

// n points of y = 1 + 2x + 3x^2 as a Matrix of two rows.
inline Variant parabola_points(int n) {
  std::vector<double> xs, ys;
  for (int k = 0; k < n; ++k) {
    const double x = -1.0 + 2.0 * k / (n - 1);
    xs.push_back(x);
    ys.push_back(1 + 2 * x + 3 * x * x);
  }
  return Variant(DoubleArray::matrix({xs, ys}));
}

// An n x n array of variants: integers, doubles and texts that read as numbers.
inline Variant variant_table(int n) {
  std::vector<std::vector<Variant>> rows;
  for (int i = 0; i < n; ++i) {
    std::vector<Variant> row;
    for (int j = 0; j < n; ++j) {
      const int k = i * n + j;
      row.push_back(k % 3 == 0   ? Variant(k)
                    : k % 3 == 1 ? Variant(k + 0.5)
                                 : Variant(std::to_string(k)));
    }
    rows.push_back(row);
  }
  return Variant(VariantArray::matrix(rows));
}

// The same kind and the same value: doubles and array elements bit for bit,
// objects by identity, arrays with their bounds and fixedness.
inline bool same(const Variant& a, const Variant& b) {
  if (a.kind() != b.kind()) return false;
  const auto bits = [](double x) { return std::bit_cast<std::uint64_t>(x); };
  switch (a.kind()) {
    case VariantKind::kBoolean: return *a.boolean() == *b.boolean();
    case VariantKind::kInteger: return *a.integer() == *b.integer();
    case VariantKind::kDouble: return bits(*a.real()) == bits(*b.real());
    case VariantKind::kDate: return bits(a.date()->serial) == bits(b.date()->serial);
    case VariantKind::kString: return *a.string() == *b.string();
    case VariantKind::kError: return a.error()->scode == b.error()->scode;
    case VariantKind::kObject: return *a.object() == *b.object();
    case VariantKind::kArray: {
      const VariantArray& x = *a.array();
      const VariantArray& y = *b.array();
      if (x.bounds != y.bounds || x.elements.size() != y.elements.size()) return false;
      for (std::size_t k = 0; k < x.elements.size(); ++k) {
        if (!same(x.elements[k], y.elements[k])) return false;
      }
      return true;
    }
    case VariantKind::kDoubleArray:
      return *a.double_array() == *b.double_array() &&
             a.double_array()->fixed() == b.double_array()->fixed();
    default: return true;
  }
}

}  // namespace nodrel::hardening

#endif  // NODREL_TESTS_HARDENING_VALUES_HPP
