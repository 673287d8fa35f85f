#include "com/module.hpp"

#include <oleauto.h>

#include <atomic>
#include <new>

namespace nodrel::com {

namespace {

HMODULE the_module = nullptr;
std::atomic<long> live_objects{0};
std::atomic<long> server_locks{0};

}  // namespace

void set_module_handle(HMODULE module) noexcept { the_module = module; }
HMODULE module_handle() noexcept { return the_module; }

std::wstring module_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = GetModuleFileNameW(the_module, path.data(), size);
    if (length == 0) return {};
    if (length < size) {
      path.resize(length);
      return path;
    }
    // Truncated: the path is longer than MAX_PATH.
    path.resize(path.size() * 2);
  }
}

void object_created() noexcept { ++live_objects; }
void object_destroyed() noexcept { --live_objects; }
void lock_server() noexcept { ++server_locks; }
void unlock_server() noexcept { --server_locks; }
bool module_in_use() noexcept { return live_objects.load() != 0 || server_locks.load() != 0; }

HRESULT load_type_library(ITypeLib** library) noexcept {
  if (library == nullptr) return E_POINTER;
  *library = nullptr;
  try {
    const std::wstring path = module_path();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace nodrel::com
