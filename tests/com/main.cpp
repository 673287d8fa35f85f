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
  void OnTestEnd(const testing::TestInfo&) override {
    const auto can_unload_now = nodrel::com::test::dll().can_unload_now;
    ASSERT_NE(can_unload_now, nullptr) << "nodrel.dll or its DllCanUnloadNow not found";
    EXPECT_EQ(can_unload_now(), S_OK) << "an object or a server lock outlived the test";
  }
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
