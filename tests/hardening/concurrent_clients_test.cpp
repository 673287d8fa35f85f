// Concurrent clients: several threads, each with a Matr of its own, calling
// every method (but the modal About box) at once, must get what one thread
// alone gets. Objects share nothing but the process's state: the default
// platform, the locale and the message table; the tsan preset runs this
// under ThreadSanitizer, which reports any unsynchronised access to them,
// the threads of calls large enough to be split among them (mMult, mDet and
// mInv at orders where they split their work, on three threads): they keep the
// bits of a single thread, and not one thread is left once they return.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nodrel/dispatch.hpp"
#include "nodrel/matr.hpp"
#include "numeric/parallel.hpp"
#include "support/fakes.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

DoubleArray wavy(std::int32_t n, int seed) {
  DoubleArray a = DoubleArray::zeros(n, n);
  for (std::int32_t j = 1; j <= n; ++j) {
    for (std::int32_t i = 1; i <= n; ++i) a(i, j) = std::sin(seed * 0.37 + i * 7.1 + j * i);
  }
  return a;
}

// Every method once, in table order, with arguments of the kinds the table
// gives it (vectors where the name says so); mPrint prints to a text box of
// the thread's own. Then a run-time error, described from the one table,
// and a product, an inverse and a determinant large enough to be split.
std::string every_method(int rounds) {
  static const DoubleArray a = wavy(200, 1), b = wavy(200, 2), c = wavy(48, 3), d = wavy(240, 4);
  Matr m;
  fakes::Log log;
  auto box = std::make_shared<fakes::FakeTextBox>(log);
  const Variant vector = DoubleArray::vector({1, -2, 1});
  const Variant matrix = DoubleArray::matrix({{4, 7, 1}, {2, 6, 0}, {1, 0, 3}});
  const Variant variants = DoubleArray::matrix({{0.5, 1e10}, {-3, 1.0 / 3}});
  std::string seen;
  for (int round = 0; round < rounds; ++round) {
    for (const MethodInfo& method : methods()) {
      if (method.name == "mShowAbout") continue;
      std::vector<Variant> values;
      for (std::size_t k = 0; k < method.args.size(); ++k) {
        const ArgumentInfo& arg = method.args[k];
        const bool is_vector = arg.name.substr(0, 3) == "vet" || arg.name == "Coeff";
        const bool is_object = k == 1 && method.name == "mPrint";
        const Variant kinds[] = {is_vector ? vector : matrix, 2.5, std::int64_t{2}, "R",
                                 is_object ? fakes::object_variant(box)
                                 : k == 0 || method.name == "mDuplVar" ? variants
                                                                       : Variant::missing()};
        values.push_back(kinds[static_cast<int>(arg.kind)]);
      }
      try {
        seen += show(invoke(m, method.dispid, pointers(values)));
      } catch (const Error& e) {
        seen += "error " + std::to_string(e.code());
      }
      for (const Variant& v : values) seen += " " + show(v);
      seen += " " + std::to_string(m.ErrCode()) + "|" + box->text + "\n";
    }
    Variant text("abc");
    try {
      call(m, "mDet", text);
    } catch (const Error& e) {
      seen += "error " + std::to_string(e.code()) + " " + e.description() + "\n";
    }
    DoubleArray product, inverse = c;
    m.mMult(product, a, b);
    m.mInv(inverse);
    seen += show(product) + show(inverse) + number(m.mDet(d));
  }
  return seen;
}

std::size_t threads_of_process() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

TEST(ConcurrentClients, ThreadsGetWhatOneThreadGetsAndLeaveNoThread) {
  numeric::force_thread_count(1);
  const std::string alone = every_method(2);
  ASSERT_NE(alone.find("error 13 Type mismatch"), std::string::npos);
  numeric::force_thread_count(3);
  std::thread([] {}).join();  // a sanitizer starts a thread of its own with the first
  const std::size_t before = threads_of_process();
  const std::uint64_t splits = numeric::split_calls();
  std::vector<std::string> seen(4);
  std::vector<std::thread> threads;
  for (std::string& s : seen) threads.emplace_back([&s] { s = every_method(2); });
  for (std::thread& t : threads) t.join();
  numeric::force_thread_count(0);
  EXPECT_GE(numeric::split_calls(), splits + 3 * 2 * seen.size());
  EXPECT_EQ(threads_of_process(), before);
  for (const std::string& s : seen) EXPECT_EQ(s, alone);
}

}  // namespace
}  // namespace nodrel
