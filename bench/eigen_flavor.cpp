// One flavor of Eigen (see eigen_flavor.hpp), compiled once per flavor with
// its own flags; NODREL_EIGEN_FLAVOR names the flavor and its entry point.
#include "eigen_flavor.hpp"

#include <Eigen/Dense>
#include <string>

namespace {

using Matrix = Eigen::MatrixXd;
using ConstMap = Eigen::Map<const Matrix, 0, Eigen::OuterStride<>>;

ConstMap view(int n, const double* a, int lda) { return ConstMap(a, n, n, Eigen::OuterStride<>(lda)); }

#define NODREL_STR2(x) #x
#define NODREL_STR(x) NODREL_STR2(x)

std::string compiled() {
  std::string s;
#if defined(__AVX512F__)
  s += "__AVX512F__ ";
#endif
#if defined(__AVX2__)
  s += "__AVX2__ ";
#endif
#if defined(__FMA__)
  s += "__FMA__ ";
#endif
#if defined(_OPENMP)
  s += "_OPENMP=" NODREL_STR(_OPENMP) " ";
#endif
  return s + "(Eigen: " + Eigen::SimdInstructionSetsInUse() + ")";
}

const NodrelEigenFlavor kFlavor = {
    NODREL_STR(NODREL_EIGEN_FLAVOR),
    [] {
      static const std::string text = compiled();
      return text.c_str();
    }(),
    [](int threads) { Eigen::setNbThreads(threads); },
    [] { return Eigen::nbThreads(); },
    [](int n, const double* a, int lda, const double* b, int ldb, double* c) {
      Eigen::Map<Matrix>(c, n, n).noalias() = view(n, a, lda) * view(n, b, ldb);
    },
    [](int n, const double* a, int lda, const double* x, double* y) {
      Eigen::Map<Eigen::VectorXd>(y, n).noalias() =
          view(n, a, lda) * Eigen::Map<const Eigen::VectorXd>(x, n);
    },
    [](int n, const double* a, int lda) {
      return Eigen::PartialPivLU<Matrix>(view(n, a, lda)).determinant();
    },
    [](int n, const double* a, int lda) {
      return Eigen::PartialPivLU<Matrix>(view(n, a, lda)).matrixLU()(0, 0);
    },
    [](int n, const double* a, int lda, double* inv) {
      Eigen::Map<Matrix>(inv, n, n) = view(n, a, lda).inverse();
    },
    [](int n, const double* a, int lda, const double* b, double* x) {
      Eigen::Map<Eigen::VectorXd>(x, n) =
          view(n, a, lda).lu().solve(Eigen::Map<const Eigen::VectorXd>(b, n));
    },
};

}  // namespace

#define NODREL_ENTRY2(flavor) nodrel_eigen_##flavor
#define NODREL_ENTRY(flavor) NODREL_ENTRY2(flavor)

extern "C" __attribute__((visibility("default"))) const NodrelEigenFlavor* NODREL_ENTRY(
    NODREL_EIGEN_FLAVOR)() {
  return &kFlavor;
}
