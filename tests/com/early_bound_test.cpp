// A C++ client bound early: Matr created by ProgID, its methods called
// through the function table of the widl header, with the caller's own
// SAFEARRAYs of lower bounds 0 and 1.
//
// The arithmetic itself is the core's and has its own tests; these check
// what crosses the boundary: bounds, elements written in place or arrays
// replaced, results as automation values, run-time errors as HRESULTs with
// their error object, and what stays written when a call fails.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "com/com_support.hpp"

namespace nodrel::com::test {
namespace {

class EarlyBound : public testing::TestWithParam<LONG> {
 protected:
  void SetUp() override { matr_ = create_matr(); }
  LONG lower() const { return GetParam(); }
  ComPtr<_Matr> matr_;
};

TEST_P(EarlyBound, ShapeTestsAnswerAutomationBooleans) {
  Array vector = in_vector({1, 2, 3}, lower());
  Array square = in_matrix({{1, 2}, {3, 4}}, lower());
  Array wide = in_matrix({{1, 2, 3}, {4, 5, 6}}, lower());
  VARIANT_BOOL answer = 7;
  ASSERT_EQ(matr_->mMatrIsVect(vector.address(), &answer), S_OK);
  EXPECT_EQ(answer, VARIANT_TRUE);
  EXPECT_EQ(answer, -1);
  ASSERT_EQ(matr_->mMatrIsVect(square.address(), &answer), S_OK);
  EXPECT_EQ(answer, VARIANT_FALSE);
  ASSERT_EQ(matr_->mMatrIsQuadr(square.address(), &answer), S_OK);
  EXPECT_EQ(answer, VARIANT_TRUE);
  ASSERT_EQ(matr_->mMatrIsQuadr(wide.address(), &answer), S_OK);
  EXPECT_EQ(answer, VARIANT_FALSE);
  Array singular = in_matrix({{1, 2}, {2, 4}}, lower());
  ASSERT_EQ(matr_->mMatrIsSing(singular.address(), &answer), S_OK);
  EXPECT_EQ(answer, VARIANT_TRUE);
  ASSERT_EQ(matr_->mMatrIsSing(square.address(), &answer), S_OK);
  EXPECT_EQ(answer, VARIANT_FALSE);
}

TEST_P(EarlyBound, NumbersComeBackAsResults) {
  // The message table it fills has no reader at the boundary: the call
  // itself is what crosses.
  EXPECT_EQ(matr_->Initialize_dMatr(), S_OK);
  Array a = in_matrix({{1, 2, 0}, {3, 4, 0}, {0, 0, 10}}, lower());
  double result = -1;
  ASSERT_EQ(matr_->mDet(a.address(), &result), S_OK);
  EXPECT_EQ(result, -20.0);
  ASSERT_EQ(matr_->mTrace(a.address(), &result), S_OK);
  EXPECT_EQ(result, 15.0);
  Array v = in_vector({3, 4}, lower());
  ASSERT_EQ(matr_->mMod(v.address(), &result), S_OK);
  EXPECT_EQ(result, 5.0);
  Array coefficients = in_vector({1, 2, 3}, lower());
  double x = 2;
  ASSERT_EQ(matr_->mGetYPolin(&x, coefficients.address(), &result), S_OK);
  EXPECT_EQ(result, 17.0);
  // Read-only arguments are left exactly as they were.
  EXPECT_EQ(a.rows(), in_place({{1, 2, 0}, {3, 4, 0}, {0, 0, 10}}, lower()));
}

TEST_P(EarlyBound, InPlaceMethodsWriteIntoTheCallersArray) {
  struct Case {
    const char* name;
    Rows before;
    HRESULT (*call)(_Matr*, Array&);
    Rows after;
  };
  const Case cases[] = {
      {"mOpp",
       {{1, -2}, {3, 0}},
       [](_Matr* m, Array& a) { return m->mOpp(a.address()); },
       {{-1, 2}, {-3, -0.0}}},
      {"mProdScal",
       {{1, 2}, {3, 4}},
       [](_Matr* m, Array& a) {
         double factor = 2.5;
         return m->mProdScal(a.address(), &factor);
       },
       {{2.5, 5}, {7.5, 10}}},
      {"mSwapRC",
       {{1, 2}, {3, 4}},
       [](_Matr* m, Array& a) {
         Bstr rows(L"r");
         LONG first = 1;
         LONG second = 2;
         return m->mSwapRC(a.address(), rows.address(), &first, &second);
       },
       {{3, 4}, {1, 2}}},
      {"mDiag",
       {{2, 1}, {4, 3}},
       [](_Matr* m, Array& a) { return m->mDiag(a.address()); },
       {{2, 0}, {0, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Array a = in_matrix(c.before, lower());
    SAFEARRAY* const callers = a.get();
    ASSERT_EQ(c.call(matr_.get(), a), S_OK);
    EXPECT_EQ(a.get(), callers) << "the caller keeps its own array";
    EXPECT_EQ(a.rows(), in_place(c.after, lower()));
  }
}

TEST_P(EarlyBound, ElementWiseResultsGoIntoTheGivenDestination) {
  Array a = in_matrix({{1, 2}, {3, 4}}, lower());
  Array b = in_matrix({{10, 20}, {30, 40}}, lower());
  Array dest = in_matrix({{0, 0}, {0, 0}}, lower());
  SAFEARRAY* const callers = dest.get();
  ASSERT_EQ(matr_->mSum(dest.address(), a.address(), b.address()), S_OK);
  EXPECT_EQ(dest.get(), callers);
  EXPECT_EQ(dest.rows(), in_place({{11, 22}, {33, 44}}, lower()));
  ASSERT_EQ(matr_->mDiff(dest.address(), a.address(), b.address()), S_OK);
  EXPECT_EQ(dest.rows(), in_place({{-9, -18}, {-27, -36}}, lower()));

  Array x = in_vector({0, 0}, lower());
  Array system = in_matrix({{2, 1}, {1, 3}}, lower());
  Array rhs = in_vector({3, 5}, lower());
  ASSERT_EQ(matr_->mSist(x.address(), system.address(), rhs.address()), S_OK);
  const std::vector<double> solution =
      lower() == 0 ? std::vector<double>{kUnused, 0.8, 1.4} : std::vector<double>{0.8, 1.4};
  EXPECT_EQ(x.values(), solution);
  EXPECT_EQ(system.rows(), in_place({{2, 1}, {1, 3}}, lower())) << "restored after the solve";
}

// Methods that re-dimension their destination replace the caller's array
// with one of bounds 0..r (and 0..c); the one passed in, of any shape or
// none at all, is gone.
TEST_P(EarlyBound, RedimensioningMethodsReplaceTheArray) {
  struct Case {
    const char* name;
    HRESULT (*call)(_Matr*, Array& dest, LONG lower);
    Bounds bounds;
    Rows rows;  // a matrix's rows; a vector's elements as one row
  };
  const Case cases[] = {
      {"mMult",
       [](_Matr* m, Array& d, LONG lb) {
         Array a = in_matrix({{1, 2}, {3, 4}}, lb);
         Array b = in_matrix({{5, 6, 1}, {7, 8, 0}}, lb);
         return m->mMult(d.address(), a.address(), b.address());
       },
       {{0, 2}, {0, 3}},
       made({{19, 22, 1}, {43, 50, 3}})},
      {"mMultVett",
       [](_Matr* m, Array& d, LONG lb) {
         Array a = in_matrix({{1, 2}, {3, 4}}, lb);
         Array v = in_vector({5, 6}, lb);
         return m->mMultVett(d.address(), a.address(), v.address());
       },
       {{0, 2}},
       {{0, 17, 39}}},
      {"mDivd",
       [](_Matr* m, Array& d, LONG lb) {
         Array dividend = in_matrix({{1, 1}, {1, 1}}, lb);
         Array divisor = in_matrix({{2, 0}, {0, 1}}, lb);
         return m->mDivd(d.address(), dividend.address(), divisor.address());
       },
       {{0, 2}, {0, 2}},
       made({{0.5, 0.5}, {1, 1}})},
      {"mTrasp",
       [](_Matr* m, Array& d, LONG lb) {
         Array a = in_matrix({{1, 2, 3}, {4, 5, 6}}, lb);
         return m->mTrasp(d.address(), a.address());
       },
       {{0, 3}, {0, 2}},
       made({{1, 4}, {2, 5}, {3, 6}})},
      {"mMakeMatrNul",
       [](_Matr* m, Array& d, LONG) {
         LONG rows = 2;
         LONG columns = 3;
         return m->mMakeMatrNul(d.address(), &rows, &columns);
       },
       {{0, 2}, {0, 3}},
       made({{0, 0, 0}, {0, 0, 0}})},
      {"mMakeVectNul",
       [](_Matr* m, Array& d, LONG) {
         LONG order = 3;
         return m->mMakeVectNul(d.address(), &order);
       },
       {{0, 3}},
       {{0, 0, 0, 0}}},
      {"mMakeMatrI",
       [](_Matr* m, Array& d, LONG) {
         LONG order = 2;
         return m->mMakeMatrI(d.address(), &order);
       },
       {{0, 2}, {0, 2}},
       made({{1, 0}, {0, 1}})},
      {"mMakeVectI",
       [](_Matr* m, Array& d, LONG) {
         LONG order = 3;
         return m->mMakeVectI(d.address(), &order);
       },
       {{0, 3}},
       {{0, 1, 1, 1}}},
      {"mDupl",
       [](_Matr* m, Array& d, LONG lb) {
         Array a = in_matrix({{1, 2}, {3, 4}}, lb);
         return m->mDupl(d.address(), a.address());
       },
       {{0, 2}, {0, 2}},
       made({{1, 2}, {3, 4}})},
      {"mPolin",
       [](_Matr* m, Array& d, LONG lb) {
         // Points (x, y) on y = 2x + 1, one per row.
         Array points = in_matrix({{0, 1}, {1, 3}, {2, 5}}, lb);
         LONG rank = 2;
         return m->mPolin(d.address(), points.address(), &rank, nullptr);
       },
       {{0, 2}},
       {{0, 1, 2}}},
  };
  for (const Case& c : cases) {
    for (const bool dimensioned : {false, true}) {
      SCOPED_TRACE(std::string(c.name) +
                   (dimensioned ? ", over a 1x1 array" : ", never dimensioned"));
      Array dest;
      if (dimensioned) dest = in_matrix({{7}}, lower());
      ASSERT_EQ(c.call(matr_.get(), dest, lower()), S_OK);
      ASSERT_EQ(dest.bounds(), c.bounds);
      if (c.bounds.size() == 2) {
        EXPECT_EQ(dest.rows(), c.rows);
      } else {
        const std::vector<double> values = dest.values();
        ASSERT_EQ(values.size(), c.rows[0].size());
        for (std::size_t i = 0; i < values.size(); ++i) {
          EXPECT_NEAR(values[i], c.rows[0][i], 1e-12) << "element " << i;
        }
      }
    }
  }
}

TEST_P(EarlyBound, InverseInPlaceComesBackWithBoundsFromZero) {
  Array a = in_matrix({{4, 7}, {2, 6}}, lower());
  ASSERT_EQ(matr_->mInv(a.address()), S_OK);
  EXPECT_EQ(a.bounds(), (Bounds{{0, 2}, {0, 2}}));
  EXPECT_EQ(a.rows(), made({{0.6, -0.7}, {-0.2, 0.4}}));
}

TEST_P(EarlyBound, ExchangeOfTwoMatricesOfDifferentOrders) {
  Array a = in_matrix({{1, 2}, {3, 4}}, lower());
  Array b = in_matrix({{5}, {6}, {7}}, lower());
  ASSERT_EQ(matr_->mSwap(a.address(), b.address()), S_OK);
  EXPECT_EQ(a.bounds(), (Bounds{{0, 3}, {0, 1}}));
  EXPECT_EQ(a.rows(), made({{5}, {6}, {7}}));
  EXPECT_EQ(b.bounds(), (Bounds{{0, 2}, {0, 2}}));
  EXPECT_EQ(b.rows(), made({{1, 2}, {3, 4}}));
}

TEST_P(EarlyBound, PropertyTests) {
  struct Case {
    const char* name;
    Rows a;
    Rows b;  // empty: a one-matrix test
    HRESULT (*call)(_Matr*, Array&, Array&, VARIANT_BOOL*);
    VARIANT_BOOL expected;
  };
  const auto identical = [](_Matr* m, Array& a, Array& b, VARIANT_BOOL* r) {
    return m->mIdentical(a.address(), b.address(), r);
  };
  const auto orthogonal = [](_Matr* m, Array& a, Array&, VARIANT_BOOL* r) {
    return m->mMatrIsOrt(a.address(), r);
  };
  const auto pair = [](_Matr* m, Array& a, Array& b, VARIANT_BOOL* r) {
    return m->mMatrAreOrt(a.address(), b.address(), r);
  };
  const auto unit = [](_Matr* m, Array& a, Array&, VARIANT_BOOL* r) {
    return m->mMatrIsUnit(a.address(), r);
  };
  const auto zero = [](_Matr* m, Array& a, Array&, VARIANT_BOOL* r) {
    return m->mMatrIsZero(a.address(), r);
  };
  const Case cases[] = {
      {"mIdentical equal", {{1, 2}, {3, 4}}, {{1, 2}, {3, 4}}, identical, VARIANT_TRUE},
      {"mIdentical different", {{1, 2}, {3, 4}}, {{1, 2}, {3, 5}}, identical, VARIANT_FALSE},
      {"mMatrIsOrt rotation", {{0, -1}, {1, 0}}, {}, orthogonal, VARIANT_TRUE},
      {"mMatrIsOrt singular", {{1, 1}, {1, 1}}, {}, orthogonal, VARIANT_FALSE},
      {"mMatrAreOrt", {{1, 0, 0}, {0, 1, 0}}, {{1, 0}, {0, 1}, {0, 0}}, pair, VARIANT_TRUE},
      {"mMatrIsUnit", {{1, 0}, {0, 1}}, {}, unit, VARIANT_TRUE},
      {"mMatrIsUnit not", {{1, 0}, {0, 2}}, {}, unit, VARIANT_FALSE},
      {"mMatrIsZero", {{0, 0}, {0, -0.0}}, {}, zero, VARIANT_TRUE},
      {"mMatrIsZero not", {{0, 0}, {0, 1}}, {}, zero, VARIANT_FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Array a = in_matrix(c.a, lower());
    Array b = c.b.empty() ? Array() : in_matrix(c.b, lower());
    VARIANT_BOOL answer = 7;
    ASSERT_EQ(c.call(matr_.get(), a, b, &answer), S_OK);
    EXPECT_EQ(answer, c.expected);
  }
}

TEST_P(EarlyBound, RootsOfAQuadraticAreWrittenIntoTheCallersVariables) {
  Array coefficients = in_vector({-3, 2, 1}, lower());
  double x1 = 42;
  double x2 = 42;
  double y = 0;
  ASSERT_EQ(matr_->mGetXsOfQuadr(&x1, &x2, &y, coefficients.address(), nullptr), S_OK);
  EXPECT_EQ(x1, 1.0);
  EXPECT_EQ(x2, -3.0);

  // No root: the vertex when MaxF is true, zeros when it is left out.
  Array parabola = in_vector({1, -2, 1}, lower());
  y = -1;
  Var max_f;
  V_VT(max_f.ptr()) = VT_BOOL;
  V_BOOL(max_f.ptr()) = VARIANT_TRUE;
  ASSERT_EQ(matr_->mGetXsOfQuadr(&x1, &x2, &y, parabola.address(), max_f.ptr()), S_OK);
  EXPECT_EQ(x1, 1.0);
  EXPECT_EQ(x2, 0.0);
  Var left_out = Var::missing();
  ASSERT_EQ(matr_->mGetXsOfQuadr(&x1, &x2, &y, parabola.address(), left_out.ptr()), S_OK);
  EXPECT_EQ(x1, 0.0);
  EXPECT_EQ(x2, 0.0);
}

TEST_P(EarlyBound, CopyOutOfAVariant) {
  // A two-dimensional array of variants, as a client holds a table.
  SAFEARRAYBOUND bounds[2] = {{2, lower()}, {2, lower()}};
  SAFEARRAY* table = SafeArrayCreate(VT_VARIANT, 2, bounds);
  const double values[2][2] = {{1.5, 2}, {3, 4}};
  for (LONG i = 0; i < 2; ++i) {
    for (LONG j = 0; j < 2; ++j) {
      LONG index[2] = {lower() + i, lower() + j};
      Var element = Var::number(values[i][j]);
      SafeArrayPutElement(table, index, element.ptr());
    }
  }
  Var source;
  V_VT(source.ptr()) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(source.ptr()) = table;
  Array dest;
  ASSERT_EQ(matr_->mDuplVar(dest.address(), source.ptr()), S_OK);
  // The copy starts at index 1 of the source: with lower bounds 0 it loses
  // the source's row 0 and column 0.
  if (lower() == 1) {
    EXPECT_EQ(dest.rows(), made({{1.5, 2}, {3, 4}}));
  } else {
    EXPECT_EQ(dest.rows(), made({{4}}));
  }

  // A single number, here as text read in the user's locale, gives a 1 x 1 matrix.
  Var number = Var::text(L"3");
  Var by_reference = Var::reference_to(number.ptr());
  ASSERT_EQ(matr_->mDuplVar(dest.address(), by_reference.ptr()), S_OK);
  EXPECT_EQ(dest.rows(), made({{3}}));
}

INSTANTIATE_TEST_SUITE_P(LowerBounds, EarlyBound, testing::Values(0, 1),
                         [](const testing::TestParamInfo<LONG>& p) {
                           return "LowerBound" + std::to_string(p.param);
                         });

// Run-time errors: the HRESULT 0x800A0000 + n, the error object, and what
// the method wrote before the error stays written.
class EarlyBoundErrors : public testing::Test {
 protected:
  void SetUp() override { matr_ = create_matr(); }
  ComPtr<_Matr> matr_;
};

TEST_F(EarlyBoundErrors, RunTimeErrorsBecomeHresultsWithAnErrorObject) {
  struct Case {
    const char* name;
    HRESULT (*call)(_Matr*);
    int number;
    const wchar_t* description;
  };
  const Case cases[] = {
      {"determinant of a vector",
       [](_Matr* m) {
         Array v = Array::vector({1, 2}, 1);
         double r = 0;
         return m->mDet(v.address(), &r);
       },
       9, L"Subscript out of range"},
      {"never-dimensioned source",
       [](_Matr* m) {
         Array none;
         double r = 0;
         return m->mTrace(none.address(), &r);
       },
       9, L"Subscript out of range"},
      {"negative order",
       [](_Matr* m) {
         Array a;
         LONG order = -1;
         return m->mMakeVectI(a.address(), &order);
       },
       9, L"Subscript out of range"},
      {"singular system",
       [](_Matr* m) {
         Array x = Array::vector({0, 0}, 1);
         Array a = Array::matrix({{1, 2}, {1, 2}}, 1);
         Array b = Array::vector({1, 2}, 1);
         return m->mSist(x.address(), a.address(), b.address());
       },
       11, L"Division by zero"},
      {"text that is no number",
       [](_Matr* m) {
         Array dest;
         SAFEARRAYBOUND bounds[1] = {{2, 1}};
         Var source;
         V_VT(source.ptr()) = VT_ARRAY | VT_VARIANT;
         V_ARRAY(source.ptr()) = SafeArrayCreate(VT_VARIANT, 1, bounds);
         Var text = Var::text(L"abc");
         LONG index = 2;
         SafeArrayPutElement(V_ARRAY(source.ptr()), &index, text.ptr());
         return m->mDuplVar(dest.address(), source.ptr());
       },
       13, L"Type mismatch"},
      {"array of longs for an array of doubles",
       [](_Matr* m) {
         SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
         Array longs(SafeArrayCreate(VT_I4, 2, bounds));
         double r = 0;
         return m->mDet(longs.address(), &r);
       },
       13, L"Type mismatch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.call(matr_.get()), runtime_error(c.number));
    const ErrorObject error = take_error_object();
    ASSERT_TRUE(error.present);
    EXPECT_EQ(error.source, L"Nodrel.Matr");
    EXPECT_EQ(error.description, c.description);
    EXPECT_TRUE(IsEqualGUID(error.guid, IID__Matr));
  }
}

TEST_F(EarlyBoundErrors, ElementsWrittenBeforeTheErrorReachTheCaller) {
  const double big = std::numeric_limits<double>::max();
  Array a = Array::matrix({{1, big}}, 1);
  Array b = Array::matrix({{2, big}}, 1);
  Array dest = Array::matrix({{0, 0}}, 1);
  EXPECT_EQ(matr_->mSum(dest.address(), a.address(), b.address()), runtime_error(6));
  EXPECT_EQ(take_error_object().description, L"Overflow");
  const Rows rows = dest.rows();
  EXPECT_EQ(rows[0][0], 3.0);
  EXPECT_EQ(rows[0][1], std::numeric_limits<double>::infinity());

  // A destination re-dimensioned before the failure comes back re-dimensioned.
  Array source = Array::matrix({{1, 2}, {3, 4}}, 2);  // lower bounds above 1
  Array copy = Array::matrix({{5}}, 1);
  EXPECT_EQ(matr_->mDupl(copy.address(), source.address()), runtime_error(9));
  EXPECT_EQ(copy.bounds(), (Bounds{{0, 3}, {0, 3}}));
  EXPECT_EQ(copy.rows(), made({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}));
}

// A stale description must never describe a later call: each call clears
// the thread's error object first.
TEST_F(EarlyBoundErrors, EveryCallClearsTheErrorObject) {
  Array v = Array::vector({1, 2}, 1);
  double r = 7;
  ASSERT_EQ(matr_->mDet(v.address(), &r), runtime_error(9));
  EXPECT_EQ(r, 0.0) << "a failed call leaves its result defined";
  ASSERT_EQ(matr_->mMod(v.address(), &r), S_OK);
  EXPECT_FALSE(take_error_object().present);

  ASSERT_EQ(matr_->mDet(v.address(), &r), runtime_error(9));
  Array x = Array::vector({0}, 1);
  Array a = Array::matrix({{0}}, 1);
  Array b = Array::vector({1}, 1);
  ASSERT_EQ(matr_->mSist(x.address(), a.address(), b.address()), runtime_error(11));
  EXPECT_EQ(take_error_object().description, L"Division by zero");
}

// Arrays the caller holds fixed, or that are locked, must not be replaced:
// a re-dimensioning fails with run-time error 10 and leaves them as they
// were; writing their elements in place is allowed.
TEST_F(EarlyBoundErrors, FixedAndLockedArraysRefuseRedimensioning) {
  struct Case {
    const char* name;
    USHORT features;
    bool lock;
  };
  const Case cases[] = {
      {"FADF_FIXEDSIZE", FADF_FIXEDSIZE, false},
      {"FADF_STATIC", FADF_STATIC, false},
      {"FADF_EMBEDDED", FADF_EMBEDDED, false},
      {"locked", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Array a = Array::matrix({{1, 2}, {3, 4}}, 1);
    SAFEARRAY* const callers = a.get();
    a.get()->fFeatures |= c.features;
    if (c.lock) SafeArrayLock(a.get());

    LONG order = 3;
    EXPECT_EQ(matr_->mMakeMatrI(a.address(), &order), runtime_error(10));
    EXPECT_EQ(take_error_object().description, L"This array is fixed or temporarily locked");
    EXPECT_EQ(a.get(), callers);
    EXPECT_EQ(a.bounds(), (Bounds{{1, 2}, {1, 2}}));
    EXPECT_EQ(a.rows(), (Rows{{1, 2}, {3, 4}}));

    EXPECT_EQ(matr_->mOpp(a.address()), S_OK);
    EXPECT_EQ(a.rows(), (Rows{{-1, -2}, {-3, -4}}));

    if (c.lock) SafeArrayUnlock(a.get());
    a.get()->fFeatures &= static_cast<USHORT>(~c.features);
  }
}

// One caller variable given for two arguments is one array, as it is for
// a method working in place.
TEST_F(EarlyBoundErrors, OneArrayPassedTwiceIsOneArray) {
  Array a = Array::matrix({{1, 2}, {3, 4}}, 1);
  ASSERT_EQ(matr_->mSum(a.address(), a.address(), a.address()), S_OK);
  EXPECT_EQ(a.rows(), (Rows{{2, 4}, {6, 8}}));

  // Two arguments that the method re-dimensions, both one array: it is
  // replaced once, and the caller holds the result.
  ASSERT_EQ(matr_->mSwap(a.address(), a.address()), S_OK);
  EXPECT_EQ(a.bounds(), (Bounds{{0, 2}, {0, 2}}));
  EXPECT_EQ(a.rows(), made({{2, 4}, {6, 8}}));

  // Two variables holding the same array are one array as well: after the
  // replacement both hold the new one.
  Array b = Array::matrix({{1, 2}, {3, 4}}, 1);
  SAFEARRAY* alias = b.get();
  ASSERT_EQ(matr_->mSwap(b.address(), &alias), S_OK);
  EXPECT_EQ(alias, b.get());
  EXPECT_EQ(b.rows(), made({{1, 2}, {3, 4}}));
}

TEST_F(EarlyBoundErrors, NullPointersAreRefused) {
  double r = 0;
  EXPECT_EQ(matr_->mDet(nullptr, &r), runtime_error(5));
  Array a = Array::matrix({{1}}, 1);
  EXPECT_EQ(matr_->mDet(a.address(), nullptr), runtime_error(5));
  // A left-out optional argument is a null VARIANT*; a required one is not optional.
  Array dest;
  EXPECT_EQ(matr_->mDuplVar(dest.address(), nullptr), runtime_error(449));
  EXPECT_EQ(take_error_object().description, L"Argument not optional");
}

}  // namespace
}  // namespace nodrel::com::test
