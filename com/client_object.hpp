// Automation objects a client passes in a variant: mPrint's print
// destinations.
//
// A late-bound client hands its form, picture box, text box, label or
// printer over as an IDispatch. The object's kind is the name of its type
// information (IDispatch::GetTypeInfo, then the name of the type itself):
// "Form", "PictureBox", "TextBox", "Label" or "Printer", compared without
// regard to case as automation names are. Such an object reaches the core
// as the matching class of <nodrel/platform.hpp>, whose members call the
// client's members of the same name through IDispatch::Invoke. Any other
// object, or one that tells no type name, is a plain Object of no kind.
#ifndef NODREL_COM_CLIENT_OBJECT_HPP
#define NODREL_COM_CLIENT_OBJECT_HPP

#include <windows.h>

#include <memory>

#include "nodrel/variant.hpp"
#include "com/com_ptr.hpp"

namespace nodrel::com {

// The client's object behind every Object made here, held with a reference
// of its own, so that a variant written back hands the same object out again.
class ClientReference {
 public:
  explicit ClientReference(ComPtr<IUnknown> object) : object_(std::move(object)) {}
  virtual ~ClientReference() = default;
  IUnknown* get() const noexcept { return object_.get(); }
  // The object's IDispatch, or null when it has none.
  ComPtr<IDispatch> dispatch() const noexcept;

 private:
  ComPtr<IUnknown> object_;
};

// `object` (not null) as the core sees it: an adapter of its kind, or a
// plain Object. Run-time error 7 when memory runs out.
std::shared_ptr<Object> make_client_object(IUnknown* object);

// The run-time error of a member call on a client object that returned
// `failure`, with `exception` as its Invoke filled it in (its texts are
// freed here). This is the one place where a client's error becomes ours:
//   - an scode of FACILITY_CONTROL (0x800A0000 + n) or a wCode is number n;
//   - DISP_E_MEMBERNOTFOUND and DISP_E_UNKNOWNNAME are 438, the member is
//     missing; DISP_E_TYPEMISMATCH 13; DISP_E_BADPARAMCOUNT 450;
//     E_OUTOFMEMORY 7;
//   - anything else is 440, "Automation error".
// The client's description is kept; without one the number's own is used.
[[noreturn]] void raise_client_failure(HRESULT failure, EXCEPINFO& exception);

}  // namespace nodrel::com

#endif  // NODREL_COM_CLIENT_OBJECT_HPP
