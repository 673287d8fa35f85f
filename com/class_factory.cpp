#include "com/class_factory.hpp"

#include "com/matr_object.hpp"
#include "com/module.hpp"

namespace nodrel::com {

HRESULT STDMETHODCALLTYPE MatrFactory::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// The factory lives as long as the process; its count is the server's.
ULONG STDMETHODCALLTYPE MatrFactory::AddRef() {
  lock_server();
  return 2;
}

ULONG STDMETHODCALLTYPE MatrFactory::Release() {
  unlock_server();
  return 1;
}

HRESULT STDMETHODCALLTYPE MatrFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  return MatrObject::create(riid, object);
}

HRESULT STDMETHODCALLTYPE MatrFactory::LockServer(BOOL lock) {
  if (lock) {
    lock_server();
  } else {
    unlock_server();
  }
  return S_OK;
}

MatrFactory& matr_factory() noexcept {
  static MatrFactory factory;
  return factory;
}

}  // namespace nodrel::com
