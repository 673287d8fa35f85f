// The methods that have a fast path held against their own checked loops:
// random inputs of every shape the methods meet, each call made once as
// usual (the engines, the kernels this processor runs, and now and then
// three threads) and once with the checked loops forced, and the outcome
// (error number, ErrCode, result, and every argument array afterwards)
// compared bit for bit. The checked loops themselves are pinned by worked
// tables of exact values, each row run both ways.
#ifndef NODREL_TESTS_REFERENCE_COMPARE_HPP
#define NODREL_TESTS_REFERENCE_COMPARE_HPP

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "nodrel/double_array.hpp"
#include "nodrel/matr.hpp"
#include "support/values.hpp"

namespace nodrel::reference {

using Args = std::vector<DoubleArray>;

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
  Args arrays;
};

// The call named `call` on the arrays: "mDet" and the like take them in
// order (a scalar argument is element 1 of a vector); "mSist(b,A,b)",
// "mMult(A,B,A)" and the like pass a[0] again where the name repeats it.
// With `checked`, only the checked loops run; otherwise now and then with
// three threads. ErrCode is `primed` (0, 1, 3 or 4) before the call.
Outcome run(const std::string& call, Args arrays, bool checked, std::int32_t primed = 3,
            unsigned threads = 0);

// The outcome as text: every bit of every value, except that any NaN is any
// other NaN (which operand's payload the hardware propagates is the
// compiler's choice): "error/ErrCode result | array | array ...", where an
// array that is as it was `before` the call reads "=".
std::string describe(const Outcome& o, const Args& before = {});

// How often each run-time error (0 for success) and each ErrCode was seen.
struct Tally {
  std::string method;
  std::map<int, int> errors;
  std::map<int, int> codes;
};

// Runs `trials` random cases of one call both ways and reports every
// disagreement (at most a few per call). `make` draws the arguments.
template <typename Make>
Tally compare_method(const char* call, int trials, Inputs& in, const Make& make) {
  Tally tally{call, {}, {}};
  int disagreements = 0;
  for (int t = 0; t < trials && disagreements < 3; ++t) {
    const Args args = make(in);
    const std::int32_t primed = std::vector<std::int32_t>{0, 1, 3, 4}[in.pick(4)];
    const Outcome fast = run(call, args, false, primed, t % 3 == 2 ? 3 : 0);
    const std::string p = describe(fast), r = describe(run(call, args, true, primed));
    if (p != r) {
      ++disagreements;
      ADD_FAILURE() << call << ", trial " << t << ", ErrCode before " << primed
                    << ":\n  fast paths    " << p.substr(0, 4000) << "\n  checked loops "
                    << r.substr(0, 4000);
    }
    ++tally.errors[fast.error];
    ++tally.codes[fast.err_code];
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

// A matrix from rows of numbers ("1 2;3 4", bounds 1..; strtod's texts, so
// "inf", "nan" and "0x1p-24" too), or a vector ("1 2", bounds 1..).
DoubleArray M(const char* rows);
DoubleArray V(const char* values);

// One worked example: the call, its arguments, and its outcome as described
// above, with ErrCode 3 before the call. Each row runs with the fast paths
// and with the checked loops only (`checked` in a failure), and both must
// give the row's outcome.
struct Worked {
  const char* call;
  Args args;
  std::string outcome;
};
void expect_worked(const std::vector<Worked>& rows);

}  // namespace nodrel::reference

#endif  // NODREL_TESTS_REFERENCE_COMPARE_HPP
