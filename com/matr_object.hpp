// The COM object of class Matr: the dual interface _Matr over one
// nodrel::Matr, and ISupportErrorInfo.
//
// Each method of _Matr binds its arguments in a CallFrame, calls the core's
// method of the same name and hands the arguments back; run() is the one
// place where the core's run-time errors become HRESULTs and error objects.
// IDispatch goes through the type library: ITypeInfo::Invoke converts the
// caller's VARIANTs to the typed arguments and calls the method through the
// function table, so early and late binding run the same code. What it does
// not convert, a script's references to variants, ScriptArguments converts
// first (script_arguments.hpp).
#ifndef NODREL_SERVER_COM_MATR_OBJECT_HPP
#define NODREL_SERVER_COM_MATR_OBJECT_HPP

#include <windows.h>

#include <atomic>

#include "nodrel/matr.hpp"
#include "nodrel_h.h"
#include "com/com_ptr.hpp"

namespace nodrel::com {

class CallFrame;

class MatrObject final : public _Matr, public ISupportErrorInfo {
 public:
  // A new object, returned through `object` as interface `riid`.
  static HRESULT create(REFIID riid, void** object) noexcept;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* bad_argument) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // _Matr, in function-table order.
  HRESULT STDMETHODCALLTYPE Initialize_dMatr() override;
  HRESULT STDMETHODCALLTYPE mMatrIsVect(SAFEARRAY** mtrA, VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE mMatrIsQuadr(SAFEARRAY** mtrDest, VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE mDet(SAFEARRAY** mtrA, double* result) override;
  HRESULT STDMETHODCALLTYPE mSum(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc1,
                                 SAFEARRAY** mtrSrc2) override;
  HRESULT STDMETHODCALLTYPE mDiff(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc1,
                                  SAFEARRAY** mtrSrc2) override;
  HRESULT STDMETHODCALLTYPE mMult(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc1,
                                  SAFEARRAY** mtrSrc2) override;
  HRESULT STDMETHODCALLTYPE mMultVett(SAFEARRAY** vetDest, SAFEARRAY** mtrSrc,
                                      SAFEARRAY** vetSrc) override;
  HRESULT STDMETHODCALLTYPE mMatrIsSing(SAFEARRAY** mtrA, VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE mDivd(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc1,
                                  SAFEARRAY** mtrSrc2) override;
  HRESULT STDMETHODCALLTYPE mTrasp(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc) override;
  HRESULT STDMETHODCALLTYPE mOpp(SAFEARRAY** mtrDest) override;
  HRESULT STDMETHODCALLTYPE mSwapRC(SAFEARRAY** mtrA, BSTR* rc, LONG* RC1, LONG* RC2) override;
  HRESULT STDMETHODCALLTYPE mDiag(SAFEARRAY** mtrA) override;
  HRESULT STDMETHODCALLTYPE mSwap(SAFEARRAY** mtrA, SAFEARRAY** mtrB) override;
  HRESULT STDMETHODCALLTYPE mSist(SAFEARRAY** vetX, SAFEARRAY** mtrA, SAFEARRAY** vetB) override;
  HRESULT STDMETHODCALLTYPE mMakeMatrNul(SAFEARRAY** mtrA, LONG* ordr, LONG* ordc) override;
  HRESULT STDMETHODCALLTYPE mMakeVectNul(SAFEARRAY** vetA, LONG* ordr) override;
  HRESULT STDMETHODCALLTYPE mMakeMatrI(SAFEARRAY** mtrA, LONG* ordr) override;
  HRESULT STDMETHODCALLTYPE mMakeVectI(SAFEARRAY** vetA, LONG* ordr) override;
  HRESULT STDMETHODCALLTYPE mPrint(VARIANT* ToPrint, VARIANT* obj, VARIANT* Perif, VARIANT* frmt,
                                   VARIANT* Comment, VARIANT* RowCol, VARIANT* Append,
                                   VARIANT* Modal) override;
  HRESULT STDMETHODCALLTYPE mMod(SAFEARRAY** mtrA, double* result) override;
  HRESULT STDMETHODCALLTYPE mProdScal(SAFEARRAY** mtrA, double* Nmr) override;
  HRESULT STDMETHODCALLTYPE mTrace(SAFEARRAY** mtrA, double* result) override;
  HRESULT STDMETHODCALLTYPE mIdentical(SAFEARRAY** mtrA, SAFEARRAY** mtrB,
                                       VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE mMatrIsOrt(SAFEARRAY** mtrA, VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE mMatrAreOrt(SAFEARRAY** mtrA, SAFEARRAY** mtrB,
                                        VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE mMatrIsUnit(SAFEARRAY** mtrA, VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE mMatrIsZero(SAFEARRAY** mtrA, VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE mInv(SAFEARRAY** mtrDest) override;
  HRESULT STDMETHODCALLTYPE mDupl(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc) override;
  HRESULT STDMETHODCALLTYPE mDuplVar(SAFEARRAY** mtrDest, VARIANT* VarArray) override;
  HRESULT STDMETHODCALLTYPE mPolin(SAFEARRAY** vetCoeff, SAFEARRAY** mtrPts, LONG* Rank,
                                   VARIANT* NoPoints) override;
  HRESULT STDMETHODCALLTYPE mGetYPolin(double* x, SAFEARRAY** Coeff, double* result) override;
  HRESULT STDMETHODCALLTYPE mGetXsOfQuadr(double* x1, double* x2, double* y, SAFEARRAY** Coeff,
                                          VARIANT* MaxF) override;
  HRESULT STDMETHODCALLTYPE mShowAbout() override;

 private:
  MatrObject(ComPtr<ITypeInfo> dispatch_info, ComPtr<ITypeInfo> interface_info);
  ~MatrObject();
  MatrObject(const MatrObject&) = delete;
  MatrObject& operator=(const MatrObject&) = delete;

  // Runs one method: clears the thread's error object, holds a reference on
  // the object for the length of the call, gives `body` a CallFrame, hands
  // the arguments back (also after a failure) and turns whatever was thrown
  // into the call's HRESULT and error object. No exception leaves it.
  template <typename Body>
  HRESULT run(Body&& body) noexcept;

  std::atomic<ULONG> references_{1};
  ComPtr<ITypeInfo> dispatch_info_;   // _Matr as a dispatch interface, for clients
  ComPtr<ITypeInfo> interface_info_;  // _Matr's function table, for Invoke
  HRESULT last_failure_ = S_OK;       // of the latest call that failed
  Matr matr_;
};

}  // namespace nodrel::com

#endif  // NODREL_SERVER_COM_MATR_OBJECT_HPP
