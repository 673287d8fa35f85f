// A careless client, at random: seeded IDispatch::Invoke calls on one Matr
// from nodrel.dll, loaded as any in-process client loads it. Random methods
// (now and then an identifier of none), argument counts, values by value,
// as a script's references or as typed references: numbers, texts, nulls,
// errors, arrays of doubles, variants, longs, texts and singles of random
// bounds and dimensions, fixed or not. Never mPrint or mShowAbout (a
// message box, a dialog, the clipboard or a file).
//
//   nodrel_com_stress [CALLS [SEEDS [FIRST_SEED]]]   (or NODREL_STRESS_CALLS, ..._SEEDS)
//
// Fails (exit 1) on an HRESULT outside the automation set, a run-time error
// not in EXCEPINFO, a by-value argument the server changed, an object whose
// last Release does not return 0, DllCanUnloadNow not S_OK at the end, or
// private memory that grows when a seed's calls are made a third time after
// a second (a leak grows again; what the largest arrays took stays with the
// heap). A crash fails it too, and run with WINEDEBUG=warn+heap (as CTest
// runs it) any heap warning does.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "nodrel/dispatch.hpp"
#include "nodrel_h.h"

namespace {

using Random = std::mt19937_64;

int failures = 0;
long succeeded = 0, raised = 0, refused = 0;  // S_OK, a run-time error, a dispatcher's refusal
void fail(const char* what, unsigned long long seed, int call, long value) {
  if (++failures <= 20) std::printf("seed %llu, call %d: %s (0x%08lX)\n", seed, call, what, value);
}

template <typename T>
T pick(Random& random, std::initializer_list<T> values) {
  return values.begin()[std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(random)];
}
int below(Random& random, int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }

double number(Random& random) {
  return pick(random, {0.0, 1.0, 2.0, 3.0, -1.0, 0.5, 2.5, 4.0, 1e-13, 1e308, -1e308, 2147483648.0,
                       -2147483649.0, 1e300 * 1e300, std::nan("")});
}
const wchar_t* text(Random& random) {
  return pick(random, {L"1", L"2", L"R", L"c", L"C", L"&HFF", L"1e1", L" 2 ", L"abc", L"", L"3.5",
                       L"-1"});
}

// A random array of `type`, or null (a variable never dimensioned).
SAFEARRAY* array(Random& random, VARTYPE type) {
  if (below(random, 8) == 0) return nullptr;
  SAFEARRAYBOUND bounds[3];
  const UINT dims = 1 + below(random, below(random, 6) == 0 ? 3 : 2);
  for (UINT d = 0; d < dims; ++d) {
    bounds[d].lLbound = below(random, 4) == 0 ? below(random, 5) - 2 : below(random, 2);
    bounds[d].cElements = static_cast<ULONG>(below(random, 6));
  }
  SAFEARRAY* a = SafeArrayCreate(type, dims, bounds);
  if (a == nullptr) return nullptr;
  void* data = nullptr;
  SafeArrayAccessData(a, &data);
  for (ULONG k = 0, n = a->rgsabound[0].cElements * (dims > 1 ? a->rgsabound[1].cElements : 1) *
                        (dims > 2 ? a->rgsabound[2].cElements : 1);
       k < n; ++k) {
    const double x = number(random);
    switch (type) {
      case VT_R8: static_cast<double*>(data)[k] = x; break;
      case VT_R4: static_cast<float*>(data)[k] = static_cast<float>(x); break;
      case VT_I4: static_cast<LONG*>(data)[k] = below(random, 7) - 2; break;
      case VT_BSTR: static_cast<BSTR*>(data)[k] = SysAllocString(text(random)); break;
      default: {
        VARIANT& v = static_cast<VARIANT*>(data)[k];
        V_VT(&v) = below(random, 6) == 0 ? VT_BSTR : VT_R8;
        if (V_VT(&v) == VT_BSTR) V_BSTR(&v) = SysAllocString(text(random));
        else V_R8(&v) = x;
      }
    }
  }
  SafeArrayUnaccessData(a);
  if (below(random, 8) == 0) a->fFeatures |= FADF_FIXEDSIZE;
  return a;
}

// A random value; arrays mostly of doubles or variants.
void value(Random& random, VARIANT& v) {
  VariantInit(&v);
  switch (below(random, 10)) {
    case 0: break;  // Empty
    case 1: V_VT(&v) = pick(random, {VT_NULL, VT_ERROR}), V_ERROR(&v) = DISP_E_PARAMNOTFOUND; break;
    case 2: V_VT(&v) = VT_I4, V_I4(&v) = below(random, 7) - 1; break;
    case 3: V_VT(&v) = VT_R8, V_R8(&v) = number(random); break;
    case 4: V_VT(&v) = VT_BSTR, V_BSTR(&v) = SysAllocString(text(random)); break;
    case 5: V_VT(&v) = VT_BOOL, V_BOOL(&v) = VARIANT_TRUE; break;
    default: {
      const VARTYPE type = pick(random, {VT_R8, VT_R8, VT_VARIANT, VT_VARIANT, VT_I4, VT_BSTR, VT_R4});
      V_VT(&v) = VT_ARRAY | type;
      V_ARRAY(&v) = array(random, type);
      if (V_ARRAY(&v) == nullptr && type == VT_VARIANT) V_VT(&v) = VT_EMPTY;
    }
  }
}

// What one call gives the server: the caller's variables, and the
// arguments, each a value (a copy of it is compared afterwards), a script's
// reference to a variable or a typed reference to its value.
struct Call {
  std::vector<VARIANT> variables;
  std::vector<VARIANT> arguments;
  std::vector<VARIANT> by_value;  // a shallow copy of each by-value argument
  explicit Call(Random& random, int count) : variables(count), arguments(count), by_value(count) {
    for (int k = 0; k < count; ++k) {
      value(random, variables[k]);
      VARIANT& a = arguments[k];
      const int way = below(random, 3);
      if (way == 0) {
        a = variables[k];
        VariantInit(&variables[k]);  // the argument holds it now
      } else if (way == 1 || V_VT(&variables[k]) == VT_EMPTY || V_VT(&variables[k]) == VT_NULL) {
        V_VT(&a) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&a) = &variables[k];
      } else {
        V_VT(&a) = static_cast<VARTYPE>(VT_BYREF | V_VT(&variables[k]));
        V_BYREF(&a) = &V_R8(&variables[k]);
      }
      by_value[k] = a;
    }
  }
  ~Call() {
    for (std::size_t k = 0; k < arguments.size(); ++k) {
      if ((V_VT(&arguments[k]) & VT_BYREF) == 0) VariantClear(&arguments[k]);
      if (V_VT(&variables[k]) & VT_ARRAY && V_ARRAY(&variables[k]) != nullptr) {
        V_ARRAY(&variables[k])->fFeatures &= static_cast<USHORT>(~FADF_FIXEDSIZE);
      }
      VariantClear(&variables[k]);
    }
  }
  bool values_kept() const {
    for (std::size_t k = 0; k < arguments.size(); ++k) {
      if ((V_VT(&arguments[k]) & VT_BYREF) == 0 &&
          std::memcmp(&arguments[k], &by_value[k], sizeof(VARIANT)) != 0) {
        return false;
      }
    }
    return true;
  }
};

bool automation_result(HRESULT hr) {
  for (const HRESULT known : {S_OK, DISP_E_BADPARAMCOUNT, DISP_E_MEMBERNOTFOUND,
                              DISP_E_PARAMNOTFOUND, DISP_E_TYPEMISMATCH, DISP_E_BADVARTYPE,
                              DISP_E_OVERFLOW, DISP_E_NONAMEDARGS}) {
    if (hr == known) return true;
  }
  return false;
}

// The calls of one seed.
void run(IDispatch* matr, unsigned long long seed, int calls) {
  Random random(seed);
  const auto& methods = nodrel::methods();
  for (int call = 0; call < calls; ++call) {
    const nodrel::MethodInfo& method = methods[below(random, static_cast<int>(methods.size()))];
    if (method.name == "mPrint" || method.name == "mShowAbout") continue;
    const DISPID id = below(random, 50) == 0 ? 0x60030000 + below(random, 48) : method.dispid;
    if (id == 0x60030015 || id == 0x6003002B) continue;
    const int n = static_cast<int>(method.args.size());
    const int count = below(random, 10) == 0 ? below(random, n + 2) : n;
    Call c(random, count);
    DISPPARAMS params{c.arguments.data(), nullptr, static_cast<UINT>(count), 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT bad_argument = 0;
    const HRESULT hr = matr->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                    &result, &exception, &bad_argument);
    (hr == S_OK ? succeeded : hr == DISP_E_EXCEPTION ? raised : refused) += 1;
    if (hr == DISP_E_EXCEPTION) {
      if (HRESULT_FACILITY(exception.scode) != FACILITY_CONTROL || exception.bstrDescription == nullptr) {
        fail("a failure that is no run-time error", seed, call, exception.scode);
      }
    } else if (!automation_result(hr)) {
      fail("an HRESULT outside the automation set", seed, call, hr);
    }
    if (!c.values_kept()) fail("a by-value argument changed", seed, call, id);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    VariantClear(&result);
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

long setting(int argc, char** argv, int index, const char* name, long otherwise) {
  if (argc > index) return std::atol(argv[index]);
  const char* value = std::getenv(name);
  return value != nullptr ? std::atol(value) : otherwise;
}

}  // namespace

int main(int argc, char** argv) {
  const long calls = setting(argc, argv, 1, "NODREL_STRESS_CALLS", 20000);
  const long seeds = setting(argc, argv, 2, "NODREL_STRESS_SEEDS", 4);
  const long first = setting(argc, argv, 3, "NODREL_STRESS_FIRST_SEED", 1);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  HMODULE dll = LoadLibraryW(L"nodrel.dll");
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  const auto get_class_object = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  const auto can_unload_now =
      reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  if (get_class_object == nullptr || can_unload_now == nullptr) return 2;
  IClassFactory* factory = nullptr;
  if (FAILED(get_class_object(CLSID_Matr, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return 2;
  for (long s = 0; s < seeds; ++s) {
    const unsigned long long seed = static_cast<unsigned long long>(first + s);
    SIZE_T after[3] = {};
    for (SIZE_T& bytes : after) {
      IDispatch* matr = nullptr;
      if (FAILED(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&matr)))) {
        return 2;
      }
      run(matr, seed, static_cast<int>(calls));
      if (matr->Release() != 0) fail("the last Release is not 0", seed, -1, 0);
      bytes = private_bytes();
      if (calls < 1000) break;  // too few calls to tell growth from the heap's noise
    }
    // A leak of one byte a call grows by `calls` bytes; the heap's own noise
    // stays well below.
    if (after[2] > after[1] + static_cast<SIZE_T>(calls) / 2 + 65536) {
      fail("private memory grew on the same calls", seed, -1,
           static_cast<long>(after[2] - after[1]));
    }
    std::printf("seed %llu: %ld calls x 3, private bytes %llu, %llu, %llu\n", seed, calls,
                static_cast<unsigned long long>(after[0]), static_cast<unsigned long long>(after[1]),
                static_cast<unsigned long long>(after[2]));
  }
  factory->Release();
  if (can_unload_now() != S_OK) fail("DllCanUnloadNow is not S_OK", 0, -1, 0);
  CoUninitialize();
  std::printf("%ld succeeded, %ld run-time errors, %ld refused; %d failures\n", succeeded, raised,
              refused, failures);
  return failures == 0 ? 0 : 1;
}
