// Concurrent clients: several threads, each with a Matr of its own, calling
// every method (but the modal About box) at once, must get what one thread
// alone gets. Objects share nothing but the process's state: the default
// platform, the locale and the message table; the tsan preset runs this
// under ThreadSanitizer, which reports any unsynchronised access to them,
// the threads of calls large enough to be split among them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "numeric/parallel.hpp"
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

std::size_t threads_of_process() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// mMult, mDet and mInv at orders where they split their work, each client's calls
// on three threads: the bits of a single thread, and not one thread left
// once the calls have returned.
TEST(ConcurrentClients, SplitCallsKeepTheirBitsAndLeaveNoThread) {
  constexpr std::int32_t kProductOrder = 200;
  constexpr std::int32_t kInverseOrder = 48;
  const auto matrix = [](std::int32_t n, int seed) {
    DoubleArray a = DoubleArray::zeros(n, n);
    for (std::int32_t j = 1; j <= n; ++j) {
      for (std::int32_t i = 1; i <= n; ++i) a(i, j) = std::sin(seed * 0.37 + i * 7.1 + j * i);
    }
    return a;
  };
  const DoubleArray a = matrix(kProductOrder, 1), b = matrix(kProductOrder, 2);
  const DoubleArray c = matrix(kInverseOrder, 3), d = matrix(240, 4);
  const auto calls = [&] {
    Matr m;
    DoubleArray product;
    m.mMult(product, a, b);
    DoubleArray inverse = c;
    m.mInv(inverse);
    std::vector<double> bits = product.storage();
    bits.insert(bits.end(), inverse.storage().begin(), inverse.storage().end());
    bits.push_back(m.mDet(d));
    return bits;
  };
  numeric::force_thread_count(1);
  const std::vector<double> alone = calls();
  numeric::force_thread_count(3);
  const std::size_t before = threads_of_process();
  const std::uint64_t splits = numeric::split_calls();
  constexpr int kClients = 2;
  std::vector<std::vector<double>> seen(kClients);
  std::vector<std::thread> clients;
  for (int t = 0; t < kClients; ++t) clients.emplace_back([&, t] { seen[t] = calls(); });
  for (std::thread& t : clients) t.join();
  numeric::force_thread_count(0);
  EXPECT_GE(numeric::split_calls(), splits + 3 * kClients);
  EXPECT_EQ(threads_of_process(), before);
  for (int t = 0; t < kClients; ++t) {
    SCOPED_TRACE("client " + std::to_string(t));
    ASSERT_EQ(seen[t].size(), alone.size());
    EXPECT_EQ(std::memcmp(seen[t].data(), alone.data(), alone.size() * sizeof(double)), 0);
  }
}

}  // namespace
}  // namespace nodrel
