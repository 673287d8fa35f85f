// Reading the method table: the listing and the lookups of late binding.
#include "binding/method_table.hpp"

#include <algorithm>
#include <cstdint>

#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"

namespace nodrel {

namespace {

constexpr char fold(char c) noexcept { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Automation clients look names up without regard to case; the names of the
// interface are ASCII, so folding ASCII letters is the whole rule.
constexpr bool same_name(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return fold(x) == fold(y); });
}

constexpr bool dispids_ascend() {
  for (std::size_t k = 1; k < detail::kMethods.size(); ++k) {
    if (detail::kMethods[k].dispid <= detail::kMethods[k - 1].dispid) return false;
  }
  return true;
}

constexpr bool names_distinct() {
  for (std::size_t a = 0; a < detail::kMethods.size(); ++a) {
    for (std::size_t b = a + 1; b < detail::kMethods.size(); ++b) {
      if (same_name(detail::kMethods[a].name, detail::kMethods[b].name)) return false;
    }
  }
  return true;
}

// Identifiers are places among 44 procedures: the 36 methods and the 8
// private routines in between.
static_assert(detail::kMethods.front().dispid == kDispidBase);
static_assert(detail::kMethods.back().dispid == kDispidBase + 43);
static_assert(dispids_ascend(), "dispatch identifiers follow the function-table order");
static_assert(names_distinct(), "late binding needs names distinct without regard to case");

}  // namespace

std::span<const MethodInfo> methods() noexcept { return detail::kMethods; }

const MethodInfo* find_method(std::string_view name) noexcept {
  for (const MethodInfo& m : detail::kMethods) {
    if (same_name(m.name, name)) return &m;
  }
  return nullptr;
}

const MethodInfo* find_method(std::int32_t dispid) noexcept {
  for (const MethodInfo& m : detail::kMethods) {
    if (m.dispid == dispid) return &m;
  }
  return nullptr;
}

std::int32_t dispid_of(std::string_view name) {
  const MethodInfo* m = find_method(name);
  if (m == nullptr) raise(ErrorNumber::kObjectDoesntSupport);
  return m->dispid;
}

}  // namespace nodrel
