// The heavy methods at small and large orders, each measured several ways
// in the same run:
//   <method>/nodrel/<n>          the component's method, with the kernels
//                                that kernels() chose (NODREL_KERNELS caps
//                                them) and NODREL_THREADS threads (all cores
//                                when unset);
//   <method>/literal/<n>         the method's own checked loops (its fast
//                                paths switched off), a literal reading of
//                                the algorithm with the floating-point check
//                                after every operation;
//   <method>/eigen-<flavor>/<n>  Eigen 3 doing the nearest job (the product,
//                                PartialPivLU's determinant, inverse(),
//                                lu().solve(), the matrix-vector product),
//                                built as each flavor of eigen_flavor.hpp the
//                                processor runs: sse2, avx2 (no FMA; Eigen
//                                has no AVX-512 without FMA), native
//                                (-march=native), and native-omp (the same
//                                with OpenMP, as many threads as the
//                                component; only where it has more than one).
// Plus mPrint of a 1000 x 1000 Matrix to "DEBUG" against a loop that
// formats the same cells with snprintf("%.4E").
//
// The run's context records the kernels, the threads and what each Eigen
// flavor was compiled with (its instruction sets, FMA, OpenMP), so that the
// output proves which code ran. scripts/bench_table.py turns the JSON output
// into the table of ratios of docs/benchmarks.md.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "eigen_flavor.hpp"
#include "fastpath/driver.hpp"
#include "nodrel/matr.hpp"
#include "numeric/kernels.hpp"
#include "numeric/parallel.hpp"

extern "C" {
const NodrelEigenFlavor* nodrel_eigen_sse2();
const NodrelEigenFlavor* nodrel_eigen_avx2();
const NodrelEigenFlavor* nodrel_eigen_native();
const NodrelEigenFlavor* nodrel_eigen_native_omp();
}

namespace {

using nodrel::DoubleArray;

// A random matrix of order n with bounds 0..n, scaled so that its
// determinant stays of moderate size: uniform elements in -1..1 give
// determinants around sqrt(n! / 3^n), which overflows near order 1000.
DoubleArray random_matrix(std::int32_t rows, std::int32_t cols, std::uint64_t seed) {
  std::mt19937_64 engine(seed);
  std::uniform_real_distribution<double> real(-1.0, 1.0);
  const double n = static_cast<double>(rows);
  const double scale = std::exp(-(0.5 * std::lgamma(n + 1.0) - 0.5 * n * std::log(3.0)) / n);
  DoubleArray a = DoubleArray::zeros(rows, cols);
  for (std::int32_t j = 1; j <= cols; ++j) {
    for (std::int32_t i = 1; i <= rows; ++i) a(i, j) = real(engine) * scale;
  }
  return a;
}

DoubleArray random_vector(std::int32_t n, std::uint64_t seed) {
  std::mt19937_64 engine(seed);
  std::uniform_real_distribution<double> real(-1.0, 1.0);
  DoubleArray v = DoubleArray::zeros(n);
  for (std::int32_t i = 1; i <= n; ++i) v(i) = real(engine);
  return v;
}

// The Eigen flavors built and run by this processor, each with the label of
// its rows; the OpenMP one gets the component's threads, and rows only when
// the component has several.
struct Flavor {
  std::string label;
  const NodrelEigenFlavor* eigen;
  bool threaded;
};
std::vector<Flavor> eigen_flavors() {
  std::vector<Flavor> all;
  const auto add = [&](const NodrelEigenFlavor* f, bool runs, bool threaded) {
    std::string label = std::string("eigen-") + f->name;
    std::replace(label.begin(), label.end(), '_', '-');
    benchmark::AddCustomContext(label, std::string(f->compiled) + (runs ? "" : " (not run)"));
    if (runs && (!threaded || nodrel::numeric::thread_count() > 1)) all.push_back({label, f, threaded});
  };
  add(nodrel_eigen_sse2(), true, false);
#if defined(NODREL_EIGEN_HAS_avx2)
  add(nodrel_eigen_avx2(), __builtin_cpu_supports("avx2"), false);
  // Built for this machine: the benchmark runs where it was built.
  add(nodrel_eigen_native(), true, false);
#endif
#if defined(NODREL_EIGEN_HAS_native_omp)
  nodrel_eigen_native_omp()->set_threads(static_cast<int>(nodrel::numeric::thread_count()));
  add(nodrel_eigen_native_omp(), true, true);
#endif
  return all;
}
const std::vector<Flavor>& flavors() {
  static const std::vector<Flavor> all = eigen_flavors();
  return all;
}

// Elements 1..r, 1..c of a matrix with bounds 0..r, 0..c, as a block with
// its leading dimension.
struct View {
  const double* data;
  int ld;
};
View view(const DoubleArray& a) {
  const auto ld = static_cast<int>(a.bounds()[0].count);
  return {a.storage().data() + 1 + ld, ld};
}

// Every row is repeated (scripts/bench_table.py takes the medians), except
// the literal reading at the larger orders, where one run takes from a
// second to minutes.
void add(const std::string& name, std::int32_t n, std::function<void(benchmark::State&)> body) {
  const bool literal = name.find("/literal") != std::string::npos;
  // No literal reading where one run would take minutes to hours: the
  // product of order 1000, the diagonal reduction of order 512, the inverse
  // from order 96.
  if ((name == "mMult/literal" && n > 512) || (name == "mDiag/literal" && n > 200) ||
      (name == "mInv/literal" && n > 48)) {
    return;
  }
  const int repetitions = literal ? (n >= 16 ? 1 : 3) : 5;
  benchmark::RegisterBenchmark((name + "/" + std::to_string(n)).c_str(),
                               [body, literal](benchmark::State& state) {
                                 nodrel::detail::fast::force_checked_loops(literal);
                                 body(state);
                                 nodrel::detail::fast::force_checked_loops(false);
                               })
      ->Unit(benchmark::kMicrosecond)
      ->Repetitions(repetitions);
}

// The Eigen rows of a call, one per flavor; the threaded flavor only at the
// orders where the component splits its work (512 and above).
void add_eigen(const std::string& method, std::int32_t n,
               std::function<void(const NodrelEigenFlavor&, benchmark::State&)> body) {
  for (const Flavor& f : flavors()) {
    if (f.threaded && n < 512) continue;
    add(method + "/" + f.label, n, [f, body](benchmark::State& state) { body(*f.eigen, state); });
  }
}

void register_products() {
  for (const std::int32_t n : {3, 4, 8, 64, 512, 1000}) {
    const DoubleArray a = random_matrix(n, n, 1);
    const DoubleArray b = random_matrix(n, n, 2);
    add("mMult/nodrel", n, [a, b](benchmark::State& state) {
      nodrel::Matr m;
      DoubleArray c;
      for (auto _ : state) {
        m.mMult(c, a, b);
        benchmark::DoNotOptimize(c.storage().data());
      }
    });
    add("mMult/literal", n, [a, b](benchmark::State& state) {
      nodrel::Matr m;
      DoubleArray c;
      for (auto _ : state) {
        m.mMult(c, a, b);
        benchmark::DoNotOptimize(c.storage().data());
      }
    });
    add_eigen("mMult", n, [a, b, n](const NodrelEigenFlavor& e, benchmark::State& state) {
      const View va = view(a), vb = view(b);
      std::vector<double> c(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
      for (auto _ : state) {
        e.mult(n, va.data, va.ld, vb.data, vb.ld, c.data());
        benchmark::DoNotOptimize(c.data());
      }
    });
  }
  for (const std::int32_t n : {8, 1000}) {
    const DoubleArray a = random_matrix(n, n, 3);
    const DoubleArray x = random_vector(n, 4);
    add("mMultVett/nodrel", n, [a, x](benchmark::State& state) {
      nodrel::Matr m;
      DoubleArray y;
      for (auto _ : state) {
        m.mMultVett(y, a, x);
        benchmark::DoNotOptimize(y.storage().data());
      }
    });
    add("mMultVett/literal", n, [a, x](benchmark::State& state) {
      nodrel::Matr m;
      DoubleArray y;
      for (auto _ : state) {
        m.mMultVett(y, a, x);
        benchmark::DoNotOptimize(y.storage().data());
      }
    });
    add_eigen("mMultVett", n, [a, x, n](const NodrelEigenFlavor& e, benchmark::State& state) {
      const View va = view(a);
      std::vector<double> y(static_cast<std::size_t>(n));
      for (auto _ : state) {
        e.mult_vector(n, va.data, va.ld, x.storage().data() + 1, y.data());
        benchmark::DoNotOptimize(y.data());
      }
    });
  }
}

void register_determinants() {
  for (const std::int32_t n : {3, 4, 8, 100, 512, 1000}) {
    const DoubleArray a = random_matrix(n, n, 5);
    add("mDet/nodrel", n, [a](benchmark::State& state) {
      nodrel::Matr m;
      for (auto _ : state) benchmark::DoNotOptimize(m.mDet(a));
    });
    add("mDet/literal", n, [a](benchmark::State& state) {
      nodrel::Matr m;
      for (auto _ : state) benchmark::DoNotOptimize(m.mDet(a));
    });
    add_eigen("mDet", n, [a, n](const NodrelEigenFlavor& e, benchmark::State& state) {
      const View va = view(a);
      for (auto _ : state) benchmark::DoNotOptimize(e.det(n, va.data, va.ld));
    });
  }
  // At order 512 the elimination is shared among threads, at 200 not.
  for (const std::int32_t n : {8, 200, 512}) {
    const DoubleArray a = random_matrix(n, n, 6);
    // mDiag works in place: each iteration reduces a fresh copy, made by
    // copy assignment into storage of the same size (no allocation).
    add("mDiag/nodrel", n, [a](benchmark::State& state) {
      nodrel::Matr m;
      DoubleArray work = a;
      for (auto _ : state) {
        work = a;
        m.mDiag(work);
        benchmark::DoNotOptimize(work.storage().data());
      }
    });
    add("mDiag/literal", n, [a](benchmark::State& state) {
      nodrel::Matr m;
      DoubleArray work = a;
      for (auto _ : state) {
        work = a;
        m.mDiag(work);
        benchmark::DoNotOptimize(work.storage().data());
      }
    });
    add_eigen("mDiag", n, [a, n](const NodrelEigenFlavor& e, benchmark::State& state) {
      const View va = view(a);
      for (auto _ : state) benchmark::DoNotOptimize(e.lu(n, va.data, va.ld));
    });
  }
}

void register_inverses() {
  for (const std::int32_t n : {3, 4, 8, 16, 48, 96, 192}) {
    const DoubleArray a = random_matrix(n, n, 7);
    add("mInv/nodrel", n, [a](benchmark::State& state) {
      nodrel::Matr m;
      DoubleArray work = a;
      for (auto _ : state) {
        work = a;
        m.mInv(work);
        benchmark::DoNotOptimize(work.storage().data());
      }
    });
    add("mInv/literal", n, [a](benchmark::State& state) {
      nodrel::Matr m;
      DoubleArray work = a;
      for (auto _ : state) {
        work = a;
        m.mInv(work);
        benchmark::DoNotOptimize(work.storage().data());
      }
    });
    add_eigen("mInv", n, [a, n](const NodrelEigenFlavor& e, benchmark::State& state) {
      const View va = view(a);
      std::vector<double> inv(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
      for (auto _ : state) {
        e.inverse(n, va.data, va.ld, inv.data());
        benchmark::DoNotOptimize(inv.data());
      }
    });
  }
}

void register_systems() {
  for (const std::int32_t n : {3, 4, 8, 50, 200}) {
    const DoubleArray a = random_matrix(n, n, 8);
    const DoubleArray b = random_vector(n, 9);
    add("mSist/nodrel", n, [a, b](benchmark::State& state) {
      nodrel::Matr m;
      DoubleArray work_a = a, work_b = b, x = DoubleArray::zeros(a.ubound(1));
      for (auto _ : state) {
        m.mSist(x, work_a, work_b);
        benchmark::DoNotOptimize(x.storage().data());
      }
    });
    add("mSist/literal", n, [a, b](benchmark::State& state) {
      nodrel::Matr m;
      DoubleArray work_a = a, work_b = b, x = DoubleArray::zeros(a.ubound(1));
      for (auto _ : state) {
        m.mSist(x, work_a, work_b);
        benchmark::DoNotOptimize(x.storage().data());
      }
    });
    add_eigen("mSist", n, [a, b, n](const NodrelEigenFlavor& e, benchmark::State& state) {
      const View va = view(a);
      std::vector<double> x(static_cast<std::size_t>(n));
      for (auto _ : state) {
        e.solve(n, va.data, va.ld, b.storage().data() + 1, x.data());
        benchmark::DoNotOptimize(x.data());
      }
    });
  }
}

// mPrint composes the text of every cell with the pattern "0.0000E+00"
// and hands it to "DEBUG", which discards it: what is measured is the
// composition. The baseline formats the same cells with snprintf.
void register_printing() {
  const std::int32_t n = 1000;
  const DoubleArray a = random_matrix(n, n, 10);
  add("mPrint/nodrel", n, [a](benchmark::State& state) {
    nodrel::Matr m;
    nodrel::Variant value(a);  // passed by reference, as a client's variable
    for (auto _ : state) m.mPrint(value, {}, nodrel::Variant("DEBUG"));
  });
  add("mPrint/snprintf", n, [a](benchmark::State& state) {
    std::string text;
    char cell[32];
    for (auto _ : state) {
      text.clear();
      for (std::int32_t i = 1; i <= a.ubound(1); ++i) {
        for (std::int32_t j = 1; j <= a.ubound(2); ++j) {
          const int length = std::snprintf(cell, sizeof cell, "%.4E", a(i, j));
          text.append(cell, static_cast<std::size_t>(length));
        }
      }
      benchmark::DoNotOptimize(text.data());
    }
  });
}

[[maybe_unused]] const bool kRegistered = [] {
  benchmark::AddCustomContext("nodrel_kernels", nodrel::numeric::kernels().name);
  register_products();
  register_determinants();
  register_inverses();
  register_systems();
  register_printing();
  // mMult, mDet, mDiag, mInv and mSist split large orders across threads:
  // run once with NODREL_THREADS=1 and once without to see what they bring.
  benchmark::AddCustomContext("nodrel_threads", std::to_string(nodrel::numeric::thread_count()));
  return true;
}();

}  // namespace
