// Leaks one block on purpose: LeakSanitizer must report it (see
// CMakeLists.txt), which shows that the sanitizer build checks for leaks.
//
// The block is made on a thread that has ended by the time the leak check
// runs: no stale copy of its address can stay behind on a stack that the
// check scans, which would make the block look reachable.
#include <cstdio>
#include <thread>

int main() {
  std::thread([] {
    int* volatile block = new int[16];
    block[0] = 1;
    block = nullptr;
  }).join();
  std::puts("one block leaked");
  return 0;
}
