#!/usr/bin/env python3
"""Turns the JSON output of bench/linalg_bench into a Markdown table of ratios.

Usage:
  build/bench/bench/linalg_bench --benchmark_out=run.json --benchmark_out_format=json \
      [--benchmark_repetitions=5]
  scripts/bench_table.py run.json [more.json ...] > table.md

Benchmarks are named <method>/<row>/<order>, the rows being nodrel, literal,
eigen (and snprintf for mPrint). Each cell is the median real time over the
repetitions (several files are pooled). A ratio is the throughput of Nodrel
divided by that of the other row, that is the other row's time divided by
Nodrel's: above 1, Nodrel is faster.
"""

import json
import statistics
import sys
from collections import defaultdict

UNITS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def load(paths):
    times = defaultdict(list)
    context = None
    for path in paths:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        context = context or data.get("context", {})
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate":
                continue
            parts = [p for p in b.get("run_name", b["name"]).split("/")
                     if not p.startswith("repeats:")]
            if len(parts) != 3:
                continue
            method, row, order = parts
            seconds = b["real_time"] * UNITS[b.get("time_unit", "ns")]
            times[(method, int(order), row)].append(seconds)
    return times, context or {}


def show_time(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:.3g} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    times, context = load(argv[1:])
    medians = {key: statistics.median(values) for key, values in times.items()}
    runs = {key: len(values) for key, values in times.items()}
    cases = sorted({(m, n) for (m, n, _) in medians}, key=lambda c: (c[0], c[1]))

    print(f"Machine: {context.get('host_name', '?')}, {context.get('num_cpus', '?')} CPUs at "
          f"{context.get('mhz_per_cpu', '?')} MHz; load average at start "
          f"{', '.join(f'{x:.2f}' for x in context.get('load_avg', []))}; "
          f"build: {context.get('library_build_type', '?')} Google Benchmark.")
    print()
    print("| method | order | Nodrel | literal reading | Eigen | Nodrel / literal | Nodrel / Eigen |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for method, n in cases:
        own = medians.get((method, n, "nodrel"))
        literal = medians.get((method, n, "literal"))
        other = medians.get((method, n, "eigen"), medians.get((method, n, "snprintf")))
        other_name = "snprintf" if (method, n, "snprintf") in medians else "Eigen"

        def cell(t):
            return show_time(t) if t is not None else "–"

        def ratio(t):
            return f"{t / own:.2f}" if t is not None and own else "–"

        count = runs.get((method, n, "nodrel"), 0)
        label = method if other_name == "Eigen" else f"{method} (vs {other_name})"
        print(f"| {label} | {n} | {cell(own)} ×{count} | {cell(literal)} | {cell(other)} | "
              f"{ratio(literal)} | {ratio(other)} |")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
