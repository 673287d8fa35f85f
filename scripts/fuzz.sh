#!/usr/bin/env bash
# A long fuzz campaign, outside CI:
#
#   scripts/fuzz.sh DURATION [JOBS]
#
# runs every libFuzzer target of fuzz/ for DURATION seconds each (JOBS
# processes per target, 1 by default), at low priority, growing the corpus
# kept in build/fuzz/corpus/<target> from the seeds in fuzz/corpus/<target>.
# Findings land in build/fuzz/findings/<target>/. Then, when the Windows build
# is there, the randomized COM client (Stress.* of tests/com/calls_test.cpp)
# runs under Wine with heap checking for the same time, for each Windows build
# there is: 4,000 calls per seed (made three times), new seeds each run (the
# first seed is the one after the last run's, kept in
# build/windows/stress-next-seed).
#
# Each target's executions and findings are printed at the end; the script
# ends with 1 when any target found something.
set -uo pipefail
cd "$(dirname "$0")/.."
duration=${1:?usage: scripts/fuzz.sh DURATION [JOBS]}
jobs=${2:-1}

status=0
summary=()
if [ ! -x build/fuzz/fuzz/fuzz_invoke ]; then
  cmake --preset fuzz >/dev/null && nice -n 19 cmake --build --preset fuzz || exit 1
fi
for target in number_text format script invoke power; do
  corpus="build/fuzz/corpus/${target}"
  findings="build/fuzz/findings/${target}"
  mkdir -p "$corpus" "$findings"
  log="build/fuzz/campaign-${target}.log"
  UBSAN_OPTIONS=print_stacktrace=1 nice -n 19 "build/fuzz/fuzz/fuzz_${target}" \
    -max_total_time="$duration" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -jobs="$jobs" -workers="$jobs" -artifact_prefix="${findings}/" \
    "$corpus" "fuzz/corpus/${target}" >"$log" 2>&1 || status=1
  # With -jobs, each job's own log (fuzz-N.log) holds its count, and the
  # campaign's log repeats one of them: count the jobs' logs where there are.
  counted=("$log")
  compgen -G 'fuzz-*.log' >/dev/null && counted=(fuzz-*.log)
  runs=$(grep -h '^stat::number_of_executed_units' "${counted[@]}" 2>/dev/null |
    awk '{s += $2} END {print s + 0}')
  summary+=("fuzz_${target}: ${runs} executions, $(ls "$findings" | wc -l) findings")
done
rm -f fuzz-*.log

# The COM stress, for each Windows build there is (64-bit and 32-bit), each
# for DURATION seconds.
for build in windows windows32; do
  stress=$(find "build/${build}" -name nodrel_com_tests.exe 2>/dev/null | head -n 1)
  [ -n "$stress" ] || continue
  if [ "$build" = windows32 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    summary+=("${build} COM stress: not run (this machine runs no 32-bit program)")
    continue
  fi
  loader=wine
  [ "$build" = windows ] && [ -x /usr/lib/wine/wine64 ] && loader=/usr/lib/wine/wine64
  seed_file="build/${build}/stress-next-seed"
  seed=$(cat "$seed_file" 2>/dev/null || echo 1000)
  calls=0
  end=$((SECONDS + duration))
  while [ $SECONDS -lt $end ]; do
    log="build/${build}/stress.log"
    if ! (cd "$(dirname "$stress")" && WINEDEBUG=warn+heap NODREL_STRESS_SEED=$seed nice -n 19 sh \
      "$OLDPWD/cmake/toolchains/wine-run.sh" "$loader" "$OLDPWD/build/${build}/wineprefix" \
      "$OLDPWD/build/${build}" "$(basename "$stress")" --gtest_filter='Stress.*') >"$log" 2>&1 ||
      grep -Eq '(warn|err):heap' "$log"; then
      status=1
      cp "$log" "build/${build}/stress-failed-seed-${seed}.log"
    fi
    calls=$((calls + 12000))  # each seed's calls, made three times
    seed=$((seed + 1))
  done
  echo "$seed" >"$seed_file"
  summary+=("COM stress (${build}): ${calls} calls")
done
printf '%s\n' "${summary[@]}"
exit $status
