// Eigen 3 built several ways, each in its own shared library: the same
// Eigen templates compiled with different instruction sets in one
// executable would be merged by the linker (one copy wins, whichever it
// meets first), so each flavor is compiled apart with hidden visibility and
// shows only this table of plain functions, under a name of its own.
//
// Every function works on column-major blocks with a leading dimension, as
// the benchmark hands them over from the component's arrays.
#ifndef NODREL_BENCH_EIGEN_FLAVOR_HPP
#define NODREL_BENCH_EIGEN_FLAVOR_HPP

extern "C" {

struct NodrelEigenFlavor {
  const char* name;
  // What the compiler saw: __AVX2__, __AVX512F__, __FMA__, _OPENMP, and
  // Eigen's own list of the instruction sets it uses.
  const char* compiled;
  // Eigen's threads for its products (OpenMP flavor only; 1 elsewhere).
  void (*set_threads)(int threads);
  int (*threads)();
  // c = a * b (n x n, no allocation).
  void (*mult)(int n, const double* a, int lda, const double* b, int ldb, double* c);
  // y = a * x.
  void (*mult_vector)(int n, const double* a, int lda, const double* x, double* y);
  // The determinant by PartialPivLU.
  double (*det)(int n, const double* a, int lda);
  // PartialPivLU's factorisation alone; returns its first element.
  double (*lu)(int n, const double* a, int lda);
  // inv = a^-1 (inverse(): by PartialPivLU above order 4).
  void (*inverse)(int n, const double* a, int lda, double* inv);
  // x = a^-1 b by a.lu().solve(b).
  void (*solve)(int n, const double* a, int lda, const double* b, double* x);
};

}

#endif  // NODREL_BENCH_EIGEN_FLAVOR_HPP
