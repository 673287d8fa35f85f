// A careless client in a loop: IDispatch::Invoke on one Matr from
// nodrel.dll, loaded as any in-process client loads it; every method but
// mPrint and mShowAbout (a window, the clipboard or a file), with arguments
// picked at random (one fixed seed) among numbers, texts, nothing, and
// arrays of doubles or of variants (a text among them) of lower bound 0 or
// 1, each passed by value, as a script's reference or as a typed reference.
// What the method writes replaces or fills the caller's arrays, and what
// fails fails halfway: the paths where the server frees, copies and hands
// over. It fails (exit 1) when the ownership of what crosses is broken:
//   - a by-value argument changed (compared bit for bit afterwards), or freed
//     by the server: its owner frees it again, and run with
//     WINEDEBUG=warn+heap (as CTest runs it) Wine reports the block freed
//     twice, which fails the test, as does a crash;
//   - anything handed back that the server also frees (the same report);
//   - a copy the server never frees: private memory that grows when the
//     same calls are made a third time after a second (what the first round
//     took stays with the heap);
//   - an object whose last Release does not return 0, or DllCanUnloadNow not
//     S_OK at the end.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "nodrel/dispatch.hpp"
#include "nodrel_h.h"

namespace {

constexpr int kCalls = 4000;  // a round; a leak of a byte a call shows beyond the heap's noise

// A random value of the caller's, into `v`.
void make_value(std::minstd_rand& random, VARIANT& v) {
  VariantInit(&v);
  const unsigned kind = random() % 6;
  if (kind == 0) {
    V_VT(&v) = VT_R8, V_R8(&v) = 2.0;
  } else if (kind == 1) {
    V_VT(&v) = VT_BSTR, V_BSTR(&v) = SysAllocString(random() % 2 == 0 ? L"2" : L"R");
  } else if (kind > 2) {
    const VARTYPE type = kind == 3 ? VT_R8 : VT_VARIANT;
    const LONG lower = static_cast<LONG>(random() % 2);
    SAFEARRAYBOUND bounds[2] = {{2, lower}, {2, lower}};
    SAFEARRAY* array = SafeArrayCreate(type, 1 + random() % 2, bounds);
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    for (ULONG k = 0; k < (array->cDims == 2 ? 4u : 2u); ++k) {
      if (type == VT_R8) {
        static_cast<double*>(data)[k] = k + 1.0;
      } else if (VARIANT* element = static_cast<VARIANT*>(data) + k; k == 3) {
        V_VT(element) = VT_BSTR, V_BSTR(element) = SysAllocString(L"4");
      } else {
        V_VT(element) = VT_R8, V_R8(element) = k + 1.0;
      }
    }
    SafeArrayUnaccessData(array);
    V_VT(&v) = VT_ARRAY | type, V_ARRAY(&v) = array;
  }
}

// What broke the rule: by-value arguments that came back changed, and
// values of the caller's that it could not free, as happens to an array the
// server freed already (Wine's heap checking fills a freed block, whose lock
// count then reads as non-zero).
int changed = 0, not_freed = 0;

void free_value(VARIANT& v) { not_freed += FAILED(VariantClear(&v)) ? 1 : 0; }

// One round of calls, the same each time.
void round(IDispatch* matr) {
  std::minstd_rand random(1);
  for (int call = 0; call < kCalls; ++call) {
    const nodrel::MethodInfo& method = nodrel::methods()[random() % nodrel::methods().size()];
    if (method.name == "mPrint" || method.name == "mShowAbout") continue;
    const std::size_t count = method.args.size();
    std::vector<VARIANT> variables(count), arguments(count), by_value(count);
    for (std::size_t k = 0; k < count; ++k) {
      VARIANT& a = arguments[count - 1 - k];  // Invoke takes them last first
      make_value(random, variables[k]);
      const unsigned way = random() % 3;
      if (way == 0) {  // by value: the argument is the caller's value
        a = by_value[k] = variables[k];
        VariantInit(&variables[k]);
      } else if (way == 1 || V_VT(&variables[k]) == VT_EMPTY) {
        V_VT(&a) = VT_BYREF | VT_VARIANT, V_VARIANTREF(&a) = &variables[k];
      } else {
        V_VT(&a) = VT_BYREF | V_VT(&variables[k]), V_BYREF(&a) = &V_R8(&variables[k]);
      }
    }
    DISPPARAMS params{arguments.data(), nullptr, static_cast<UINT>(count), 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT bad_argument = 0;
    matr->Invoke(method.dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                 &exception, &bad_argument);
    for (std::size_t k = 0; k < count; ++k) {
      VARIANT& a = arguments[count - 1 - k];
      if ((V_VT(&a) & VT_BYREF) != 0) continue;
      changed += std::memcmp(&a, &by_value[k], sizeof a) != 0 ? 1 : 0;
      free_value(a);
    }
    for (VARIANT& v : variables) free_value(v);
    free_value(result);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
  }
}

// The committed private memory of the process (Wine has no PrivateUsage).
SIZE_T private_bytes() {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION info;
  for (const char* p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;
       p = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
  }
  return total;
}

}  // namespace

int main() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  HMODULE dll = LoadLibraryW(L"nodrel.dll");
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  const auto get_class_object = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  const auto can_unload_now =
      reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  IClassFactory* factory = nullptr;
  IDispatch* matr = nullptr;
  if (get_class_object == nullptr ||
      FAILED(get_class_object(CLSID_Matr, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
      FAILED(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&matr)))) {
    return 2;
  }
  factory->Release();
  SIZE_T after[3] = {};
  for (SIZE_T& bytes : after) round(matr), bytes = private_bytes();
  const bool grew = after[2] > after[1] + kCalls / 2 + 65536;
  const ULONG left = matr->Release();
  const HRESULT unload = can_unload_now();
  std::printf("%d by-value arguments changed, %d values not freed, private bytes %zu, %zu, %zu, "
              "references left %lu, DllCanUnloadNow 0x%lx\n",
              changed, not_freed, after[0], after[1], after[2], left, unload);
  CoUninitialize();
  return changed == 0 && not_freed == 0 && !grew && left == 0 && unload == S_OK ? 0 : 1;
}
