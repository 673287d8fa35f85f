// The class factory of Matr: one per process, never freed. A reference a
// client holds on it counts as a server lock, so the DLL stays loaded while
// anyone can still create objects through it.
#ifndef NODREL_COM_CLASS_FACTORY_HPP
#define NODREL_COM_CLASS_FACTORY_HPP

#include <windows.h>

namespace nodrel::com {

class MatrFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
};

MatrFactory& matr_factory() noexcept;

}  // namespace nodrel::com

#endif  // NODREL_COM_CLASS_FACTORY_HPP
