// Work split across the processor's cores, for the engines of large orders.
//
// parallel_for(count, grain, work, body) calls body(begin, end) on
// contiguous chunks that cover [0, count) once, one chunk on the calling
// thread and each other on a std::thread of its own, and joins every thread
// before it returns: no thread outlives the call, no pool is kept between
// calls, and nothing but body runs on the threads. So it is safe inside an
// in-process server whose client is single-threaded: the client's thread
// waits in the call as it would for a long computation of its own.
//
// Each chunk must write only results of its own; the engines give every
// element the same operations in the same order whichever chunk holds it,
// so their bits never depend on the number of threads.
//
// An exception thrown by a chunk (std::bad_alloc from the scratch memory) is
// carried to the caller once every thread has been joined; when several
// chunks throw, the caller gets the first chunk's. A thread that cannot be
// started leaves its chunk to the calling thread.
//
// Below a work of kParallelWorkFrom (as the caller estimates it), with a
// single thread to use, or inside a chunk (a call nested in another is
// never split again), body runs once on the calling thread with the whole
// range.
#ifndef NODREL_NUMERIC_PARALLEL_HPP
#define NODREL_NUMERIC_PARALLEL_HPP

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <type_traits>

namespace nodrel::numeric {

// The work of a call is counted in multiply-adds at the pace of the product
// kernel (some 15 a nanosecond on one core of a current processor); an
// engine whose operations go slower counts each for several. Starting and
// joining a thread costs tens of microseconds, so a call is split from a
// quarter of a millisecond of work on (a product of order 162, an
// elimination of order 233, an inverse of order 28, Cramer's rule of order
// 64).
inline constexpr std::uint64_t kParallelWorkFrom = std::uint64_t{1} << 22;

// The threads a call may use: the processor's hardware threads, capped by
// the environment variable NODREL_THREADS (a decimal number from 1 on, read
// once per process; any other value is ignored). 1 means single-threaded.
unsigned thread_count();

// For tests: use exactly `count` threads from now on, whatever the
// processor and the environment say; 0 goes back to them.
void force_thread_count(unsigned count);

// How many calls have been split across threads so far in this process,
// for the tests (that a case is large enough to be split) and the
// benchmarks' records.
std::uint64_t split_calls();

using ChunkFunction = void (*)(void* context, std::size_t begin, std::size_t end);

// The untyped core of parallel_for.
void run_chunks(std::size_t count, std::size_t grain, std::uint64_t work, ChunkFunction function,
                void* context);

// Chunk boundaries fall on multiples of grain (>= 1), but the last.
template <typename Body>
void parallel_for(std::size_t count, std::size_t grain, std::uint64_t work, Body&& body) {
  using Type = std::remove_reference_t<Body>;
  Type* const target = std::addressof(body);
  run_chunks(
      count, grain, work,
      [](void* context, std::size_t begin, std::size_t end) {
        (*static_cast<Type*>(context))(begin, end);
      },
      const_cast<void*>(static_cast<const void*>(target)));
}

// A team of threads kept for one call, for an engine whose work goes in
// phases (the panels of the elimination): run_team(work, body) calls
// body(team, member) once on each member, member 0 on the calling thread,
// and joins every thread before it returns, like parallel_for; the team
// counts as one split call. The members meet at team.sync(), which returns
// once every member still in the team has come there: what a member wrote
// before it is seen by all after it. A member whose body returns leaves the
// team, and the others' sync() no longer waits for it.
//
// An exception thrown by a member makes it leave, and the sync() of every
// other returns false from then on: the body then returns at once. The
// caller gets the first member's exception once all are joined. A thread
// that cannot be started leaves before it begins.
//
// Below the work threshold, with a single thread, or inside a chunk, the
// team is the calling thread alone, and sync() returns at once.
class Team {
 public:
  // The members the team was started with (the calling thread's included).
  std::size_t size() const { return size_; }
  bool sync();

 private:
  friend void run_team_members(std::uint64_t, void (*)(void*, Team&, std::size_t), void*);
  explicit Team(std::size_t size) : size_(size), present_(size) {}
  void leave(bool failed);
  void advance();

  std::size_t size_;
  std::mutex mutex_;
  std::condition_variable woken_;
  std::size_t present_;
  std::size_t arrived_ = 0;
  std::atomic<std::uint64_t> phase_{0};
  std::atomic<bool> failed_{false};
};

// The untyped core of run_team.
void run_team_members(std::uint64_t work, void (*member)(void*, Team&, std::size_t), void* context);

template <typename Body>
void run_team(std::uint64_t work, Body&& body) {
  using Type = std::remove_reference_t<Body>;
  Type* const target = std::addressof(body);
  run_team_members(
      work,
      [](void* context, Team& team, std::size_t member) {
        (*static_cast<Type*>(context))(team, member);
      },
      const_cast<void*>(static_cast<const void*>(target)));
}

}  // namespace nodrel::numeric

#endif  // NODREL_NUMERIC_PARALLEL_HPP
