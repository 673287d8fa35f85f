#include "numeric/parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <new>
#include <set>
#include <thread>
#include <vector>

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

}  // namespace
}  // namespace nodrel::numeric
