#include "numeric/parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "numeric/elimination.hpp"
#include "numeric/products.hpp"

namespace nodrel::numeric {
namespace {

struct ForcedThreads {
  explicit ForcedThreads(unsigned count) { force_thread_count(count); }
  ~ForcedThreads() { force_thread_count(0); }
};

// Each index visited once, chunks on grain boundaries, one thread per
// chunk with the caller's among them, and a call nested in a chunk split
// only when its caller ran whole.
TEST(ParallelFor, ChunksCoverTheRangeOnceOnAThreadEach) {
  const struct {
    unsigned threads;
    std::size_t count, grain;
    std::uint64_t work;
    std::size_t chunks;
  } cases[] = {{1, 100, 1, kParallelWorkFrom, 1},     {2, 100, 1, kParallelWorkFrom, 2},
               {3, 100, 24, kParallelWorkFrom, 3},    {3, 30, 24, kParallelWorkFrom, 2},
               {3, 100, 1, kParallelWorkFrom - 1, 1}, {3, 2, 1, kParallelWorkFrom, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.threads << " threads, count " << c.count << ", grain "
                                    << c.grain << ", work " << c.work);
    ForcedThreads forced(c.threads);
    std::vector<std::atomic<int>> visits(c.count);
    std::vector<std::size_t> begins(c.count, 0);
    std::vector<std::thread::id> ids(c.count);
    std::atomic<int> split_inside{0};
    parallel_for(c.count, c.grain, c.work, [&](std::size_t begin, std::size_t end) {
      for (std::size_t i = begin; i < end; ++i) {
        ++visits[i];
        begins[i] = begin;
        ids[i] = std::this_thread::get_id();
      }
      parallel_for(4, 1, kParallelWorkFrom, [&](std::size_t b, std::size_t e) {
        if (b == 0 && e != 4) ++split_inside;
      });
    });
    const std::set<std::size_t> starts(begins.begin(), begins.end());
    const std::set<std::thread::id> threads(ids.begin(), ids.end());
    for (const auto& v : visits) EXPECT_EQ(v.load(), 1);
    for (const std::size_t b : starts) EXPECT_EQ(b % c.grain, 0u);
    EXPECT_EQ(starts.size(), c.chunks);
    EXPECT_EQ(threads.size(), c.chunks);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 1u);
    EXPECT_EQ(split_inside.load(), c.chunks == 1 && c.threads > 1 ? 1 : 0);
  }
  // A chunk's exception reaches the caller after the other chunks ended.
  for (const std::size_t failing : {0u, 2u}) {
    ForcedThreads forced(3);
    std::atomic<int> finished{0};
    EXPECT_THROW(parallel_for(3, 1, kParallelWorkFrom,
                              [&](std::size_t begin, std::size_t) {
                                if (begin == failing) throw std::bad_alloc();
                                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                ++finished;
                              }),
                 std::bad_alloc);
    EXPECT_EQ(finished.load(), 2) << failing;
  }
}

// A member's exception ends the others' syncs and reaches the caller once
// every member has returned.
TEST(ParallelFor, ATeamMembersExceptionEndsTheOthersAndReachesTheCaller) {
  ForcedThreads forced(3);
  std::atomic<int> ended{0};
  const auto body = [&](Team& team, std::size_t member) {
    if (member == 2 && team.sync()) throw std::bad_alloc();
    while (team.sync()) continue;
    ++ended;
  };
  EXPECT_THROW(run_team(kParallelWorkFrom, body), std::bad_alloc);
  EXPECT_EQ(ended.load(), 2);
}

// Every engine that splits its work gives the bits of the single thread
// with 2 and 3 threads, at orders where it does split: the product of an
// n x n+10 and an n+10 x n+20 block, the elimination and the inverse and
// Cramer's rule of order n, the diagonal reduction of an n x n+10 block, on
// reals scaled so that determinants stay far from overflow, or on integers
// in -3..3, whose ties send the minors their own ways early.
TEST(ParallelFor, EnginesGiveTheSameBitsForAnyThreadCount) {
  enum Engine { kProduct, kElimination, kDiagonal, kInverse, kCramer };
  const auto run = [](Engine engine, std::size_t n, bool integers) {
    std::mt19937_64 random(n);
    const double scale = std::exp(-(0.5 * std::lgamma(n + 1.0) - 0.5 * n * std::log(3.0)) / n);
    std::vector<double> a(n * (n + 10)), b((n + 10) * (n + 20)), out(n * (n + 20));
    for (double& x : a)
      x = integers ? static_cast<double>(random() % 7) - 3.0
                   : scale * std::ldexp(static_cast<double>(random() >> 11), -52) - scale;
    for (double& x : b) x = std::ldexp(static_cast<double>(random() >> 11), -52) - 1.0;
    const ConstBlock square{a.data(), n, n, n};
    const auto order = static_cast<std::int32_t>(n);
    Outcome o = Outcome::kDone;
    PivotProduct det;
    switch (engine) {
      case kProduct:
        o = multiply({a.data(), n, n, n + 10}, {b.data(), n + 10, n + 10, n + 20},
                     {out.data(), n, n, n + 20});
        break;
      case kElimination:
        eliminate(a.data(), n, order, order, det);
        out = {det.product, static_cast<double>(det.exchanges), det.zero ? 1.0 : 0.0};
        break;
      case kDiagonal: o = reduce_diagonal({a.data(), n, n, n + 10}); break;
      case kInverse: o = inverse(square, {out.data(), n, n, n}); break;
      case kCramer: o = cramer(square, b.data(), out.data()); break;
    }
    a.insert(a.end(), out.begin(), out.end());
    a.push_back(static_cast<double>(o));
    return a;
  };
  const std::size_t orders[] = {160, 400, 400, 40, 80};
  for (const Engine engine : {kProduct, kElimination, kDiagonal, kInverse, kCramer}) {
    for (const bool integers : {false, true}) {
      const std::size_t n = orders[engine];
      SCOPED_TRACE(testing::Message()
                   << "engine " << engine << (integers ? ", integers" : ", reals"));
      force_thread_count(1);
      const std::vector<double> alone = run(engine, n, integers);
      EXPECT_EQ(alone.back(), static_cast<double>(Outcome::kDone));
      for (const unsigned threads : {2u, 3u}) {
        ForcedThreads forced(threads);
        const std::uint64_t splits = split_calls();
        const std::vector<double> split = run(engine, n, integers);
        EXPECT_GT(split_calls(), splits) << threads << " threads";
        ASSERT_EQ(split.size(), alone.size());
        EXPECT_EQ(std::memcmp(split.data(), alone.data(), alone.size() * sizeof(double)), 0)
            << threads << " threads";
      }
    }
  }
}

}  // namespace
}  // namespace nodrel::numeric
