#!/usr/bin/env bash
# Builds and runs every test suite: the normal build, the sanitizer build,
# the Windows build under Wine and the fuzzers.
# Run as root on a fresh machine, it first installs the Debian packages the
# suites need.
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian packages the build and the tests need.
packages=(cmake g++ libgtest-dev libgmock-dev libbenchmark-dev
  libfltk1.3-dev libx11-dev xvfb xauth xdotool xclip)
# The fuzz targets: clang and its libFuzzer runtime.
packages+=(clang libclang-rt-14-dev)
# The Windows build: the mingw-w64 cross compilers, widl and the IDL files it
# imports, and Wine to run the tests.
packages+=(mingw-w64 mingw-w64-tools libwine-dev wine wine64)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
      "${missing[@]}" >/dev/null
  else
    echo "Missing packages (run as root to install them): ${missing[*]}" >&2
    exit 1
  fi
fi

status=0
for preset in default asan; do
  echo "=== ${preset} build ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" --output-on-failure || status=1
done

# The Windows build, cross-compiled, its tests run under Wine in a prefix of
# the build's own.
echo "=== windows build ==="
cmake --preset windows >/dev/null
cmake --build --preset windows
WINEDEBUG=-all ctest --preset windows --output-on-failure -LE stress || status=1

# The randomized COM client under Wine's heap checking (its test sets
# WINEDEBUG=warn+heap and fails on any heap warning): a few seeds of 20,000
# calls each. scripts/fuzz.sh runs it for longer.
echo "=== windows COM stress, heap-checked ==="
ctest --preset windows --output-on-failure -L stress || status=1

# Concurrent clients under ThreadSanitizer: one small test binary.
echo "=== tsan build ==="
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan || status=1

# Fuzzing: each libFuzzer target of fuzz/ runs for a fixed time, starting
# from its seed corpus (fuzz/corpus/<target>) and what earlier runs found
# (build/fuzz/corpus/<target>). A finding fails the run; its input is kept in
# build/fuzz/findings/<target>/ and reproduces with
#   build/fuzz/fuzz/fuzz_<target> build/fuzz/findings/<target>/<file>
echo "=== fuzz build ==="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for target in number_text format script invoke; do
  echo "=== fuzz_${target} ==="
  mkdir -p "build/fuzz/corpus/${target}" "build/fuzz/findings/${target}"
  UBSAN_OPTIONS=print_stacktrace=1 "build/fuzz/fuzz/fuzz_${target}" -max_total_time=40 \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="build/fuzz/findings/${target}/" \
    "build/fuzz/corpus/${target}" "fuzz/corpus/${target}" 2>&1 |
    sed -E '/^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse|RELOAD)/d; /^("|###### )/d' || status=1
done
exit $status
