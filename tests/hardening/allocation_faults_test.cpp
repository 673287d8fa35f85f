// A failing allocation reaches the client as run-time error 7, never as
// std::bad_alloc, with the client's arrays as the rules say: what a method
// writes only at its end is untouched, what it only reads is never changed.
//
// Each call runs once without a fault for its outcome, then once for every
// allocation of array storage it makes, that one refused. Array storage is
// told apart from the small bookkeeping of a call by its size: every array
// here holds more than kArrayBytes, and nothing else a call allocates is
// that large.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "hardening/allocation.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/matr.hpp"
#include "support/values.hpp"

namespace nodrel::hardening {
namespace {

constexpr std::size_t kArrayBytes = 256;

using Args = std::vector<Variant>;

// A label argument shows as its caption, so that it compares by what it shows.
std::vector<std::string> shown(const Args& args) {
  std::vector<std::string> text;
  for (const Variant& v : args) {
    const auto* object = v.object();
    const auto* label = object ? dynamic_cast<const CaptionLabel*>(object->get()) : nullptr;
    text.push_back(label ? label->caption : show(v));
  }
  return text;
}

// A copy of the arguments for one call: arrays are values, but a label is
// shared, so each call gets a new one.
Args fresh(const Args& args) {
  Args copy = args;
  for (Variant& v : copy) {
    if (v.object() != nullptr) v = std::shared_ptr<Object>(std::make_shared<CaptionLabel>());
  }
  return copy;
}

TEST(AllocationFaultTest, EveryRefusedArrayIsRunTimeError7AndArgumentsFollowTheRules) {
  // Order 20: beyond the sizes that the fast paths keep on the stack. Late
  // bound, what a failed call may have done to each argument: 'u' untouched
  // (only read, or restored before the error), 'e' written only at the end
  // (as it was, or the finished result), '*' anything its rules allow. A C++
  // caller (no arguments listed) calls without the boundary, also where a
  // method copies an aliased argument or composes a text.
  const Variant a = well_conditioned(20), b = well_conditioned(20, 3.0), none;
  const Variant label = std::shared_ptr<Object>(std::make_shared<CaptionLabel>());
  const DoubleArray da = *a.double_array(), db = *b.double_array();
  const struct {
    const char* name;
    Args arguments;
    std::string after;
    std::function<void(Matr&)> cpp;
  } calls[] = {
      {"mInv", {a}, "e", {}},
      {"mDet", {a}, "u", {}},
      {"mMult", {none, a, b}, "*uu", {}},
      {"mDivd", {none, a, b}, "*uu", {}},
      {"mTrasp", {none, a}, "eu", {}},
      {"mSwap", {a, b}, "ee", {}},
      {"mSist", {ones(20), a, ones(20)}, "*uu", {}},
      {"mDiag", {a}, "*", {}},
      {"mMultVett", {none, well_conditioned(40), ones(40)}, "*uu", {}},
      {"mMakeMatrI", {none, 40}, "eu", {}},
      {"mPolin", {ones(3), parabola_points(40), 3}, "euu", {}},
      {"mDuplVar", {ones(2), variant_table(8)}, "*u", {}},
      {"mPrint", {a, label, Variant::missing(), Variant::missing(), "comment"}, "ueeuu", {}},
      {"C++ mPrint", {}, "", [&](Matr& m) { m.mPrint(Variant(da), {}, Variant("DEBUG")); }},
      {"C++ mSist, x is b", {}, "",
       [&](Matr& m) {
         DoubleArray x = *ones(20).double_array(), c = da;
         m.mSist(x, c, x);
       }},
      {"C++ mMult, dest is a source", {}, "",
       [&](Matr& m) {
         DoubleArray c = da;
         m.mMult(c, c, db);
       }},
      {"C++ mDupl", {}, "",
       [&](Matr& m) {
         DoubleArray c;
         m.mDupl(c, da);
       }},
  };
  for (const auto& call : calls) {
    SCOPED_TRACE(call.name);
    std::string expected;
    Args done_args = fresh(call.arguments);
    if (!call.cpp) {
      Matr reference;
      expected = show(invoke(reference, call.name, pointers(done_args)));
    }
    const auto initial = shown(fresh(call.arguments)), done = shown(done_args);
    int refusals = 0;
    for (std::uint64_t n = 1;; ++n) {
      ASSERT_LT(n, 9999u) << "no end to the allocations";
      SCOPED_TRACE("refused allocation " + std::to_string(n));
      Matr m;
      Args args = fresh(call.arguments);
      fail_allocation(n, kArrayBytes);
      try {
        const std::string result =
            call.cpp ? (call.cpp(m), expected) : show(invoke(m, call.name, pointers(args)));
        const bool refused = !allocation_failure_pending();
        fail_allocation(0, 0);
        // A refusal the method recovered from must not show in its outcome.
        EXPECT_EQ(result, expected);
        EXPECT_EQ(shown(args), done);
        if (!refused) break;
      } catch (const Error& e) {
        fail_allocation(0, 0);
        EXPECT_EQ(e.code(), 7) << e.what();
        ++refusals;
        const auto now = shown(args);
        for (std::size_t k = 0; k < args.size(); ++k) {
          const bool allowed = call.after[k] == '*' || now[k] == initial[k] ||
                               (call.after[k] == 'e' && now[k] == done[k]);
          EXPECT_TRUE(allowed) << "argument " << k << ": " << now[k];
        }
      } catch (const std::bad_alloc&) {
        fail_allocation(0, 0);
        ADD_FAILURE() << "std::bad_alloc reached the client";
      }
    }
    EXPECT_GT(refusals, 0) << "the call allocated no array";
  }
}

}  // namespace
}  // namespace nodrel::hardening
