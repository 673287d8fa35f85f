// The entry points of nodrel.dll called directly, as COM calls them: the
// class factory, the counts behind DllCanUnloadNow, the object's interfaces.
#include <gtest/gtest.h>

#include <functional>

#include "com/com_support.hpp"

namespace nodrel::com::test {
namespace {

ComPtr<IClassFactory> factory() {
  ComPtr<IClassFactory> result;
  EXPECT_EQ(
      dll().get_class_object(CLSID_Matr, IID_IClassFactory, reinterpret_cast<void**>(result.put())),
      S_OK);
  return result;
}

// The object's interfaces share one identity; its type information for a
// late-bound client is one, at index 0. Refusals: the class object
// only for Matr and only as a factory, no aggregation, no other interface;
// each clears the caller's pointer and leaves no object behind (checked
// after every test).
TEST(Server, InterfacesAndRefusals) {
  ComPtr<IClassFactory> classes = factory();
  ComPtr<IUnknown> unknown, again;
  ComPtr<ISupportErrorInfo> support;
  ComPtr<IDispatch> dispatch;
  ComPtr<ITypeInfo> info;
  UINT count = 0;
  ASSERT_EQ(classes->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(unknown.put())),
            S_OK);
  ASSERT_EQ(unknown->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(support.put())),
            S_OK);
  ASSERT_EQ(support->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(again.put())), S_OK);
  EXPECT_EQ(again.get(), unknown.get());
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Matr), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
  ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put())), S_OK);
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
  const auto outer = reinterpret_cast<IUnknown*>(classes.get());
  const struct {
    std::function<HRESULT(void**)> call;
    HRESULT hr;
  } rows[] = {
      {[&](void** p) { return dll().get_class_object(IID__Matr, IID_IClassFactory, p); },
       CLASS_E_CLASSNOTAVAILABLE},
      {[&](void** p) { return dll().get_class_object(CLSID_Matr, IID__Matr, p); }, E_NOINTERFACE},
      {[&](void** p) { return classes->CreateInstance(outer, IID_IUnknown, p); },
       CLASS_E_NOAGGREGATION},
      {[&](void** p) { return classes->CreateInstance(nullptr, IID_IClassFactory, p); },
       E_NOINTERFACE},
      {[&](void** p) { return unknown->QueryInterface(IID_IClassFactory, p); }, E_NOINTERFACE},
  };
  for (const auto& row : rows) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(row.call(&object), row.hr) << &row - rows;
    EXPECT_EQ(object, nullptr) << &row - rows;
  }
  EXPECT_EQ(dll().get_class_object(CLSID_Matr, IID_IClassFactory, nullptr), E_POINTER);
}

// DllCanUnloadNow answers S_OK only with no object and no lock alive;
// objects and locks count apart.
TEST(Server, CanUnloadNowFollowsObjectsAndLocks) {
  ComPtr<IClassFactory> classes = factory();
  ComPtr<_Matr> first, second;
  ASSERT_EQ(classes->CreateInstance(nullptr, IID__Matr, reinterpret_cast<void**>(first.put())),
            S_OK);
  ASSERT_EQ(classes->CreateInstance(nullptr, IID__Matr, reinterpret_cast<void**>(second.put())),
            S_OK);
  const std::function<void()> steps[] = {
      [] {},                                                 // the factory, two objects
      [&] { classes->LockServer(TRUE); },                    // and a lock
      [&] { classes.reset(); },                              // two objects and a lock
      [&] { first.reset(); },                                // one object and a lock
      [] { factory()->LockServer(FALSE); },                  // one object
      [&] { factory()->LockServer(TRUE), second.reset(); },  // a lock
      [] { factory()->LockServer(FALSE); }};                 // nothing
  for (const auto& step : steps) {
    step();
    EXPECT_EQ(dll().can_unload_now(), &step == std::end(steps) - 1 ? S_OK : S_FALSE)
        << "after step " << &step - steps;
  }
}

}  // namespace
}  // namespace nodrel::com::test
