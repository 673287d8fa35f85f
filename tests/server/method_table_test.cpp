// The method table is the interface contract that late binding, the
// command-line host and the type library share: names, identifiers,
// argument names, kinds and roles as clients know them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <string>

#include "nodrel/dispatch.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

std::string signature(const MethodInfo& m) {
  const char* kinds[] = {"double[]", "double", "long", "string", "variant"};
  const char* roles[] = {"", " written", " redim"};
  char id[16];
  std::snprintf(id, sizeof id, "%08X", static_cast<unsigned>(m.dispid));
  std::string text = std::string(m.name) + " " + id + " (";
  for (const ArgumentInfo& a : m.args) {
    text += std::string(&a == m.args.data() ? "" : ", ") + (a.optional ? "[" : "") +
            std::string(a.name) + ": " + kinds[static_cast<int>(a.kind)] +
            roles[static_cast<int>(a.role)] + (a.optional ? "]" : "");
  }
  const char* results[] = {")", ") -> bool", ") -> double"};
  return text + results[static_cast<int>(m.result)];
}

// The interface in function-table order, as the type library must publish
// it: roles are what a client sees change in its variables.
const char* const kInterface[] = {
    "Initialize_dMatr 60030000 ()",
    "mMatrIsVect 60030002 (mtrA: double[]) -> bool",
    "mMatrIsQuadr 60030003 (mtrDest: double[]) -> bool",
    "mDet 60030004 (mtrA: double[]) -> double",
    "mSum 60030005 (mtrDest: double[] written, mtrSrc1: double[], mtrSrc2: double[])",
    "mDiff 60030006 (mtrDest: double[] written, mtrSrc1: double[], mtrSrc2: double[])",
    "mMult 60030007 (mtrDest: double[] redim, mtrSrc1: double[], mtrSrc2: double[])",
    "mMultVett 60030008 (vetDest: double[] redim, mtrSrc: double[], vetSrc: double[])",
    "mMatrIsSing 60030009 (mtrA: double[]) -> bool",
    "mDivd 6003000A (mtrDest: double[] redim, mtrSrc1: double[], mtrSrc2: double[])",
    "mTrasp 6003000B (mtrDest: double[] redim, mtrSrc: double[])",
    "mOpp 6003000C (mtrDest: double[] written)",
    "mSwapRC 6003000D (mtrA: double[] written, rc: string, RC1: long, RC2: long)",
    "mDiag 6003000E (mtrA: double[] written)",
    "mSwap 6003000F (mtrA: double[] redim, mtrB: double[] redim)",
    "mSist 60030010 (vetX: double[] written, mtrA: double[] written, vetB: double[] written)",
    "mMakeMatrNul 60030011 (mtrA: double[] redim, ordr: long, ordc: long)",
    "mMakeVectNul 60030012 (vetA: double[] redim, ordr: long)",
    "mMakeMatrI 60030013 (mtrA: double[] redim, ordr: long)",
    "mMakeVectI 60030014 (vetA: double[] redim, ordr: long)",
    "mPrint 60030015 (ToPrint: variant, [obj: variant], [Perif: variant written], "
    "[frmt: variant], [Comment: variant], [RowCol: variant written], [Append: variant], "
    "[Modal: variant])",
    "mMod 60030018 (mtrA: double[]) -> double",
    "mProdScal 60030019 (mtrA: double[] written, Nmr: double)",
    "mTrace 6003001A (mtrA: double[]) -> double",
    "mIdentical 6003001B (mtrA: double[], mtrB: double[]) -> bool",
    "mMatrIsOrt 6003001C (mtrA: double[]) -> bool",
    "mMatrAreOrt 6003001D (mtrA: double[], mtrB: double[]) -> bool",
    "mMatrIsUnit 6003001E (mtrA: double[]) -> bool",
    "mMatrIsZero 6003001F (mtrA: double[]) -> bool",
    "mInv 60030020 (mtrDest: double[] redim)",
    "mDupl 60030022 (mtrDest: double[] redim, mtrSrc: double[])",
    "mDuplVar 60030023 (mtrDest: double[] redim, VarArray: variant)",
    "mPolin 60030024 (vetCoeff: double[] redim, mtrPts: double[], Rank: long, "
    "[NoPoints: variant])",
    "mGetYPolin 60030029 (x: double, Coeff: double[]) -> double",
    "mGetXsOfQuadr 6003002A (x1: double written, x2: double written, y: double, "
    "Coeff: double[], [MaxF: variant])",
    "mShowAbout 6003002B ()",
};

TEST(MethodTableTest, TheInterfaceInFunctionTableOrder) {
  const auto all = methods();
  ASSERT_EQ(all.size(), std::size(kInterface));
  std::set<std::int32_t> ids;
  for (std::size_t k = 0; k < all.size(); ++k) {
    const MethodInfo& m = all[k];
    SCOPED_TRACE(m.name);
    EXPECT_EQ(signature(m), kInterface[k]);
    EXPECT_FALSE(m.help.empty());
    std::string upper(m.name), lower(m.name);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    for (const std::string& name : {std::string(m.name), upper, lower}) {
      EXPECT_EQ(find_method(name), &m);
      EXPECT_EQ(dispid_of(name), m.dispid);
    }
    EXPECT_EQ(find_method(m.dispid), &m);
    ids.insert(m.dispid);
  }
  // Only the private routines leave gaps in the identifiers.
  for (std::int32_t id :
       {0, -1, kDispidBase - 1, kDispidBase + 0x01, kDispidBase + 0x16, kDispidBase + 0x21,
        kDispidBase + 0x25, kDispidBase + 0x28, kDispidBase + 0x2C}) {
    EXPECT_EQ(find_method(id), nullptr) << id;
  }
  EXPECT_EQ(*ids.rbegin(), kDispidBase + 0x2B);
  for (const char* name :
       {"SwapValues", "DetOrder3", "VectModulus", "PolinSolve", "ErrCode", "ErrMsg", "", "mDe",
        "mDett", " mDet", "mDet ", "mDet()", "m\xc4\xb0nv", "QueryInterface", "Invoke"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(find_method(name), nullptr);
    EXPECT_RUNTIME_ERROR(dispid_of(name), 438);
  }
}

}  // namespace
}  // namespace nodrel
