// The randomized comparison of the production methods with the reference
// transcription: random inputs of every shape the methods meet, and the
// outcome of one call (error number, ErrCode, result, and every argument
// array afterwards) compared bit for bit.
#ifndef NODREL_TESTS_REFERENCE_COMPARE_HPP
#define NODREL_TESTS_REFERENCE_COMPARE_HPP

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "nodrel/double_array.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "reference/reference.hpp"
#include "support/values.hpp"

namespace nodrel::reference {

// What the elements of one random matrix are drawn from.
enum class Family {
  kIntegers,   // -3..3: exact arithmetic, zeros, ties in the pivot search
  kReals,      // uniform in -10..10
  kTolerance,  // triangular, pivots at and around 1e-12 (see fill_tolerance)
  kScaled,     // reals times 1e-6..1e-3: determinants around the tolerance
  kSpecial,    // reals with a few infinities, NaNs, extremes, zeros planted
  kExtreme,    // a third of the elements near the largest double: overflows
  kHuge,       // reals times 1e148..1e156: products that overflow
};
inline constexpr int kFamilyCount = 7;

class Inputs {
 public:
  explicit Inputs(std::uint64_t seed) : engine_(seed) {}

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }
  std::int32_t between(std::int32_t lo, std::int32_t hi) { return lo + pick(hi - lo + 1); }
  bool chance(double p) { return std::bernoulli_distribution(p)(engine_); }
  double uniform(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(engine_);
  }
  // 0..max, now and then one of a few larger orders.
  std::int32_t order(std::int32_t max);
  // A lower bound: 0 or 1, rarely 2 (which fails at the first element).
  std::int32_t lower();
  Family family() { return static_cast<Family>(pick(kFamilyCount)); }

  double value(Family family);
  DoubleArray matrix(std::int32_t r, std::int32_t c, Family family);
  DoubleArray matrix(std::int32_t r, std::int32_t c) { return matrix(r, c, family()); }
  DoubleArray vector(std::int32_t n, Family family);
  DoubleArray vector(std::int32_t n) { return vector(n, family()); }
  // Rarely no array, a vector where a matrix is expected, or the reverse.
  DoubleArray odd_shape();

 private:
  void fill_tolerance(DoubleArray& a, std::int32_t r, std::int32_t c);

  std::mt19937_64 engine_;
};

// Everything a call leaves behind.
struct Outcome {
  int error = 0;  // the run-time error number, 0 when the call succeeded
  std::int32_t err_code = 0;
  double result = 0.0;  // a returned number, a flag as 0 or 1, else 0
  std::vector<DoubleArray> arrays;
};

// Gives both objects the ErrCode `code` (0, 1, 3 or 4) before a call, so
// that the methods that leave it untouched, or set it late, show it.
void prime(nodrel::Matr& production, Matr& reference, std::int32_t code);

template <typename Object, typename Call>
Outcome run(Object& m, std::vector<DoubleArray> arrays, const Call& call) {
  Outcome o;
  try {
    if constexpr (std::is_void_v<decltype(call(m, arrays))>) {
      call(m, arrays);
    } else {
      o.result = static_cast<double>(call(m, arrays));
    }
  } catch (const Error& e) {
    o.error = e.code();
  }
  if constexpr (std::is_same_v<Object, Matr>) {
    o.err_code = m.err_code;
  } else {
    o.err_code = m.ErrCode();
  }
  o.arrays = std::move(arrays);
  return o;
}

// The outcome as text: every bit of every value, except that any NaN is any
// other NaN (which operand's payload the hardware propagates is the
// compiler's choice).
std::string describe(const Outcome& o);
std::string describe(const std::vector<DoubleArray>& arrays);
// Empty when the outcomes agree, else where they part.
std::string outcome_difference(const Outcome& production, const Outcome& reference);

// How often each run-time error (0 for success) and each ErrCode was seen.
struct Tally {
  std::string method;
  std::map<int, int> errors;
  std::map<int, int> codes;
  int true_answers = 0;   // successful calls that returned 1 (a flag's true)
  int false_answers = 0;  // successful calls that returned 0
};

// Runs `trials` random cases of one method on both objects and reports
// every disagreement (at most a few per method).
// `make` draws the arguments, `call` applies the method to either object.
template <typename Make, typename Call>
Tally compare_method(const char* name, int trials, Inputs& in, const Make& make, const Call& call) {
  Tally tally;
  tally.method = name;
  int disagreements = 0;
  for (int t = 0; t < trials && disagreements < 3; ++t) {
    const std::vector<DoubleArray> args = make(in);
    const std::int32_t primed = std::vector<std::int32_t>{0, 1, 3, 4}[in.pick(4)];
    nodrel::Matr production;
    Matr reference;
    prime(production, reference, primed);
    const Outcome p = run(production, args, call);
    const Outcome r = run(reference, args, call);
    const std::string difference = outcome_difference(p, r);
    if (!difference.empty()) {
      ++disagreements;
      ADD_FAILURE() << name << ", trial " << t << ", ErrCode before " << primed << ":" << difference
                    << "\ninputs:" << describe(args).substr(0, 4000);
    }
    ++tally.errors[p.error];
    ++tally.codes[p.err_code];
    if (p.error == 0 && p.result == 1.0) ++tally.true_answers;
    if (p.error == 0 && p.result == 0.0) ++tally.false_answers;
  }
  return tally;
}

// The outcomes that the random inputs must have reached, so that a generator
// that drifted away from the faults cannot pass unnoticed.
inline void expect_seen(const Tally& t, const std::set<int>& errors,
                        const std::set<int>& codes = {}) {
  for (int w : errors)
    EXPECT_TRUE(t.errors.count(w)) << t.method << ": no call ended with error " << w;
  for (int w : codes) EXPECT_TRUE(t.codes.count(w)) << t.method << ": ErrCode " << w << " unseen";
}
inline void expect_both_answers(const Tally& t) {
  EXPECT_GT(t.true_answers, 0) << t.method << " never answered true";
  EXPECT_GT(t.false_answers, 0) << t.method << " never answered false";
}

}  // namespace nodrel::reference

#endif  // NODREL_TESTS_REFERENCE_COMPARE_HPP
