// A stand-in for the system information tool. It leaves a file named after
// itself, <its path>.ran, to show that it was started, and then lives on
// until that file is removed (5 seconds at most), as a tool the user still
// has open does: the About box must not wait for it.
#include <windows.h>

#include <fstream>
#include <string>

int main() {
  char path[MAX_PATH] = "";
  const std::string marker =
      std::string(path, GetModuleFileNameA(nullptr, path, MAX_PATH)) + ".ran";
  if (!std::ofstream(marker)) return 1;
  for (int k = 0; k < 500 && GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; ++k) {
    Sleep(10);
  }
}
