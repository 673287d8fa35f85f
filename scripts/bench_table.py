#!/usr/bin/env python3
"""Turns the JSON output of bench/linalg_bench into a Markdown table of ratios.

Usage (one run single-threaded, one with every core for the OpenMP rows):
  NODREL_THREADS=1 build/bench/bench/linalg_bench --benchmark_out=one.json \
      --benchmark_out_format=json
  build/bench/bench/linalg_bench --benchmark_out=all.json --benchmark_out_format=json \
      --benchmark_filter='^(mMult|mDet)/(nodrel|eigen-native-omp)/(512|1000)/'
  scripts/bench_table.py [--cpu] one.json [all.json ...] > table.md

Benchmarks are named <method>/<row>/<order>, the rows being nodrel, literal,
eigen-<flavor> (and snprintf for mPrint). Each cell is the median real time
(CPU time with --cpu, for a loaded machine: in the single-threaded runs
only, since it counts the main thread alone) over the repetitions; files run with the same thread count are pooled. A ratio is
the other row's time divided by Nodrel's, both from runs with the same
thread count (so from one process when one file per count is given): above
1, Nodrel is faster. The single-threaded columns come from the runs with
NODREL_THREADS=1, the OpenMP column from the others. "Same ISA" is the
widest Eigen flavor without FMA at or below Nodrel's kernels (Eigen has no
AVX-512 without FMA).
"""

import json
import statistics
import sys
from collections import defaultdict

UNITS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
SAME_ISA = {"baseline": "eigen-sse2", "avx2": "eigen-avx2", "avx512": "eigen-avx2"}


def load(paths, cpu):
    """Times per thread count: {threads: {(method, order, row): [seconds]}}."""
    runs = defaultdict(lambda: defaultdict(list))
    contexts = []
    for path in paths:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        context = data.get("context", {})
        contexts.append((path, context))
        threads = int(context.get("nodrel_threads", "1"))
        # CPU time counts the main thread only: never for threaded rows.
        kind = "cpu_time" if cpu and threads == 1 else "real_time"
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate":
                continue
            parts = [p for p in b.get("run_name", b["name"]).split("/")
                     if not p.startswith("repeats:")]
            if len(parts) != 3:
                continue
            method, row, order = parts
            seconds = b[kind] * UNITS[b.get("time_unit", "ns")]
            runs[threads][(method, int(order), row)].append(seconds)
    return runs, contexts


def show_time(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:.3g} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


def main(argv):
    cpu = "--cpu" in argv
    paths = [a for a in argv[1:] if a != "--cpu"]
    if not paths:
        print(__doc__, file=sys.stderr)
        return 2
    runs, contexts = load(paths, cpu)
    medians = {t: {k: statistics.median(v) for k, v in times.items()}
               for t, times in runs.items()}
    single = medians.get(1, {})
    multi_threads = max((t for t in medians if t > 1), default=None)
    multi = medians.get(multi_threads, {})

    kernels = "?"
    for path, c in contexts:
        kernels = c.get("nodrel_kernels", kernels)
        print(f"{path}: {c.get('host_name', '?')}, {c.get('num_cpus', '?')} CPUs at "
              f"{c.get('mhz_per_cpu', '?')} MHz; load average at start "
              f"{', '.join(f'{x:.2f}' for x in c.get('load_avg', []))}; Nodrel kernels "
              f"{c.get('nodrel_kernels', '?')}, threads {c.get('nodrel_threads', '?')}.")
        for key in sorted(k for k in c if k.startswith("eigen-")):
            print(f"  {key}: {c[key]}")
    print()
    same_isa = SAME_ISA.get(kernels, "eigen-sse2")
    time_kind = "CPU time (real time with threads)" if cpu else "real time"
    print(f"Medians of the {time_kind}; ratio = Eigen's time / Nodrel's (above 1 Nodrel is "
          f"faster); Nodrel's kernels: {kernels}.")
    print()
    print(f"| method | order | Nodrel, 1 thread | / literal | / Eigen SSE2 | "
          f"/ Eigen {same_isa.replace('eigen-', '').upper()} no FMA | "
          f"/ Eigen native | Nodrel, {multi_threads or '–'} threads | / Eigen native + OpenMP |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    cases = sorted({(m, n) for times in medians.values() for (m, n, _) in times})
    for method, n in cases:
        own = single.get((method, n, "nodrel"))
        own_multi = multi.get((method, n, "nodrel"))

        def cell(t):
            return show_time(t) if t is not None else "–"

        def ratio(t, base):
            return f"{t / base:.2f}" if t is not None and base else "–"

        literal = single.get((method, n, "literal"), single.get((method, n, "snprintf")))
        label = method if (method, n, "snprintf") not in single else f"{method} (vs snprintf)"
        print(f"| {label} | {n} | {cell(own)} | {ratio(literal, own)} | "
              f"{ratio(single.get((method, n, 'eigen-sse2')), own)} | "
              f"{ratio(single.get((method, n, same_isa)), own)} | "
              f"{ratio(single.get((method, n, 'eigen-native')), own)} | {cell(own_multi)} | "
              f"{ratio(multi.get((method, n, 'eigen-native-omp')), own_multi)} |")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
