// The entry points of nodrel.dll called directly, as COM calls them: the
// class factory, the counts behind DllCanUnloadNow, the object's interfaces.
#include <gtest/gtest.h>

#include <functional>

#include "com/com_support.hpp"

namespace nodrel::com::test {
namespace {

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

class ServerTest : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryW(dll_path().c_str());
    ASSERT_NE(module_, nullptr);
    get_class_object_ = entry_point<GetClassObject>(module_, "DllGetClassObject");
    can_unload_now_ = entry_point<CanUnloadNow>(module_, "DllCanUnloadNow");
    ASSERT_NE(get_class_object_, nullptr);
    ASSERT_NE(can_unload_now_, nullptr);
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  ComPtr<IClassFactory> factory() {
    ComPtr<IClassFactory> result;
    EXPECT_EQ(
        get_class_object_(CLSID_Matr, IID_IClassFactory, reinterpret_cast<void**>(result.put())),
        S_OK);
    return result;
  }

  HMODULE module_ = nullptr;
  GetClassObject get_class_object_ = nullptr;
  CanUnloadNow can_unload_now_ = nullptr;
};

// Refusals: the class object only for Matr and only as a factory, no
// aggregation, no other interface; each clears the caller's pointer and
// leaves no object behind.
TEST_F(ServerTest, RefusalsClearThePointerAndLeaveNoObject) {
  ComPtr<IClassFactory> classes = factory();
  ASSERT_TRUE(classes);
  const auto outer = reinterpret_cast<IUnknown*>(classes.get());
  const std::function<HRESULT(void**)> calls[] = {
      [&](void** p) { return get_class_object_(IID__Matr, IID_IClassFactory, p); },
      [&](void** p) { return get_class_object_(CLSID_Matr, IID__Matr, p); },
      [&](void** p) { return classes->CreateInstance(outer, IID_IUnknown, p); },
      [&](void** p) { return classes->CreateInstance(nullptr, IID_IClassFactory, p); }};
  const HRESULT expected[] = {CLASS_E_CLASSNOTAVAILABLE, E_NOINTERFACE, CLASS_E_NOAGGREGATION,
                              E_NOINTERFACE};
  for (std::size_t k = 0; k < std::size(calls); ++k) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(calls[k](&object), expected[k]) << k;
    EXPECT_EQ(object, nullptr) << k;
  }
  EXPECT_EQ(get_class_object_(CLSID_Matr, IID_IClassFactory, nullptr), E_POINTER);
  classes.reset();
  EXPECT_EQ(can_unload_now_(), S_OK);
}

// DllCanUnloadNow answers S_OK only with no object and no lock alive.
TEST_F(ServerTest, CanUnloadNowFollowsObjectsAndLocks) {
  ComPtr<IClassFactory> classes = factory();
  ASSERT_TRUE(classes);
  EXPECT_EQ(can_unload_now_(), S_FALSE) << "a client holds the factory";

  ComPtr<_Matr> first;
  ComPtr<_Matr> second;
  ASSERT_EQ(classes->CreateInstance(nullptr, IID__Matr, reinterpret_cast<void**>(first.put())),
            S_OK);
  ASSERT_EQ(classes->CreateInstance(nullptr, IID__Matr, reinterpret_cast<void**>(second.put())),
            S_OK);
  EXPECT_EQ(classes->LockServer(TRUE), S_OK);
  classes.reset();
  EXPECT_EQ(can_unload_now_(), S_FALSE) << "two objects and a lock";
  first.reset();
  EXPECT_EQ(can_unload_now_(), S_FALSE) << "one object and a lock";

  // Objects and locks count apart: the lock goes while an object lives, then
  // a lock stays after the last object.
  const auto lock = [&](BOOL on) {
    ComPtr<IClassFactory> f = factory();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->LockServer(on), S_OK);
  };
  lock(FALSE);
  EXPECT_EQ(can_unload_now_(), S_FALSE) << "one object";
  lock(TRUE);
  second.reset();
  EXPECT_EQ(can_unload_now_(), S_FALSE) << "a lock";
  lock(FALSE);
  EXPECT_EQ(can_unload_now_(), S_OK);
}

TEST_F(ServerTest, ObjectInterfacesShareOneIdentity) {
  ComPtr<IClassFactory> classes = factory();
  ASSERT_TRUE(classes);
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(classes->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(unknown.put())),
            S_OK);
  classes.reset();

  ComPtr<IDispatch> dispatch;
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put())), S_OK);
  ASSERT_EQ(unknown->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(support.put())),
            S_OK);
  ComPtr<IUnknown> again;
  ASSERT_EQ(support->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(again.put())), S_OK);
  EXPECT_EQ(again.get(), unknown.get());

  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Matr), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);

  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);

  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
}

}  // namespace
}  // namespace nodrel::com::test
