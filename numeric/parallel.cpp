#include "numeric/parallel.hpp"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <thread>
#include <vector>

namespace nodrel::numeric {

namespace {

std::atomic<unsigned> forced_count{0};
std::atomic<std::uint64_t> splits{0};

// Set on the threads of a split call while they run a chunk, the calling
// thread included: a call made from a chunk runs whole where it is.
thread_local bool in_chunk = false;

// NODREL_THREADS as a number from 1 on, or 0 when it is unset or not one.
unsigned environment_limit() {
  const char* text = std::getenv("NODREL_THREADS");
  if (text == nullptr || *text == '\0') return 0;
  unsigned long value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return 0;
    value = value * 10 + static_cast<unsigned long>(*c - '0');
    if (value > 4096) value = 4096;
  }
  return static_cast<unsigned>(value);
}

unsigned default_count() {
  static const unsigned count = [] {
    const unsigned hardware = std::thread::hardware_concurrency();
    unsigned n = hardware == 0 ? 1 : hardware;
    const unsigned limit = environment_limit();
    if (limit != 0 && limit < n) n = limit;
    return n;
  }();
  return count;
}

class ChunkScope {
 public:
  ChunkScope() : outer_(in_chunk) { in_chunk = true; }
  ~ChunkScope() { in_chunk = outer_; }
  ChunkScope(const ChunkScope&) = delete;
  ChunkScope& operator=(const ChunkScope&) = delete;

 private:
  bool outer_;
};

// The threads a call of this much work runs on.
std::size_t threads_for(std::uint64_t work) {
  return work >= kParallelWorkFrom && !in_chunk ? thread_count() : 1;
}

// A waiting member looks at the phase this many times before it sleeps:
// the members of a team usually arrive within microseconds of each other,
// and a sleep and a wake-up cost tens of microseconds; the second half of
// the looks yields the processor to whatever else is ready to run.
constexpr int kLooks = 4000;

}  // namespace

unsigned thread_count() {
  const unsigned forced = forced_count.load(std::memory_order_relaxed);
  return forced != 0 ? forced : default_count();
}

void force_thread_count(unsigned count) { forced_count.store(count, std::memory_order_relaxed); }

std::uint64_t split_calls() { return splits.load(std::memory_order_relaxed); }

void run_chunks(std::size_t count, std::size_t grain, std::uint64_t work, ChunkFunction function,
                void* context) {
  if (count == 0) return;
  if (grain == 0) grain = 1;
  const std::size_t units = (count + grain - 1) / grain;
  const std::size_t parts = std::min(threads_for(work), units);
  if (parts <= 1) {
    function(context, 0, count);
    return;
  }
  splits.fetch_add(1, std::memory_order_relaxed);
  const auto start = [&](std::size_t part) {
    const std::size_t at = units * part / parts * grain;
    return at < count ? at : count;
  };
  const auto run = [&](std::size_t part, std::exception_ptr& error) {
    ChunkScope scope;
    try {
      function(context, start(part), start(part + 1));
    } catch (...) {
      error = std::current_exception();
    }
  };
  // Allocated before any thread starts: a refusal here leaves nothing to
  // join.
  std::vector<std::exception_ptr> errors(parts);
  std::vector<std::thread> workers;
  workers.reserve(parts - 1);
  std::vector<bool> started(parts, false);
  for (std::size_t part = 1; part < parts; ++part) {
    try {
      workers.emplace_back([&run, &errors, part] { run(part, errors[part]); });
      started[part] = true;
    } catch (...) {
      // No thread for this chunk (std::system_error): the calling thread
      // runs it below.
    }
  }
  run(0, errors[0]);
  for (std::size_t part = 1; part < parts; ++part) {
    if (!started[part]) run(part, errors[part]);
  }
  for (std::thread& worker : workers) worker.join();
  for (const std::exception_ptr& error : errors) {
    if (error) std::rethrow_exception(error);
  }
}

// Arrivals and departures are counted under the mutex, so the member that
// completes a phase has seen every write made before the others arrived;
// it publishes them with the new phase, which a waiting member reads with
// acquire ordering (or under the mutex, once it sleeps).
bool Team::sync() {
  std::uint64_t phase = 0;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    phase = phase_.load(std::memory_order_relaxed);
    if (++arrived_ == present_) {
      advance();
      return !failed_.load(std::memory_order_relaxed);
    }
  }
  for (int look = 0; look < kLooks; ++look) {
    if (phase_.load(std::memory_order_acquire) != phase) {
      return !failed_.load(std::memory_order_acquire);
    }
    if (look >= kLooks / 2) std::this_thread::yield();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  woken_.wait(lock, [&] { return phase_.load(std::memory_order_relaxed) != phase; });
  return !failed_.load(std::memory_order_relaxed);
}

// Under the mutex.
void Team::advance() {
  arrived_ = 0;
  phase_.store(phase_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
  woken_.notify_all();
}

void Team::leave(bool failed) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (failed) failed_.store(true, std::memory_order_release);
  --present_;
  if (arrived_ != 0 && arrived_ == present_) advance();
}

void run_team_members(std::uint64_t work, void (*member)(void*, Team&, std::size_t),
                      void* context) {
  const std::size_t size = threads_for(work);
  Team team(size);
  if (size <= 1) {
    member(context, team, 0);
    return;
  }
  splits.fetch_add(1, std::memory_order_relaxed);
  // Allocated before any thread starts: a refusal here leaves nothing to
  // join.
  std::vector<std::exception_ptr> errors(size);
  std::vector<std::thread> workers;
  workers.reserve(size - 1);
  const auto run = [&](std::size_t index) {
    ChunkScope scope;
    bool failed = false;
    try {
      member(context, team, index);
    } catch (...) {
      errors[index] = std::current_exception();
      failed = true;
    }
    team.leave(failed);
  };
  for (std::size_t index = 1; index < size; ++index) {
    try {
      workers.emplace_back(run, index);
    } catch (...) {
      // No thread for this member (std::system_error): it leaves at once.
      team.leave(false);
    }
  }
  run(0);
  for (std::thread& worker : workers) worker.join();
  for (const std::exception_ptr& error : errors) {
    if (error) std::rethrow_exception(error);
  }
}

}  // namespace nodrel::numeric
