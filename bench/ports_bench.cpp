// The machine's ceiling for the vector instructions the elimination kernels
// issue: how many of each a core completes per clock cycle when nothing
// waits on anything (twelve independent registers), and how long each takes
// when each waits on the one before. Each instruction is written out in
// assembly, so that the compiler can neither fold nor reorder them.
//
//   ports/zmm/<instruction>         on eight doubles (AVX-512F), as the
//                                   kernels issue them on a processor
//                                   that has it, twelve at a time
//   ports/zmm/<instruction>/chain   the same, each waiting on the one
//                                   before: 1 / per_cycle is the latency
//
// The counter per_cycle is instructions per cycle, the cycles counted by a
// chain of dependent integer additions timed around the row (one a cycle on
// every x86-64 core since the Pentium Pro), so it holds when a virtual
// machine's clock changes between runs. docs/benchmarks.md divides the op
// counts of one step of the lane eliminations by these rates.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace {

// Clock cycles per second, from 2^26 dependent additions.
double cycles_per_second() {
  constexpr std::int64_t kAdds = std::int64_t{1} << 26;
  std::int64_t x = 0;
  const auto start = std::chrono::steady_clock::now();
  for (std::int64_t i = 0; i < kAdds; i += 8) {
    asm volatile(
        "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
        "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0"
        : "+r"(x));
  }
  const std::chrono::duration<double> s = std::chrono::steady_clock::now() - start;
  benchmark::DoNotOptimize(x);
  return static_cast<double>(kAdds) / s.count();
}

constexpr int kRegs = 12;
constexpr int kRounds = 256;

// The kinds of instruction measured. mul_add: a product added to a
// register, the term of an elimination's update (two instructions);
// cmp_blend: a comparison into a mask and a blend under it, the step of a
// pivot search (two instructions); blend: the exchange of a column in the
// lanes that chose it; store_load: a store and a load of the same place, the
// way from one step's update to the next step's search (two instructions).
enum class Op { mul, add, mul_add, div, cmp_blend, blend, load, store, store_load };

typedef double Zmm __attribute__((vector_size(64)));

// One instruction of the kind (two for mul_add, cmp_blend and store_load)
// on register x.
template <Op kOp>
__attribute__((target("avx512f"), always_inline)) inline void issue(Zmm& x, Zmm c, Zmm& memory) {
  if constexpr (kOp == Op::mul) {
    asm volatile("vmulpd %1, %0, %0" : "+v"(x) : "v"(c));
  } else if constexpr (kOp == Op::add) {
    asm volatile("vaddpd %1, %0, %0" : "+v"(x) : "v"(c));
  } else if constexpr (kOp == Op::mul_add) {
    Zmm t;
    asm volatile("vmulpd %2, %2, %1\n\tvaddpd %1, %0, %0" : "+v"(x), "=&v"(t) : "v"(c));
  } else if constexpr (kOp == Op::div) {
    asm volatile("vdivpd %1, %0, %0" : "+v"(x) : "v"(c));
  } else if constexpr (kOp == Op::cmp_blend) {
    asm volatile("vcmppd $14, %1, %0, %%k1\n\tvblendmpd %1, %0, %0%{%%k1%}"
                 : "+v"(x)
                 : "v"(c)
                 : "k1");
  } else if constexpr (kOp == Op::blend) {
    asm volatile("vblendmpd %1, %0, %0%{%%k1%}" : "+v"(x) : "v"(c) : "k1");
  } else if constexpr (kOp == Op::load) {
    asm volatile("vmovapd %1, %0" : "=v"(x) : "m"(memory));
  } else if constexpr (kOp == Op::store_load) {
    asm volatile("vmovapd %0, %1\n\tvmovapd %1, %0" : "+v"(x), "+m"(memory));
  } else {
    asm volatile("vmovapd %1, %0" : "=m"(memory) : "v"(x));
  }
}

// kRounds rounds on twelve registers, named one by one so that they stay
// registers.
template <Op kOp, bool kChain>
__attribute__((target("avx512f"), always_inline)) inline void rounds(Zmm* registers, Zmm c,
                                                                     Zmm* m) {
  Zmm x0 = registers[0], x1 = registers[1], x2 = registers[2], x3 = registers[3];
  Zmm x4 = registers[4], x5 = registers[5], x6 = registers[6], x7 = registers[7];
  Zmm x8 = registers[8], x9 = registers[9], x10 = registers[10], x11 = registers[11];
  for (int round = 0; round < kRounds; ++round) {
    if constexpr (kChain) {
      // Each instruction waits on the one before: the latency. (A lone load
      // or store has nothing to wait on; store_load is their chain.)
      for (int i = 0; i < kRegs; ++i) issue<kOp>(x0, c, m[0]);
      continue;
    }
    issue<kOp>(x0, c, m[0]), issue<kOp>(x1, c, m[1]), issue<kOp>(x2, c, m[2]);
    issue<kOp>(x3, c, m[3]), issue<kOp>(x4, c, m[4]), issue<kOp>(x5, c, m[5]);
    issue<kOp>(x6, c, m[6]), issue<kOp>(x7, c, m[7]), issue<kOp>(x8, c, m[8]);
    issue<kOp>(x9, c, m[9]), issue<kOp>(x10, c, m[10]), issue<kOp>(x11, c, m[11]);
  }
  registers[0] = x0, registers[1] = x1, registers[2] = x2, registers[3] = x3;
  registers[4] = x4, registers[5] = x5, registers[6] = x6, registers[7] = x7;
  registers[8] = x8, registers[9] = x9, registers[10] = x10, registers[11] = x11;
}

template <Op kOp, bool kChain>
__attribute__((target("avx512f"))) void measure(benchmark::State& state) {
  alignas(64) Zmm x[kRegs];
  alignas(64) Zmm memory[kRegs];
  Zmm one;
  for (int l = 0; l < 8; ++l) one[l] = 1.0;
  for (int i = 0; i < kRegs; ++i) x[i] = memory[i] = one;
  if constexpr (kOp == Op::blend || kOp == Op::cmp_blend) {
    asm volatile("kxnorb %%k1, %%k1, %%k1" ::: "k1");
  }
  const double before = cycles_per_second();
  for (auto _ : state) rounds<kOp, kChain>(x, one, memory);
  const double hz = (before + cycles_per_second()) / 2.0;
  benchmark::DoNotOptimize(x);
  const int per_round = kOp == Op::mul_add || kOp == Op::cmp_blend || kOp == Op::store_load ? 2 : 1;
  const double instructions = static_cast<double>(state.iterations()) * kRounds * kRegs * per_round;
  state.counters["per_cycle"] = benchmark::Counter(instructions / hz, benchmark::Counter::kIsRate);
  state.counters["GHz"] = hz / 1e9;
}

template <Op kOp, bool kChain>
void zmm(benchmark::State& state) {
  if (__builtin_cpu_supports("avx512f")) {
    measure<kOp, kChain>(state);
  } else {
    state.SkipWithError("no AVX-512F");
  }
}

#define NODREL_PORTS(name) BENCHMARK(zmm<Op::name, false>)->Name("ports/zmm/" #name)->MinTime(0.2)
#define NODREL_CHAIN(name) \
  BENCHMARK(zmm<Op::name, true>)->Name("ports/zmm/" #name "/chain")->MinTime(0.2)

NODREL_PORTS(mul);
NODREL_PORTS(add);
NODREL_PORTS(mul_add);
NODREL_PORTS(div);
NODREL_PORTS(cmp_blend);
NODREL_PORTS(blend);
NODREL_PORTS(load);
NODREL_PORTS(store);
NODREL_CHAIN(mul);
NODREL_CHAIN(add);
NODREL_CHAIN(mul_add);
NODREL_CHAIN(div);
NODREL_CHAIN(cmp_blend);
NODREL_CHAIN(blend);
NODREL_CHAIN(store_load);

}  // namespace
