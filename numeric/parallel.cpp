#include "numeric/parallel.hpp"

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
  std::size_t parts = 1;
  if (work >= kParallelWorkFrom && !in_chunk) {
    parts = thread_count();
    if (parts > units) parts = units;
  }
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

}  // namespace nodrel::numeric
