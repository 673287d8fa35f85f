// The README's tour, through the installed headers and library: an inverse,
// and a singular matrix reported by ErrCode. Exits with 1 on any difference.
#include <cstdio>
#include <nodrel/nodrel.hpp>

int main() {
  nodrel::Matr m;
  m.Initialize_dMatr();
  auto a = nodrel::DoubleArray::matrix({{4, 7}, {2, 6}});
  const double det = m.mDet(a);
  m.mInv(a);
  auto s = nodrel::DoubleArray::matrix({{1, 1}, {1, 1}});
  m.mInv(s);
  const bool ok = det == 10 && a(1, 2) == -0.7 && a(2, 1) == -0.2 && a.lbound(1) == 0 &&
                  m.ErrCode() == 4 && m.ErrMsg(m.ErrCode()) == "Matrice Singolare";
  std::printf("det %g, inverse (1,2) %g, singular: ErrCode %d\n", det, a(1, 2),
              static_cast<int>(m.ErrCode()));
  return ok ? 0 : 1;
}
