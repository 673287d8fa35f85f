// The COM tests run in a single-threaded apartment, as automation clients
// (and the server's ThreadingModel "Apartment") expect.
#include <gtest/gtest.h>
#include <windows.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
