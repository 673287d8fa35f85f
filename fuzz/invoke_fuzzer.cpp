// Late binding: random methods called with random automation values, as a
// client of the dispatch interface can call them.
//
// Input: the decisions of FuzzedDataProvider. They choose the object's locale,
// whether the message box, clipboard and files fail, four variables holding
// any automation value (arrays of any bounds and dimensions, fixed or not,
// arrays of variants that promise more elements than they hold, nulls,
// objects of the five print kinds or of none whose members may raise errors,
// error values, texts, missing), then up to four calls on the one object: a
// method by identifier (now and then a random one) or by name in any case,
// and its arguments, each a variable (the same one may come twice), a
// temporary value, or left out.
//
// Acceptable: a result of the kind the method table gives, or a run-time error
// that a client is told about (README's table). Besides:
//   - 438, 449 and 450 are raised before the method runs, so every variable
//     is as it was;
//   - ErrCode holds one of the codes a method sets;
//   - every array in a variable has as many elements as its bounds say.
//
// Numbers come from a table (small orders, the edges of 32 bits, values far
// beyond any array) and never from raw bits: an order of 15,000 is a legal
// request for 1.8 GB, which the fuzzer's memory limit would report as a fault
// of ours. Texts such as "1.5e3" or "&HFF" still read as middling orders, and
// mInv by cofactors grows like n^4.5: a call with an order (a long argument,
// or an upper bound of an array argument) above kMaxOrder that still fits in
// memory is skipped, so that no input's calls take more than a fraction of a
// second under the sanitizers. Likewise mShowAbout, a modal dialog, is never
// called, and a print of more than 4,096 cells and labels (linear work, no
// fault) is skipped.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.hpp"
#include "runtime/number_text.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/double_array.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "nodrel/platform.hpp"
#include "nodrel/variant.hpp"
#include "support/fakes.hpp"

namespace nodrel::fuzz {
namespace {

constexpr std::int32_t kShowAbout = kDispidBase + 0x2B;
constexpr std::uint64_t kMaxPrintedPieces = 4096;
constexpr std::int64_t kMaxOrder = 20;
// From this order on a square array exceeds the 2^28-element limit: error 7 at once.
constexpr std::int64_t kUnallocatedOrder = 16384;

// What a client is told it can receive (the README's table).
const std::initializer_list<ErrorNumber> kClientErrors = {
    ErrorNumber::kInvalidProcedureCall, ErrorNumber::kOverflow,
    ErrorNumber::kOutOfMemory,          ErrorNumber::kSubscriptOutOfRange,
    ErrorNumber::kArrayFixedOrLocked,   ErrorNumber::kDivisionByZero,
    ErrorNumber::kTypeMismatch,         ErrorNumber::kCantPerformRequestedOperation,
    ErrorNumber::kBadFileNameOrNumber,  ErrorNumber::kFileNotFound,
    ErrorNumber::kDeviceIoError,        ErrorNumber::kDiskFull,
    ErrorNumber::kPermissionDenied,     ErrorNumber::kPathFileAccessError,
    ErrorNumber::kPathNotFound,         ErrorNumber::kInvalidUseOfNull,
    ErrorNumber::kObjectRequired,       ErrorNumber::kObjectDoesntSupport,
    ErrorNumber::kArgumentNotOptional,  ErrorNumber::kWrongNumberOfArguments,
};

// ---------------------------------------------------------------------------
// Automation values from the input.

constexpr std::int64_t kAbove32Bits = std::int64_t{INT32_MAX} + 1;
constexpr std::int64_t kBelow32Bits = std::int64_t{INT32_MIN} - 1;
constexpr std::int64_t kIntegers[] = {
    INT32_MIN, -100000,   -2,           -1,           0,         1,        2, 3, 4, 5, 8, 12,
    100000,    INT32_MAX, kAbove32Bits, kBelow32Bits, INT64_MAX, INT64_MIN};

constexpr double kLargest = std::numeric_limits<double>::max();
constexpr double kSmallest = std::numeric_limits<double>::min();
constexpr double kSubnormal = std::numeric_limits<double>::denorm_min();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kQuietNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kSignallingNaN = std::bit_cast<double>(0x7FF0000000000001ULL);
constexpr double kDoubles[] = {
    0.0,       -0.0,       0.5,       -0.5,         1.5,           2.5,           -2.5,
    3.5,       0.1,        1e-12,     -1e-12,       9.99995,       12.5,          1e10,
    1e100,     -1e300,     100000.0,  2147483647.5, -2147483648.5, kLargest,      -kLargest,
    kSmallest, kSubnormal, kInfinity, -kInfinity,   kQuietNaN,     kSignallingNaN};

const char* const kTexts[] = {
    "",           "R",          "r",         "C",          "c",           "X",          " R ",
    "msgbox",     "MSGBOX",     "Clipboard", "DEBUG",      "object",      "out.txt",    "0.00",
    "0.0000E+00", "00",         "#,##0.00",  "0;(0)",      "0 \"x\"",     "0%",         "0.0E-0",
    "abc",        "2.5",        "-2.5",      "1,234.5",    "(3)",         "3-",         "$4",
    "&HFF",       "&HFFFFFFFF", "&O17",      "1e400",      "-1e-400",     "True",       "false",
    " 7 ",        "1.5e3",      "100000",    "2147483647", "-2147483648", "2147483648", "1e10"};

constexpr std::int32_t kLowerBounds[] = {0, 1, 1, 0, -1, 2, 5, 100001, INT32_MIN, INT32_MAX};

class Values {
 public:
  Values(FuzzedDataProvider& in, const Locale& locale, fakes::Log& log)
      : in_(in), locale_(locale), log_(log) {}

  Variant any(int depth) {
    switch (in_.ConsumeIntegralInRange(0, 13)) {
      case 0: return Variant::missing();
      case 1: return Variant();
      case 2: return Variant::null();
      case 3: return Variant(in_.ConsumeBool());
      case 4: return Variant(integer());
      case 5: return Variant(number());
      case 6: return Variant(Date{number()});
      case 7: return Variant(text());
      case 8: return Variant(ErrorValue{in_.ConsumeIntegral<std::int32_t>()});
      case 9: return Variant(object());
      case 10:
      case 11: return Variant(variant_array(depth));
      default: return Variant(double_array());
    }
  }

 private:
  std::int64_t integer() {
    if (in_.ConsumeBool()) return in_.ConsumeIntegralInRange<std::int64_t>(-2, 12);
    return in_.PickValueInArray(kIntegers);
  }

  double number() {
    if (in_.ConsumeBool()) return in_.ConsumeIntegralInRange(-64, 104) / 8.0;
    return in_.PickValueInArray(kDoubles);
  }

  // A text from the table, or up to 12 random bytes that are not a number
  // beyond the small orders (see the top of this file).
  std::string text() {
    if (in_.ConsumeBool()) return in_.PickValueInArray(kTexts);
    std::string t = in_.ConsumeRandomLengthString(12);
    const detail::NumberText n = detail::parse_number(t, locale_);
    if (n.status == detail::NumberTextStatus::kNumber && std::fabs(n.value) > 12) return "x";
    return t;
  }

  // A print destination of the five kinds or of none, or Nothing; one that
  // refuses fails with error 57 from its first call.
  std::shared_ptr<Object> object() {
    const bool refuses = in_.ConsumeBool();
    const auto made = [&](auto object, const char* name) -> std::shared_ptr<Object> {
      if (refuses) object->fail_on = name;
      return object;
    };
    switch (in_.ConsumeIntegralInRange(0, 6)) {
      case 0: return made(std::make_shared<fakes::FakeSurface<Form>>(log_, "Form"), "Form");
      case 1: return made(std::make_shared<fakes::FakeSurface<PictureBox>>(log_, "Pic"), "Pic");
      case 2: return made(std::make_shared<fakes::FakeTextBox>(log_), "TextBox.put");
      case 3: return made(std::make_shared<fakes::FakeLabel>(log_), "Label.get");
      case 4: return made(std::make_shared<fakes::FakePrinter>(log_), "Printer.EndDoc");
      case 5: return std::make_shared<Object>();
      default: return nullptr;  // Nothing
    }
  }

  std::vector<ArrayBound> bounds() {
    const std::size_t dims = in_.PickValueInArray({0, 1, 1, 2, 2, 2, 3, 4});
    std::vector<ArrayBound> b(dims);
    for (ArrayBound& d : b) {
      d.lower = in_.PickValueInArray(kLowerBounds);
      d.count = in_.ConsumeIntegralInRange<std::uint32_t>(0, dims <= 2 ? 14 : 3);
    }
    return b;
  }

  static std::size_t element_count(const std::vector<ArrayBound>& bounds) {
    if (bounds.empty()) return 0;
    std::size_t n = 1;
    for (const ArrayBound& b : bounds) n *= b.count;
    return n;
  }

  DoubleArray double_array() {
    DoubleArray a;
    try {
      a = DoubleArray(bounds());
    } catch (const Error&) {
      return a;  // bounds beyond 32 bits: no client can hold such an array
    }
    for (double& x : a.storage()) x = number();
    a.set_fixed(in_.ConsumeIntegralInRange(0, 3) == 0);
    return a;
  }

  VariantArray variant_array(int depth) {
    VariantArray a;
    a.bounds = bounds();
    std::size_t n = element_count(a.bounds);
    // Now and then an array whose bounds promise another number of elements
    // than it holds.
    if (in_.ConsumeIntegralInRange(0, 7) == 0) n = in_.ConsumeIntegralInRange<std::size_t>(0, 4);
    for (std::size_t k = 0; k < n; ++k) {
      a.elements.push_back(depth == 0 && in_.ConsumeIntegralInRange(0, 15) == 0 ? any(depth + 1)
                                                                                : scalar());
    }
    return a;
  }

  Variant scalar() {
    switch (in_.ConsumeIntegralInRange(0, 7)) {
      case 0: return Variant();
      case 1: return Variant::null();
      case 2: return Variant(in_.ConsumeBool());
      case 3: return Variant(integer());
      case 4: return Variant(text());
      case 5: return Variant(Date{number()});
      default: return Variant(number());
    }
  }

  FuzzedDataProvider& in_;
  const Locale& locale_;
  fakes::Log& log_;
};

// ---------------------------------------------------------------------------
// Invariants.

bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool same(const Variant& a, const Variant& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case VariantKind::kBoolean: return *a.boolean() == *b.boolean();
    case VariantKind::kInteger: return *a.integer() == *b.integer();
    case VariantKind::kDouble: return same_bits(*a.real(), *b.real());
    case VariantKind::kDate: return same_bits(a.date()->serial, b.date()->serial);
    case VariantKind::kString: return *a.string() == *b.string();
    case VariantKind::kError: return a.error()->scode == b.error()->scode;
    case VariantKind::kObject: return *a.object() == *b.object();
    case VariantKind::kArray: {
      const VariantArray& x = *a.array();
      const VariantArray& y = *b.array();
      if (x.bounds != y.bounds || x.elements.size() != y.elements.size()) return false;
      for (std::size_t k = 0; k < x.elements.size(); ++k) {
        if (!same(x.elements[k], y.elements[k])) return false;
      }
      return true;
    }
    case VariantKind::kDoubleArray:
      return *a.double_array() == *b.double_array() &&
             a.double_array()->fixed() == b.double_array()->fixed();
    default: return true;
  }
}

void check_array_consistent(const Variant& v) {
  const DoubleArray* a = v.double_array();
  if (a == nullptr) return;
  std::uint64_t n = a->dims() == 0 ? 0 : 1;
  for (const ArrayBound& b : a->bounds()) n *= b.count;
  if (n != a->storage().size()) {
    finding("an array with %zu dimensions holds %zu elements, its bounds say %llu", a->dims(),
            a->storage().size(), static_cast<unsigned long long>(n));
  }
}

bool result_agrees(const Variant& result, ResultKind kind) {
  switch (kind) {
    case ResultKind::kNone: return result.kind() == VariantKind::kEmpty;
    case ResultKind::kBool: return result.kind() == VariantKind::kBoolean;
    case ResultKind::kDouble: return result.kind() == VariantKind::kDouble;
  }
  return false;
}

// The cells and column labels that printing `v` composes: its elements, or
// for an array that holds none, what its upper bounds promise (a Matrix of
// bounds 0..0, 0..n and no element still has n labels).
std::uint64_t printed_pieces(const Variant* v) {
  if (v == nullptr) return 0;
  std::uint64_t held = 0;
  if (const DoubleArray* a = v->double_array()) held = a->storage().size();
  if (const VariantArray* a = v->array()) held = a->elements.size();
  const std::vector<ArrayBound>& bounds = v->array_bounds();
  auto upper = [&](std::size_t d) -> std::uint64_t {
    return d < bounds.size() && bounds[d].upper() > 0
               ? static_cast<std::uint64_t>(bounds[d].upper())
               : 0;
  };
  const std::uint64_t columns = bounds.size() >= 2 ? upper(1) : 0;
  return std::max(held, upper(0) * std::max<std::uint64_t>(columns, 1) + columns);
}

// True when `v`, given for an argument of `kind`, makes a method work on an
// order above kMaxOrder that still fits in memory.
bool costly_order(const Variant& v, ArgKind kind, const Locale& locale) {
  const auto costly = [](std::int64_t order) {
    return order > kMaxOrder && order < kUnallocatedOrder;
  };
  for (const ArrayBound& b : v.array_bounds()) {
    if (costly(b.upper())) return true;
  }
  if (kind != ArgKind::kLong) return false;
  try {
    return costly(to_int32(v, locale));
  } catch (const Error&) {
    return false;  // the call fails with the conversion's error
  }
}

// A name in random case, or another text that may or may not be a name.
std::string spelled(FuzzedDataProvider& in, std::string_view name) {
  if (in.ConsumeIntegralInRange(0, 7) == 0) return in.ConsumeRandomLengthString(16);
  std::string s(name);
  for (char& c : s) {
    if (in.ConsumeBool())
      c = static_cast<char>(std::isupper(static_cast<unsigned char>(c))
                                ? std::tolower(static_cast<unsigned char>(c))
                                : std::toupper(static_cast<unsigned char>(c)));
  }
  return s;
}

void one_call(FuzzedDataProvider& in, Matr& object, Values& values, std::array<Variant, 4>& vars) {
  const std::span<const MethodInfo> table = methods();
  const MethodInfo* method = &table[in.ConsumeIntegralInRange<std::size_t>(0, table.size() - 1)];
  std::int32_t dispid = method->dispid;
  if (in.ConsumeIntegralInRange(0, 15) == 0) {
    dispid = in.ConsumeBool() ? kDispidBase + in.ConsumeIntegralInRange(0, 0x30)
                              : in.ConsumeIntegral<std::int32_t>();
    method = find_method(dispid);
  }
  if (dispid == kShowAbout) return;
  const bool by_name = method != nullptr && in.ConsumeIntegralInRange(0, 7) == 0;
  const std::string name = by_name ? spelled(in, method->name) : std::string();
  if (by_name && find_method(name) != nullptr && find_method(name)->dispid == kShowAbout) return;

  std::size_t count = method != nullptr ? method->args.size() : 0;
  if (in.ConsumeIntegralInRange(0, 7) == 0) count = in.ConsumeIntegralInRange<std::size_t>(0, 10);
  std::deque<Variant> temporaries;
  std::vector<Variant*> args;
  for (std::size_t k = 0; k < count; ++k) {
    const int where = in.ConsumeIntegralInRange(0, 7);
    if (where < 4) {
      args.push_back(&vars[static_cast<std::size_t>(where)]);
    } else if (where == 4) {
      args.push_back(nullptr);
    } else {
      temporaries.push_back(values.any(0));
      args.push_back(&temporaries.back());
    }
  }
  if (method != nullptr && method->name == "mPrint" && !args.empty() &&
      printed_pieces(args[0]) > kMaxPrintedPieces) {
    return;
  }
  for (std::size_t k = 0; method != nullptr && k < std::min(args.size(), method->args.size()); ++k) {
    if (args[k] != nullptr && costly_order(*args[k], method->args[k].kind, object.locale())) return;
  }

  const std::array<Variant, 4> vars_before = vars;
  const std::deque<Variant> temporaries_before = temporaries;
  try {
    const Variant result = by_name ? invoke(object, name, args) : invoke(object, dispid, args);
    if (method == nullptr || !result_agrees(result, method->result)) {
      finding("identifier 0x%08X answered with a result of the wrong kind", dispid);
    }
  } catch (const Error& e) {
    if (!documented(e, kClientErrors)) finding("invoke: undocumented run-time error: %s", e.what());
    if (documented(e, {ErrorNumber::kObjectDoesntSupport, ErrorNumber::kArgumentNotOptional,
                       ErrorNumber::kWrongNumberOfArguments})) {
      for (std::size_t k = 0; k < vars.size(); ++k) {
        if (!same(vars[k], vars_before[k])) finding("%s changed variable %zu", e.what(), k);
      }
      for (std::size_t k = 0; k < temporaries.size(); ++k) {
        if (!same(temporaries[k], temporaries_before[k])) finding("%s changed a value", e.what());
      }
    }
  }
  const std::int32_t code = object.ErrCode();
  if (code != 0 && code != 1 && code != 3 && code != 4 && code != 8 && code != 9) {
    finding("ErrCode %d is no code a method sets", code);
  }
  for (const Variant& v : vars) check_array_consistent(v);
  for (const Variant& v : temporaries) check_array_consistent(v);
}

}  // namespace
}  // namespace nodrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nodrel;
  using namespace nodrel::fuzz;
  FuzzedDataProvider in(data, size);
  expect_result_or("invoke", {}, [&] {
    fakes::Log log;
    Matr object;
    object.set_locale(locale_number(in.ConsumeIntegral<std::uint8_t>()));
    auto platform = std::make_shared<fakes::FakePlatform>(log);
    platform->fail_on = in.PickValueInArray({"", "MsgBox", "Clipboard", "File"});
    object.set_platform(platform);
    Values values(in, object.locale(), log);
    std::array<Variant, 4> vars;
    for (Variant& v : vars) v = values.any(0);
    const int calls = in.ConsumeIntegralInRange(1, 4);
    for (int c = 0; c < calls && in.remaining_bytes() > 0; ++c) one_call(in, object, values, vars);
  });
  return 0;
}
