// The same bits on every platform: one seeded battery of calls to the 36
// methods, late bound by dispatch identifier as a script client calls them,
// printed exactly: every double as its 64 bits in hex, every array with its
// bounds, every error with its number and text, ErrCode after each call.
// scripts/test.sh runs the Linux build and the Windows builds (under Wine)
// and compares their outputs byte for byte.
//
//   nodrel_battery OUTPUT [calls [seed]]   (3000 calls, seed 15 by default)
//
// CTest runs it in each build (under Wine in the Windows builds), writing
// tests/bits/battery.txt in the build folder.
//
// The values come from a fixed generator (splitmix64, whose arithmetic is
// the same everywhere; no standard distribution, whose algorithm is the
// library's choice). Orders are small and shapes mostly fit the method, with
// one argument in six of another shape, kind or order, so that ErrCode
// conditions and run-time errors come up often. Printing goes to "DEBUG" or
// to the recording user-interface objects of tests/support; the message box,
// the clipboard, files and the About box lead to its recording platform:
// nothing is shown and nothing is written outside the process.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "nodrel/nodrel.hpp"
#include "support/fakes.hpp"
#include "support/values.hpp"

namespace {

using nodrel::ArgKind;
using nodrel::DoubleArray;
using nodrel::Variant;
using nodrel::VariantArray;

std::string out;  // the text of the whole run, written at the end

struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  bool one_in(int n) { return below(n) == 0; }
};

// Numbers a client passes: small integers (exact arithmetic, exact zeros and
// singular matrices), fractions with full significands, and the extremes.
double number(Random& r) {
  switch (r.below(12)) {
    case 0: return 0.0;
    case 1: return r.one_in(2) ? -0.0 : 1e-310;
    case 2: return r.one_in(2) ? 1e300 : -1e160;
    case 3: return r.one_in(3) ? std::numeric_limits<double>::infinity() : 1e-200;
    case 4: return static_cast<double>(static_cast<std::int64_t>(r.next() >> 40) % 1000) / 1000.0;
    case 5:
    case 6: return (static_cast<double>(r.next() >> 11) * 0x1p-53 - 0.5) * 8.0;  // all 53 bits
    default: return static_cast<double>(r.below(11) - 5);
  }
}

// Every bit of a double, as 16 hexadecimal digits.
std::string hex(double x) {
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx",
                static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(x)));
  return digits;
}

// A double, alone or in an array, as its bits; any other value as the
// suites show it.
std::string text(const Variant& v) {
  if (const double* x = v.real()) return "Double " + hex(*x);
  if (const DoubleArray* a = v.double_array()) {
    return "Doubles " + nodrel::show_array(a->bounds(), a->storage(), hex);
  }
  if (const VariantArray* a = v.array()) {
    return "Variants " + nodrel::show_array(a->bounds, a->elements, text);
  }
  return nodrel::show(v);
}

DoubleArray array(Random& r, std::int32_t rows, std::int32_t cols) {
  const std::int32_t lower = r.one_in(4) ? 1 : 0;
  DoubleArray a = cols < 0 ? DoubleArray::zeros(rows) : DoubleArray::zeros(rows, cols);
  std::vector<nodrel::ArrayBound> bounds = a.bounds();
  for (auto& b : bounds) b = {lower, static_cast<std::uint32_t>(b.upper() + 1 - lower)};
  DoubleArray shaped(bounds);
  for (double& x : shaped.storage()) x = number(r);
  return shaped;
}

// An argument of the kind and name the method declares, or with one chance
// in six something else.
Variant argument(Random& r, const nodrel::ArgumentInfo& info, std::int32_t order,
                 std::shared_ptr<nodrel::Object> (&objects)[4]) {
  const std::string_view name = info.name;
  const bool odd = r.one_in(6);
  switch (info.kind) {
    case ArgKind::kDouble: return odd ? Variant("x") : Variant(number(r));
    case ArgKind::kLong: return odd ? Variant(r.below(40) - 10) : Variant(r.below(order + 2));
    case ArgKind::kString: return odd ? Variant::null() : Variant(r.one_in(2) ? "R" : "c");
    case ArgKind::kDoubleArray: {
      if (odd) {
        switch (r.below(4)) {
          case 0: return Variant();
          case 1: return VariantArray::vector({1.5, "2", r.one_in(2) ? Variant::null() : "x"});
          case 2: return array(r, order, -1);
          default: return array(r, order + 1, 2);
        }
      }
      if (name == "mtrPts") {
        return r.one_in(3) ? array(r, 2, order + 2) : array(r, order + 2, 2);
      }
      if (name == "Coeff" || name == "vetCoeff") {
        return array(r, r.one_in(4) ? 10 + r.below(30) : r.below(6), -1);  // high powers too
      }
      if (name.substr(0, 3) == "vet") return array(r, order, -1);
      return array(r, order, r.one_in(5) ? order + 1 : order);
    }
    case ArgKind::kVariant: break;
  }
  if (r.one_in(3)) return Variant::missing();
  if (name == "obj") return Variant(objects[r.below(4)]);
  if (name == "Perif") return Variant(r.one_in(2) ? "DEBUG" : "Object");
  if (name == "frmt") return Variant(r.one_in(2) ? "0.000" : r.one_in(2) ? "#,##0.0#" : "0.0E+00");
  if (name == "Comment") return Variant("Comment");
  if (name == "ToPrint" || name == "VarArray") {
    switch (r.below(4)) {
      case 0: return Variant(number(r));
      case 1: return VariantArray::matrix({{1, "2.5"}, {Variant(), 4}});
      default: return array(r, order, r.one_in(2) ? -1 : order);
    }
  }
  if (name == "NoPoints") return odd ? Variant("two") : Variant(r.below(order + 3));
  return odd ? Variant("maybe") : Variant(r.one_in(2));  // RowCol, Append, Modal, MaxF
}

}  // namespace

int main(int argc, char** argv) {
  const long calls = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 3000;
  Random r{argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 15};
  nodrel::fakes::Log delivered;  // what the in-memory destinations received in one call
  auto platform = std::make_shared<nodrel::fakes::FakePlatform>(delivered);
  platform->sys_info_presses = 1;  // the About box's button pressed once; no tool is found
  nodrel::set_default_platform(platform);
  std::shared_ptr<nodrel::Object> objects[4] = {
      std::make_shared<nodrel::fakes::FakeTextBox>(delivered),
      std::make_shared<nodrel::fakes::FakeSurface<nodrel::Form>>(delivered, "Form"),
      std::make_shared<nodrel::fakes::FakeLabel>(delivered),
      std::make_shared<nodrel::fakes::FakePrinter>(delivered)};
  nodrel::Matr m;
  m.set_locale(nodrel::Locale::c());
  m.set_platform(platform);
  const auto methods = nodrel::methods();
  // Variables the calls share, so that one call's results feed the next.
  Variant shared[3];
  for (long call = 0; call < calls; ++call) {
    const nodrel::MethodInfo& method = methods[static_cast<std::size_t>(r.below(36))];
    const std::int32_t order = 1 + r.below(4);
    std::vector<Variant> own(method.args.size());
    std::vector<Variant*> args;
    for (std::size_t k = 0; k < method.args.size(); ++k) {
      const bool share = method.args[k].kind == ArgKind::kDoubleArray && r.one_in(3);
      Variant* slot = share ? &shared[r.below(3)] : &own[k];
      if (!share || r.one_in(4)) *slot = argument(r, method.args[k], order, objects);
      args.push_back(slot);
    }
    out += "#" + std::to_string(call) + " " + std::string(method.name) + "\n";
    for (std::size_t k = 0; k < args.size(); ++k)
      out += "  " + std::string(method.args[k].name) + " = " + text(*args[k]) + "\n";
    delivered.clear();
    try {
      const Variant result = nodrel::invoke(m, method.dispid, args);
      out += "  -> " + text(result);
    } catch (const nodrel::Error& e) {
      out += "  -> Error " + std::to_string(e.code()) + ": " + e.what();
    }
    out += ", ErrCode " + std::to_string(m.ErrCode()) + "\n";
    for (std::size_t k = 0; k < args.size(); ++k) {
      if (method.args[k].role == nodrel::ArgRole::kRead) continue;
      out += "  " + std::string(method.args[k].name) + " := " + text(*args[k]) + "\n";
    }
    for (std::size_t k = 0; k < delivered.size(); ++k)
      out += (k ? " | " : "  delivered ") + delivered[k];
    if (!delivered.empty()) out += "\n";
  }
  // Binary: a line ends in one byte on every platform.
  std::FILE* file = argc > 1 ? std::fopen(argv[1], "wb") : nullptr;
  if (file == nullptr || std::fwrite(out.data(), 1, out.size(), file) != out.size()) return 1;
  return std::fclose(file) != 0 ? 1 : 0;
}
