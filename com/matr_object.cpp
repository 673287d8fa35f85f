#include "com/matr_object.hpp"

#include <oleauto.h>

#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "com/call_frame.hpp"
#include "com/com_error.hpp"
#include "com/module.hpp"
#include "com/script_arguments.hpp"
#include "com/text.hpp"

namespace nodrel::com {

namespace {

VARIANT_BOOL flag(bool value) noexcept { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// How argument `index` of `method` crosses the boundary, from the method
// table that the type library is checked against.
const ArgumentInfo& argument(std::string_view method, std::size_t index) {
  const MethodInfo* info = find_method(method);
  if (info == nullptr || index >= info->args.size()) raise(ErrorNumber::kObjectDoesntSupport);
  return info->args[index];
}

// The separators of the user's regional settings: automation clients read
// and write numbers in the user's locale, not in the C runtime's.
Locale user_locale() {
  const auto read = [](LCTYPE type) {
    wchar_t buffer[16] = {};
    const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 16);
    return length > 1 ? to_narrow(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)))
                      : std::string();
  };
  Locale locale = Locale::c();
  if (std::string decimal = read(LOCALE_SDECIMAL); !decimal.empty()) locale.decimal = decimal;
  locale.thousands = read(LOCALE_STHOUSAND);
  locale.currency = read(LOCALE_SCURRENCY);
  return locale;
}

// The type information of _Matr: as a dispatch interface and as the
// function table behind it. ITypeInfo::Invoke must be given the latter: on
// the dispatch description it would call IDispatch::Invoke, which is us.
HRESULT load_type_info(ComPtr<ITypeInfo>& dispatch_info, ComPtr<ITypeInfo>& interface_info) {
  ComPtr<ITypeLib> library;
  HRESULT hr = load_type_library(library.put());
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(IID__Matr, dispatch_info.put());
  if (FAILED(hr)) return hr;
  HREFTYPE table = 0;
  hr = dispatch_info->GetRefTypeOfImplType(static_cast<UINT>(-1), &table);
  if (FAILED(hr)) return hr;
  return dispatch_info->GetRefTypeInfo(table, interface_info.put());
}

// Fills in what ITypeInfo::Invoke left out of the EXCEPINFO of a method that
// failed with `failure`: the platform's implementations differ in how much
// of the error object they copy.
void complete_exception(EXCEPINFO& exception, HRESULT failure) {
  if (exception.wCode == 0 && exception.scode == 0) exception.scode = failure;
  ComPtr<IErrorInfo> info;
  const bool has_info = GetErrorInfo(0, info.put()) == S_OK && info;
  if (exception.bstrSource == nullptr) {
    if (has_info) info->GetSource(&exception.bstrSource);
    if (exception.bstrSource == nullptr) exception.bstrSource = SysAllocString(kErrorSource);
  }
  if (exception.bstrDescription == nullptr && has_info) {
    info->GetDescription(&exception.bstrDescription);
  }
}

void append_note(EXCEPINFO& exception, const std::string& note) noexcept {
  try {
    const BSTR own = exception.bstrDescription;
    const std::wstring text =
        std::wstring(own != nullptr ? own : L"", SysStringLen(own)) + to_wide(note);
    if (BSTR extended = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
      SysFreeString(exception.bstrDescription);
      exception.bstrDescription = extended;
    }
  } catch (...) {
    // No memory for the longer text: the method's own description stays.
  }
}

}  // namespace

HRESULT MatrObject::create(REFIID riid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ComPtr<ITypeInfo> dispatch_info;
  ComPtr<ITypeInfo> interface_info;
  const HRESULT loaded = load_type_info(dispatch_info, interface_info);
  if (FAILED(loaded)) return loaded;
  MatrObject* created = nullptr;
  try {
    created = new MatrObject(std::move(dispatch_info), std::move(interface_info));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = created->QueryInterface(riid, object);
  created->Release();  // the creation reference; the caller's is the one left
  return hr;
}

MatrObject::MatrObject(ComPtr<ITypeInfo> dispatch_info, ComPtr<ITypeInfo> interface_info)
    : dispatch_info_(std::move(dispatch_info)), interface_info_(std::move(interface_info)) {
  matr_.set_locale(user_locale());
  object_created();
}

MatrObject::~MatrObject() { object_destroyed(); }

HRESULT STDMETHODCALLTYPE MatrObject::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID__Matr)) {
    *object = static_cast<_Matr*>(this);
  } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE MatrObject::AddRef() { return ++references_; }

ULONG STDMETHODCALLTYPE MatrObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE MatrObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MatrObject::GetTypeInfo(UINT index, LCID /*lcid*/, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  *info = ComPtr<ITypeInfo>(dispatch_info_).detach();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MatrObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                                    LCID /*lcid*/, DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return DispGetIDsOfNames(interface_info_.get(), names, count, ids);
}

HRESULT STDMETHODCALLTYPE MatrObject::Invoke(DISPID id, REFIID riid, LCID /*lcid*/, WORD flags,
                                             DISPPARAMS* params, VARIANT* result,
                                             EXCEPINFO* exception, UINT* bad_argument) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  SetErrorInfo(0, nullptr);
  last_failure_ = S_OK;
  ScriptArguments script;
  HRESULT hr = S_OK;
  std::string note;
  try {
    DISPPARAMS* typed = nullptr;
    hr = script.convert(interface_info_.get(), id, params, typed, bad_argument);
    if (SUCCEEDED(hr)) {
      hr = interface_info_->Invoke(static_cast<_Matr*>(this), id, flags, typed, result, exception,
                                   bad_argument);
    }
    // Also after a failure: what the method wrote before its error is the
    // caller's, as it is for a typed caller.
    try {
      script.write_back();
    } catch (...) {
      if (SUCCEEDED(hr)) throw;
      note = write_back_note();
    }
  } catch (...) {
    hr = fail_with_current_exception();
  }
  if (is_runtime_error(hr) && exception != nullptr) {
    // Handed through unchanged: a late-bound caller expects the error in
    // EXCEPINFO, flagged by DISP_E_EXCEPTION.
    complete_exception(*exception, hr);
    hr = DISP_E_EXCEPTION;
  } else if (hr == DISP_E_EXCEPTION && exception != nullptr && FAILED(last_failure_)) {
    complete_exception(*exception, last_failure_);
  }
  if (!note.empty() && hr == DISP_E_EXCEPTION && exception != nullptr) {
    append_note(*exception, note);
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE MatrObject::InterfaceSupportsErrorInfo(REFIID riid) {
  return IsEqualIID(riid, IID__Matr) ? S_OK : S_FALSE;
}

template <typename Body>
HRESULT MatrObject::run(Body&& body) noexcept {
  SetErrorInfo(0, nullptr);  // a stale description must never describe this call
  AddRef();
  HRESULT result = S_OK;
  std::string note;
  try {
    CallFrame frame;
    std::exception_ptr failure;
    try {
      body(frame);
    } catch (...) {
      failure = std::current_exception();
    }
    if (failure) {
      // What the method wrote before it failed reaches the caller; the error
      // reported is the method's own, noting whatever write-back runs into.
      try {
        frame.write_back();
      } catch (...) {
        note = write_back_note();
      }
      std::rethrow_exception(failure);
    }
    frame.write_back();
  } catch (...) {
    result = fail_with_current_exception(note);
    last_failure_ = result;
  }
  Release();
  return result;
}

HRESULT STDMETHODCALLTYPE MatrObject::Initialize_dMatr() {
  return run([&](CallFrame&) { matr_.Initialize_dMatr(); });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMatrIsVect(SAFEARRAY** mtrA, VARIANT_BOOL* result) {
  return run([&](CallFrame& f) {
    VARIANT_BOOL& answer = f.result(result);
    answer = flag(matr_.mMatrIsVect(f.array(mtrA)));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMatrIsQuadr(SAFEARRAY** mtrDest, VARIANT_BOOL* result) {
  return run([&](CallFrame& f) {
    VARIANT_BOOL& answer = f.result(result);
    answer = flag(matr_.mMatrIsQuadr(f.array(mtrDest)));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mDet(SAFEARRAY** mtrA, double* result) {
  return run([&](CallFrame& f) {
    double& answer = f.result(result);
    answer = matr_.mDet(f.array(mtrA));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mSum(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc1,
                                           SAFEARRAY** mtrSrc2) {
  return run([&](CallFrame& f) {
    DoubleArray& dest = f.array(mtrDest);
    DoubleArray& src1 = f.array(mtrSrc1);
    DoubleArray& src2 = f.array(mtrSrc2);
    matr_.mSum(dest, src1, src2);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mDiff(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc1,
                                            SAFEARRAY** mtrSrc2) {
  return run([&](CallFrame& f) {
    DoubleArray& dest = f.array(mtrDest);
    DoubleArray& src1 = f.array(mtrSrc1);
    DoubleArray& src2 = f.array(mtrSrc2);
    matr_.mDiff(dest, src1, src2);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMult(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc1,
                                            SAFEARRAY** mtrSrc2) {
  return run([&](CallFrame& f) {
    DoubleArray& dest = f.array(mtrDest);
    DoubleArray& src1 = f.array(mtrSrc1);
    DoubleArray& src2 = f.array(mtrSrc2);
    matr_.mMult(dest, src1, src2);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMultVett(SAFEARRAY** vetDest, SAFEARRAY** mtrSrc,
                                                SAFEARRAY** vetSrc) {
  return run([&](CallFrame& f) {
    DoubleArray& dest = f.array(vetDest);
    DoubleArray& matrix = f.array(mtrSrc);
    DoubleArray& vector = f.array(vetSrc);
    matr_.mMultVett(dest, matrix, vector);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMatrIsSing(SAFEARRAY** mtrA, VARIANT_BOOL* result) {
  return run([&](CallFrame& f) {
    VARIANT_BOOL& answer = f.result(result);
    answer = flag(matr_.mMatrIsSing(f.array(mtrA)));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mDivd(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc1,
                                            SAFEARRAY** mtrSrc2) {
  return run([&](CallFrame& f) {
    DoubleArray& dest = f.array(mtrDest);
    DoubleArray& src1 = f.array(mtrSrc1);
    DoubleArray& src2 = f.array(mtrSrc2);
    matr_.mDivd(dest, src1, src2);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mTrasp(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc) {
  return run([&](CallFrame& f) {
    DoubleArray& dest = f.array(mtrDest);
    DoubleArray& src = f.array(mtrSrc);
    matr_.mTrasp(dest, src);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mOpp(SAFEARRAY** mtrDest) {
  return run([&](CallFrame& f) { matr_.mOpp(f.array(mtrDest)); });
}

HRESULT STDMETHODCALLTYPE MatrObject::mSwapRC(SAFEARRAY** mtrA, BSTR* rc, LONG* RC1, LONG* RC2) {
  return run([&](CallFrame& f) {
    DoubleArray& matrix = f.array(mtrA);
    const std::string selector = bstr_to_narrow(f.scalar(rc));
    const LONG first = f.scalar(RC1);
    const LONG second = f.scalar(RC2);
    matr_.mSwapRC(matrix, selector, first, second);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mDiag(SAFEARRAY** mtrA) {
  return run([&](CallFrame& f) { matr_.mDiag(f.array(mtrA)); });
}

HRESULT STDMETHODCALLTYPE MatrObject::mSwap(SAFEARRAY** mtrA, SAFEARRAY** mtrB) {
  return run([&](CallFrame& f) {
    DoubleArray& a = f.array(mtrA);
    DoubleArray& b = f.array(mtrB);
    matr_.mSwap(a, b);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mSist(SAFEARRAY** vetX, SAFEARRAY** mtrA, SAFEARRAY** vetB) {
  return run([&](CallFrame& f) {
    DoubleArray& x = f.array(vetX);
    DoubleArray& a = f.array(mtrA);
    DoubleArray& b = f.array(vetB);
    matr_.mSist(x, a, b);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMakeMatrNul(SAFEARRAY** mtrA, LONG* ordr, LONG* ordc) {
  return run([&](CallFrame& f) {
    DoubleArray& matrix = f.array(mtrA);
    const LONG rows = f.scalar(ordr);
    const LONG columns = f.scalar(ordc);
    matr_.mMakeMatrNul(matrix, rows, columns);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMakeVectNul(SAFEARRAY** vetA, LONG* ordr) {
  return run([&](CallFrame& f) {
    DoubleArray& vector = f.array(vetA);
    matr_.mMakeVectNul(vector, f.scalar(ordr));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMakeMatrI(SAFEARRAY** mtrA, LONG* ordr) {
  return run([&](CallFrame& f) {
    DoubleArray& matrix = f.array(mtrA);
    matr_.mMakeMatrI(matrix, f.scalar(ordr));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMakeVectI(SAFEARRAY** vetA, LONG* ordr) {
  return run([&](CallFrame& f) {
    DoubleArray& vector = f.array(vetA);
    matr_.mMakeVectI(vector, f.scalar(ordr));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mPrint(VARIANT* ToPrint, VARIANT* obj, VARIANT* Perif,
                                             VARIANT* frmt, VARIANT* Comment, VARIANT* RowCol,
                                             VARIANT* Append, VARIANT* Modal) {
  return run([&](CallFrame& f) {
    VARIANT* const refs[] = {ToPrint, obj, Perif, frmt, Comment, RowCol, Append, Modal};
    Variant* values[8] = {};
    for (std::size_t i = 0; i < 8; ++i) values[i] = &f.variant(refs[i], argument("mPrint", i));
    matr_.mPrint(*values[0], *values[1], *values[2], *values[3], *values[4], *values[5], *values[6],
                 *values[7]);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMod(SAFEARRAY** mtrA, double* result) {
  return run([&](CallFrame& f) {
    double& answer = f.result(result);
    answer = matr_.mMod(f.array(mtrA));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mProdScal(SAFEARRAY** mtrA, double* Nmr) {
  return run([&](CallFrame& f) {
    DoubleArray& matrix = f.array(mtrA);
    matr_.mProdScal(matrix, f.scalar(Nmr));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mTrace(SAFEARRAY** mtrA, double* result) {
  return run([&](CallFrame& f) {
    double& answer = f.result(result);
    answer = matr_.mTrace(f.array(mtrA));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mIdentical(SAFEARRAY** mtrA, SAFEARRAY** mtrB,
                                                 VARIANT_BOOL* result) {
  return run([&](CallFrame& f) {
    VARIANT_BOOL& answer = f.result(result);
    DoubleArray& a = f.array(mtrA);
    DoubleArray& b = f.array(mtrB);
    answer = flag(matr_.mIdentical(a, b));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMatrIsOrt(SAFEARRAY** mtrA, VARIANT_BOOL* result) {
  return run([&](CallFrame& f) {
    VARIANT_BOOL& answer = f.result(result);
    answer = flag(matr_.mMatrIsOrt(f.array(mtrA)));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMatrAreOrt(SAFEARRAY** mtrA, SAFEARRAY** mtrB,
                                                  VARIANT_BOOL* result) {
  return run([&](CallFrame& f) {
    VARIANT_BOOL& answer = f.result(result);
    DoubleArray& a = f.array(mtrA);
    DoubleArray& b = f.array(mtrB);
    answer = flag(matr_.mMatrAreOrt(a, b));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMatrIsUnit(SAFEARRAY** mtrA, VARIANT_BOOL* result) {
  return run([&](CallFrame& f) {
    VARIANT_BOOL& answer = f.result(result);
    answer = flag(matr_.mMatrIsUnit(f.array(mtrA)));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mMatrIsZero(SAFEARRAY** mtrA, VARIANT_BOOL* result) {
  return run([&](CallFrame& f) {
    VARIANT_BOOL& answer = f.result(result);
    answer = flag(matr_.mMatrIsZero(f.array(mtrA)));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mInv(SAFEARRAY** mtrDest) {
  return run([&](CallFrame& f) { matr_.mInv(f.array(mtrDest)); });
}

HRESULT STDMETHODCALLTYPE MatrObject::mDupl(SAFEARRAY** mtrDest, SAFEARRAY** mtrSrc) {
  return run([&](CallFrame& f) {
    DoubleArray& dest = f.array(mtrDest);
    DoubleArray& src = f.array(mtrSrc);
    matr_.mDupl(dest, src);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mDuplVar(SAFEARRAY** mtrDest, VARIANT* VarArray) {
  return run([&](CallFrame& f) {
    DoubleArray& dest = f.array(mtrDest);
    const Variant& source = f.variant(VarArray, argument("mDuplVar", 1));
    matr_.mDuplVar(dest, source);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mPolin(SAFEARRAY** vetCoeff, SAFEARRAY** mtrPts, LONG* Rank,
                                             VARIANT* NoPoints) {
  return run([&](CallFrame& f) {
    DoubleArray& coefficients = f.array(vetCoeff);
    DoubleArray& points = f.array(mtrPts);
    const LONG rank = f.scalar(Rank);
    Variant& count = f.variant(NoPoints, argument("mPolin", 3));
    matr_.mPolin(coefficients, points, rank, count);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mGetYPolin(double* x, SAFEARRAY** Coeff, double* result) {
  return run([&](CallFrame& f) {
    double& answer = f.result(result);
    const double at = f.scalar(x);
    answer = matr_.mGetYPolin(at, f.array(Coeff));
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mGetXsOfQuadr(double* x1, double* x2, double* y,
                                                    SAFEARRAY** Coeff, VARIANT* MaxF) {
  return run([&](CallFrame& f) {
    // x1 and x2 are written in place: the caller's own variables.
    double& first = f.scalar(x1);
    double& second = f.scalar(x2);
    const double level = f.scalar(y);
    DoubleArray& coefficients = f.array(Coeff);
    Variant& max_f = f.variant(MaxF, argument("mGetXsOfQuadr", 4));
    matr_.mGetXsOfQuadr(first, second, level, coefficients, max_f);
  });
}

HRESULT STDMETHODCALLTYPE MatrObject::mShowAbout() {
  return run([&](CallFrame&) { matr_.mShowAbout(); });
}

}  // namespace nodrel::com
