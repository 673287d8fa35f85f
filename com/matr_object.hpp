// The COM object of class Matr: the dual interface _Matr over one
// nodrel::Matr, and ISupportErrorInfo.
//
// Both ways into a method run the same code: a call through the function
// table is the one stub below, which makes a typed reference of each typed
// pointer, and IDispatch::Invoke takes the caller's VARIANTs as they are;
// either way a CallFrame binds them through the core's late binding, the
// method runs, and what it changed goes back (call_frame.hpp). run() is the
// one place where the core's run-time errors become HRESULTs and error
// objects; Invoke hands them on in EXCEPINFO.
#ifndef NODREL_COM_MATR_OBJECT_HPP
#define NODREL_COM_MATR_OBJECT_HPP

#include <windows.h>

#include <atomic>

#include "com/call_frame.hpp"
#include "com/com_ptr.hpp"
#include "nodrel/matr.hpp"
#include "nodrel_h.h"

namespace nodrel::com {

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

  // _Matr, in function-table order: each entry the stub of the method of
  // its name in the method table.
  STDMETHOD(Initialize_dMatr)() override { return stub<"Initialize_dMatr">(); }
  STDMETHOD(mMatrIsVect)(SAFEARRAY** a, VARIANT_BOOL* b) override {
    return stub<"mMatrIsVect">(a, b);
  }
  STDMETHOD(mMatrIsQuadr)(SAFEARRAY** a, VARIANT_BOOL* b) override {
    return stub<"mMatrIsQuadr">(a, b);
  }
  STDMETHOD(mDet)(SAFEARRAY** a, double* b) override { return stub<"mDet">(a, b); }
  STDMETHOD(mSum)(SAFEARRAY** a, SAFEARRAY** b, SAFEARRAY** c) override {
    return stub<"mSum">(a, b, c);
  }
  STDMETHOD(mDiff)(SAFEARRAY** a, SAFEARRAY** b, SAFEARRAY** c) override {
    return stub<"mDiff">(a, b, c);
  }
  STDMETHOD(mMult)(SAFEARRAY** a, SAFEARRAY** b, SAFEARRAY** c) override {
    return stub<"mMult">(a, b, c);
  }
  STDMETHOD(mMultVett)(SAFEARRAY** a, SAFEARRAY** b, SAFEARRAY** c) override {
    return stub<"mMultVett">(a, b, c);
  }
  STDMETHOD(mMatrIsSing)(SAFEARRAY** a, VARIANT_BOOL* b) override {
    return stub<"mMatrIsSing">(a, b);
  }
  STDMETHOD(mDivd)(SAFEARRAY** a, SAFEARRAY** b, SAFEARRAY** c) override {
    return stub<"mDivd">(a, b, c);
  }
  STDMETHOD(mTrasp)(SAFEARRAY** a, SAFEARRAY** b) override { return stub<"mTrasp">(a, b); }
  STDMETHOD(mOpp)(SAFEARRAY** a) override { return stub<"mOpp">(a); }
  STDMETHOD(mSwapRC)(SAFEARRAY** a, BSTR* b, LONG* c, LONG* d) override {
    return stub<"mSwapRC">(a, b, c, d);
  }
  STDMETHOD(mDiag)(SAFEARRAY** a) override { return stub<"mDiag">(a); }
  STDMETHOD(mSwap)(SAFEARRAY** a, SAFEARRAY** b) override { return stub<"mSwap">(a, b); }
  STDMETHOD(mSist)(SAFEARRAY** a, SAFEARRAY** b, SAFEARRAY** c) override {
    return stub<"mSist">(a, b, c);
  }
  STDMETHOD(mMakeMatrNul)(SAFEARRAY** a, LONG* b, LONG* c) override {
    return stub<"mMakeMatrNul">(a, b, c);
  }
  STDMETHOD(mMakeVectNul)(SAFEARRAY** a, LONG* b) override { return stub<"mMakeVectNul">(a, b); }
  STDMETHOD(mMakeMatrI)(SAFEARRAY** a, LONG* b) override { return stub<"mMakeMatrI">(a, b); }
  STDMETHOD(mMakeVectI)(SAFEARRAY** a, LONG* b) override { return stub<"mMakeVectI">(a, b); }
  STDMETHOD(mPrint)
  (VARIANT* a, VARIANT* b, VARIANT* c, VARIANT* d, VARIANT* e, VARIANT* f, VARIANT* g,
   VARIANT* h) override {
    return stub<"mPrint">(a, b, c, d, e, f, g, h);
  }
  STDMETHOD(mMod)(SAFEARRAY** a, double* b) override { return stub<"mMod">(a, b); }
  STDMETHOD(mProdScal)(SAFEARRAY** a, double* b) override { return stub<"mProdScal">(a, b); }
  STDMETHOD(mTrace)(SAFEARRAY** a, double* b) override { return stub<"mTrace">(a, b); }
  STDMETHOD(mIdentical)(SAFEARRAY** a, SAFEARRAY** b, VARIANT_BOOL* c) override {
    return stub<"mIdentical">(a, b, c);
  }
  STDMETHOD(mMatrIsOrt)(SAFEARRAY** a, VARIANT_BOOL* b) override {
    return stub<"mMatrIsOrt">(a, b);
  }
  STDMETHOD(mMatrAreOrt)(SAFEARRAY** a, SAFEARRAY** b, VARIANT_BOOL* c) override {
    return stub<"mMatrAreOrt">(a, b, c);
  }
  STDMETHOD(mMatrIsUnit)(SAFEARRAY** a, VARIANT_BOOL* b) override {
    return stub<"mMatrIsUnit">(a, b);
  }
  STDMETHOD(mMatrIsZero)(SAFEARRAY** a, VARIANT_BOOL* b) override {
    return stub<"mMatrIsZero">(a, b);
  }
  STDMETHOD(mInv)(SAFEARRAY** a) override { return stub<"mInv">(a); }
  STDMETHOD(mDupl)(SAFEARRAY** a, SAFEARRAY** b) override { return stub<"mDupl">(a, b); }
  STDMETHOD(mDuplVar)(SAFEARRAY** a, VARIANT* b) override { return stub<"mDuplVar">(a, b); }
  STDMETHOD(mPolin)(SAFEARRAY** a, SAFEARRAY** b, LONG* c, VARIANT* d) override {
    return stub<"mPolin">(a, b, c, d);
  }
  STDMETHOD(mGetYPolin)(double* a, SAFEARRAY** b, double* c) override {
    return stub<"mGetYPolin">(a, b, c);
  }
  STDMETHOD(mGetXsOfQuadr)(double* a, double* b, double* c, SAFEARRAY** d, VARIANT* e) override {
    return stub<"mGetXsOfQuadr">(a, b, c, d, e);
  }
  STDMETHOD(mShowAbout)() override { return stub<"mShowAbout">(); }

 private:
  MatrObject(ComPtr<ITypeInfo> dispatch_info, ComPtr<ITypeInfo> interface_info);
  ~MatrObject();
  MatrObject(const MatrObject&) = delete;
  MatrObject& operator=(const MatrObject&) = delete;

  // Runs one call of `method`: clears the thread's error object, holds a
  // reference on the object for the length of the call, gives `body` a
  // CallFrame, hands the arguments back (also after a failure) and turns
  // whatever was thrown into the call's HRESULT and error object. No
  // exception leaves it.
  template <typename Body>
  HRESULT run(const MethodInfo& method, Body&& body) noexcept;

  // The stub of every function-table entry: the method `Name` of the method
  // table, whose arguments (the retval last) are `typed`, each a Param; the
  // table and the function table must agree.
  template <MethodName Name, typename... P>
  HRESULT stub(P... typed) noexcept {
    static_assert(params_agree<P...>(detail::kMethods[Name.place]), "the method table differs");
    VARIANT references[] = {reference(Param<P>::type, typed)..., VARIANT{}};
    return early(detail::kMethods[Name.place], references);
  }
  static VARIANT reference(VARTYPE type, void* value) noexcept {
    VARIANT v;
    V_VT(&v) = static_cast<VARTYPE>(VT_BYREF | type);
    V_BYREF(&v) = value;
    return v;
  }
  HRESULT early(const MethodInfo& method, VARIANT* references) noexcept;

  std::atomic<ULONG> references_{1};
  ComPtr<ITypeInfo> dispatch_info_;   // _Matr as a dispatch interface, for clients
  ComPtr<ITypeInfo> interface_info_;  // _Matr's function table, for Invoke
  Matr matr_;
};

}  // namespace nodrel::com

#endif  // NODREL_COM_MATR_OBJECT_HPP
