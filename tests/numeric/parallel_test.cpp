#include "numeric/parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
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
// chunk with the caller's among them, and a call nested in a chunk never
// split.
TEST(ParallelFor, ChunksCoverTheRangeOnceOnAThreadEach) {
  struct Case {
    unsigned threads;
    std::size_t count, grain;
    std::uint64_t work;
    std::size_t chunks;
  };
  const Case cases[] = {
      {1, 100, 1, kParallelWorkFrom, 1},      {2, 100, 1, kParallelWorkFrom, 2},
      {3, 100, 24, kParallelWorkFrom, 3},     {3, 30, 24, kParallelWorkFrom, 2},
      {3, 100, 1, kParallelWorkFrom - 1, 1},  {3, 2, 1, kParallelWorkFrom, 2},
  };
  for (const Case& c : cases) {
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
    std::set<std::size_t> starts(begins.begin(), begins.end());
    std::set<std::thread::id> threads(ids.begin(), ids.end());
    for (const auto& v : visits) EXPECT_EQ(v.load(), 1);
    for (const std::size_t b : starts) EXPECT_EQ(b % c.grain, 0u);
    EXPECT_EQ(starts.size(), c.chunks);
    EXPECT_EQ(threads.size(), c.chunks);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 1u);
    // Only a call that ran whole may split the call nested in it.
    EXPECT_EQ(split_inside.load(), c.chunks == 1 && c.threads > 1 ? 1 : 0);
  }
}

TEST(ParallelFor, AChunksExceptionReachesTheCallerAfterTheJoin) {
  for (const std::size_t failing : {0u, 2u}) {
    SCOPED_TRACE(failing);
    ForcedThreads forced(3);
    std::atomic<int> finished{0};
    EXPECT_THROW(parallel_for(3, 1, kParallelWorkFrom,
                              [&](std::size_t begin, std::size_t) {
                                if (begin == failing) throw std::bad_alloc();
                                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                ++finished;
                              }),
                 std::bad_alloc);
    EXPECT_EQ(finished.load(), 2);
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

// Column-major, rows x cols: reals in -1..1 scaled so that determinants of
// order `rows` stay far from overflow, or integers in -3..3, whose ties send
// the inverse's and Cramer's minors their own ways early.
std::vector<double> random_block(std::size_t rows, std::size_t cols, bool integers) {
  std::mt19937_64 engine(rows * 1000 + cols);
  std::uniform_int_distribution<int> small(-3, 3);
  std::uniform_real_distribution<double> real(-1.0, 1.0);
  const double n = static_cast<double>(rows);
  const double scale = std::exp(-(0.5 * std::lgamma(n + 1.0) - 0.5 * n * std::log(3.0)) / n);
  std::vector<double> v(rows * cols);
  for (double& x : v) x = integers ? small(engine) : real(engine) * scale;
  return v;
}

enum class Engine { kProduct, kElimination, kDiagonal, kInverse, kCramer };

// An engine on random blocks around order n: the blocks and the outputs
// after the call, its outcome last. (The product's a is n x n+10, b
// n+10 x n+20; the diagonal reduction's block n x n+10; the others are of
// order n.)
std::vector<double> run(Engine engine, std::size_t n, bool integers) {
  std::vector<double> a = random_block(n, n + 10, integers), b = random_block(n + 10, n + 20, false);
  std::vector<double> out(n * (n + 20));
  const ConstBlock square{a.data(), n, n, n};
  Outcome o = Outcome::kDone;
  PivotProduct det;
  switch (engine) {
    case Engine::kProduct:
      o = multiply({a.data(), n, n, n + 10}, {b.data(), n + 10, n + 10, n + 20},
                   {out.data(), n, n, n + 20});
      break;
    case Engine::kElimination:
      eliminate(a.data(), n, static_cast<std::int32_t>(n), static_cast<std::int32_t>(n), det);
      out = {det.product, static_cast<double>(det.exchanges), det.zero ? 1.0 : 0.0};
      break;
    case Engine::kDiagonal: o = reduce_diagonal({a.data(), n, n, n + 10}); break;
    case Engine::kInverse: o = inverse(square, {out.data(), n, n, n}); break;
    case Engine::kCramer: o = cramer(square, b.data(), out.data()); break;
  }
  a.insert(a.end(), out.begin(), out.end());
  a.push_back(static_cast<double>(o));
  return a;
}

// Every engine that splits its work gives the bits of the single thread
// with 2 and 3 threads, at orders where it does split.
TEST(ParallelFor, EnginesGiveTheSameBitsForAnyThreadCount) {
  const struct {
    Engine engine;
    std::size_t n;
    bool integers;
  } cases[] = {
      {Engine::kProduct, 160, false},  {Engine::kElimination, 400, false},
      {Engine::kDiagonal, 400, false}, {Engine::kInverse, 40, false},
      {Engine::kInverse, 40, true},    {Engine::kCramer, 80, false},
      {Engine::kCramer, 80, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "engine " << static_cast<int>(c.engine) << ", order " << c.n
                                    << (c.integers ? ", integers" : ", reals"));
    force_thread_count(1);
    const std::vector<double> alone = run(c.engine, c.n, c.integers);
    EXPECT_EQ(alone.back(), static_cast<double>(Outcome::kDone));
    for (const unsigned threads : {2u, 3u}) {
      SCOPED_TRACE(testing::Message() << threads << " threads");
      ForcedThreads forced(threads);
      const std::uint64_t splits = split_calls();
      const std::vector<double> split = run(c.engine, c.n, c.integers);
      EXPECT_GT(split_calls(), splits);
      ASSERT_EQ(split.size(), alone.size());
      EXPECT_EQ(std::memcmp(split.data(), alone.data(), alone.size() * sizeof(double)), 0);
    }
  }
}

}  // namespace
}  // namespace nodrel::numeric
