// Concurrent clients: several threads, each with a Matr of its own, calling
// every method (but the modal About box) at once, must get what one thread
// alone gets. Objects share nothing but the process's state: the default
// platform, the locale and the message table; the tsan preset runs this
// under ThreadSanitizer, which reports any unsynchronised access to them.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "support/fakes.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

// Every method once, in table order, with arguments of the kinds the table
// gives it; mPrint prints to a text box of the thread's own.
std::string every_method(int rounds) {
  Matr m;
  fakes::Log log;
  auto box = std::make_shared<fakes::FakeTextBox>(log);
  std::string seen;
  for (int round = 0; round < rounds; ++round) {
    for (const MethodInfo& method : methods()) {
      if (method.name == "mShowAbout") continue;
      std::deque<Variant> values;
      std::vector<Variant*> args;
      for (std::size_t k = 0; k < method.args.size(); ++k) {
        const ArgumentInfo& a = method.args[k];
        Variant& v = values.emplace_back();
        switch (a.kind) {
          case ArgKind::kDoubleArray:
            v = a.name.substr(0, 3) == "vet" || a.name == "Coeff"
                    ? Variant(DoubleArray::vector({1, -2, 1}))
                    : Variant(DoubleArray::matrix({{4, 7, 1}, {2, 6, 0}, {1, 0, 3}}));
            break;
          case ArgKind::kDouble: v = Variant(2.5); break;
          case ArgKind::kLong: v = Variant(std::int64_t{2}); break;
          case ArgKind::kString: v = Variant(std::string("R")); break;
          case ArgKind::kVariant:
            v = k == 0 || method.name == "mDuplVar"
                    ? Variant(DoubleArray::matrix({{0.5, 1e10}, {-3, 1.0 / 3}}))
                : k == 1 ? fakes::object_variant(box)
                         : Variant::missing();
        }
        args.push_back(&v);
      }
      try {
        seen += show(invoke(m, method.dispid, args));
      } catch (const Error& e) {
        seen += "error " + std::to_string(e.code());
      }
      for (const Variant& v : values) seen += " " + show(v);
      seen += " " + std::to_string(m.ErrCode()) + "|" + box->text + "\n";
    }
    // A run-time error and its description, from the one table of them.
    Variant text("abc");
    try {
      call(m, "mDet", text);
    } catch (const Error& e) {
      seen += "error " + std::to_string(e.code()) + " " + e.description() + "\n";
    }
  }
  return seen;
}

TEST(ConcurrentClients, ThreadsGetWhatOneThreadGets) {
  const std::string alone = every_method(3);
  ASSERT_NE(alone.find("error 13 Type mismatch"), std::string::npos);
  constexpr int kThreads = 4;
  std::vector<std::string> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([&, t] { seen[t] = every_method(3); });
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE("thread " + std::to_string(t));
    EXPECT_EQ(seen[t], alone);
  }
}

}  // namespace
}  // namespace nodrel
