#include "nodrel/matr.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/expect_error.hpp"

namespace nodrel {
namespace {

TEST(MatrStateTest, NewObjectHasCodeZeroAndEmptyMessages) {
  Matr m;
  EXPECT_EQ(m.ErrCode(), 0);
  for (int code = -1; code <= 9; ++code) {
    SCOPED_TRACE(code);
    EXPECT_EQ(m.ErrMsg(code), "");
  }
}

TEST(MatrStateTest, InitializeFillsTheMessageTable) {
  Matr m;
  // A condition left over from an earlier call is reset too.
  DoubleArray wide = DoubleArray::zeros(2, 3);
  m.mMatrIsQuadr(wide);
  m.Initialize_dMatr();
  EXPECT_EQ(m.ErrCode(), 0);
  const char* expected[] = {
      "Singolarita` Angolare",
      "Nessun Errore",
      "Ordini NON Uguali",
      "Ordini NON Validi",
      "Matrice NON Quadrata",
      "Matrice Singolare",
      "Parametro Errato",
      "Matrice NON Vettore",
      "",
      "Vettore Punti Errato",
      "Rango k della matrice dei coefficienti superiore a n-2",
  };
  for (int code = -1; code <= 9; ++code) {
    SCOPED_TRACE(code);
    EXPECT_EQ(m.ErrMsg(code), expected[code + 1]);
  }
  m.Initialize_dMatr();  // a second call stores the same texts again
  EXPECT_EQ(m.ErrMsg(4), "Matrice Singolare");
}

TEST(MatrStateTest, MessageOutsideTheTableFails) {
  Matr m;
  EXPECT_RUNTIME_ERROR(m.ErrMsg(-2), 9);
  EXPECT_RUNTIME_ERROR(m.ErrMsg(10), 9);
}

TEST(MatrStateTest, ObjectsShareNothing) {
  Matr a;
  Matr b;
  a.Initialize_dMatr();
  EXPECT_EQ(b.ErrMsg(0), "");
  a.set_locale(Locale{",", ".", ""});
  EXPECT_EQ(b.locale(), Locale::process());
}

}  // namespace
}  // namespace nodrel
