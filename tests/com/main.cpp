// The COM tests run in a single-threaded apartment, as automation clients
// (and the server's ThreadingModel "Apartment") expect.
//
// After every test the server must have no object alive and no lock left:
// DllCanUnloadNow of the very DLL the tests create their objects from must
// answer S_OK, or the test that ran last leaked (the fixtures are destroyed
// by then, so whatever the test held is released).
#include <gtest/gtest.h>
#include <windows.h>

#include "com/com_support.hpp"

namespace {

class UnloadCheck : public testing::EmptyTestEventListener {
 public:
  void OnTestProgramStart(const testing::UnitTest&) override {
    module_ = LoadLibraryW(nodrel::com::test::dll_path().c_str());
    if (module_ == nullptr) return;
    can_unload_now_ =
        nodrel::com::test::entry_point<nodrel::com::test::CanUnloadNow>(module_, "DllCanUnloadNow");
  }
  void OnTestEnd(const testing::TestInfo&) override {
    ASSERT_NE(can_unload_now_, nullptr) << "nodrel.dll or its DllCanUnloadNow not found";
    EXPECT_EQ(can_unload_now_(), S_OK) << "an object or a server lock outlived the test";
  }
  void OnTestProgramEnd(const testing::UnitTest&) override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

 private:
  HMODULE module_ = nullptr;
  nodrel::com::test::CanUnloadNow can_unload_now_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  testing::UnitTest::GetInstance()->listeners().Append(new UnloadCheck);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
