#!/usr/bin/env bash
# Builds and runs every test suite: the README's scripts/run.sh, the normal
# build, the sanitizer build, the 64-bit and 32-bit Windows builds under Wine,
# the battery's bits compared between Linux and Windows, the packages with a
# client of the installed one, and the fuzzers.
# Run as root on a fresh machine, it first installs the Debian packages the
# suites need.
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian packages the build and the tests need.
packages=(cmake g++ libgtest-dev libgmock-dev libbenchmark-dev
  libfltk1.3-dev libx11-dev xvfb xauth xdotool xclip libedit-dev)
# The fuzz targets: clang and its libFuzzer runtime; MPFR, the power's oracle.
packages+=(clang libclang-rt-14-dev libmpfr-dev)
# The Windows build: the mingw-w64 cross compilers, widl and the IDL files it
# imports, and Wine to run the tests.
packages+=(mingw-w64 mingw-w64-tools libwine-dev wine wine64)
# The 32-bit Windows build's tests: 32-bit Wine, from Debian's i386 archive.
packages+=(wine32:i386)
# The Debian package: cpack's dependency list comes from dpkg-shlibdeps.
packages+=(dpkg-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
      "${missing[@]}" >/dev/null
  else
    echo "Missing packages (run as root to install them): ${missing[*]}" >&2
    exit 1
  fi
fi

status=0
# The battery's outputs of an earlier run must not stand in for this one's.
rm -f build/*/tests/bits/battery.txt

# The README's main command, as a user runs it on the checkout: a Release
# build (no warning may reach the user) and one call through the host.
echo "=== scripts/run.sh ==="
run_start=$SECONDS
mkdir -p build
if scripts/run.sh mDet '[[2,1],[1,3]]' >build/run.out 2>build/run.err; then
  cat build/run.out
  grep -qx 'mDet = 5' build/run.out || { echo "run.sh: no 'mDet = 5'" >&2; status=1; }
  if grep -i 'warning' build/run.err; then echo "run.sh: the build warned" >&2; status=1; fi
else
  cat build/run.out build/run.err >&2
  status=1
fi
echo "run.sh stage: $((SECONDS - run_start)) s"

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

# The 32-bit server for 32-bit clients (VB6, 32-bit Office, the 32-bit
# script hosts), its tests under 32-bit Wine.
# A kernel built or booted without 32-bit support (ia32_emulation=off) runs
# no 32-bit program, 32-bit Wine included: there the 32-bit server is built
# (it must compile and link warning-free) and its tests are reported as not
# run, which is said in the output, never passed over in silence.
echo "=== windows32 build ==="
windows32_start=$SECONDS
cmake --preset windows32 >/dev/null
cmake --build --preset windows32
windows_presets=(windows)
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  windows_presets+=(windows32)
  WINEDEBUG=-all ctest --preset windows32 --output-on-failure -LE stress || status=1
else
  echo "windows32: built; its suite, battery and stress NOT RUN: 32-bit Wine does not start here ($(/usr/lib/wine/wine --version 2>&1 | tail -n 1)): this kernel runs no 32-bit program"
fi
echo "windows32 stage: $((SECONDS - windows32_start)) s"

# The same bits on every platform: the seeded battery of calls to all the
# methods (tests/bits/battery.cpp) prints every result as exact bits, and
# each build's CTest run above wrote its output (tests/bits/battery.txt); the
# Windows builds, run under Wine, must have printed the bytes of the Linux
# build. A difference fails the run and shows the first differing lines.
echo "=== same bits: the battery on Linux and under Wine ==="
linux=build/default/tests/bits/battery.txt
for preset in "${windows_presets[@]}"; do
  other="build/${preset}/tests/bits/battery.txt"
  if [ -s "$linux" ] && cmp -s "$linux" "$other"; then
    echo "${preset}: the same $(wc -c <"$linux") bytes as Linux"
  else
    echo "${preset}: other bits than Linux; the first differences:"
    diff "$linux" "$other" | head -n 20 || true
    status=1
  fi
done

# The randomized COM client of both servers under Wine's heap checking (its
# test sets WINEDEBUG=warn+heap and fails on any heap warning): one seed's
# 4,000 calls, made three times. scripts/fuzz.sh runs it for longer.
for preset in "${windows_presets[@]}"; do
  echo "=== ${preset} COM stress, heap-checked ==="
  ctest --preset "$preset" --output-on-failure -L stress || status=1
done

# Concurrent clients under ThreadSanitizer: one small test binary.
echo "=== tsan build ==="
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan || status=1

# The packages, from Release build trees that exist already: the Debian
# package from run.sh's build, the Windows zip from both Windows builds. The
# Debian package is installed, a client built against it in Release, and
# removed again.
echo "=== packages ==="
packages_start=$SECONDS
rm -rf build/packages
cpack --config build/run/CPackConfig.cmake -B build/packages >/dev/null
cpack --config build/windows/CPackConfig.cmake -B build/packages >/dev/null
ls build/packages/*.deb build/packages/*.zip
zip_listing=$(cmake -E tar tf build/packages/nodrel-*-windows.zip)
for f in x64/nodrel.dll x64/nodrel.tlb x86/nodrel.dll x86/nodrel.tlb register.cmd \
    unregister.cmd include/nodrel/com/nodrel_h.h include/nodrel/com/nodrel_i.c; do
  grep -q "/$f\$" <<<"$zip_listing" || { echo "Windows package: no $f" >&2; status=1; }
done
if [ "$(id -u)" -eq 0 ]; then
  dpkg -i build/packages/nodrel_*.deb >/dev/null
  package_root=/usr
else
  # Without root, the package's files unpacked stand in for the installed ones.
  dpkg-deb -x build/packages/nodrel_*.deb build/packages/root
  package_root=$PWD/build/packages/root/usr
  export LD_LIBRARY_PATH=$package_root/lib
fi
rm -rf build/package-client
if cmake -S tests/package -B build/package-client -DCMAKE_BUILD_TYPE=Release \
     -DCMAKE_PREFIX_PATH="$package_root" >/dev/null &&
   grep -qx "Nodrel_DIR:PATH=$package_root/lib/cmake/Nodrel" build/package-client/CMakeCache.txt &&
   cmake --build build/package-client &&
   build/package-client/package_client &&
   "$package_root/bin/nodrel" mDet '[[2,1],[1,3]]' | grep -qx 'mDet = 5'; then
  echo "package client: ok"
else
  echo "package client: failed" >&2
  status=1
fi
if [ "$(id -u)" -eq 0 ]; then dpkg -r nodrel >/dev/null; fi
unset LD_LIBRARY_PATH
echo "packages stage: $((SECONDS - packages_start)) s"

# Fuzzing: each libFuzzer target of fuzz/ runs for a fixed time, starting
# from its seed corpus (fuzz/corpus/<target>) and what earlier runs found
# (build/fuzz/corpus/<target>). A finding fails the run; its input is kept in
# build/fuzz/findings/<target>/ and reproduces with
#   build/fuzz/fuzz/fuzz_<target> build/fuzz/findings/<target>/<file>
echo "=== fuzz build ==="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for target in number_text format script invoke power; do
  echo "=== fuzz_${target} ==="
  mkdir -p "build/fuzz/corpus/${target}" "build/fuzz/findings/${target}"
  UBSAN_OPTIONS=print_stacktrace=1 "build/fuzz/fuzz/fuzz_${target}" -max_total_time=40 \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="build/fuzz/findings/${target}/" \
    "build/fuzz/corpus/${target}" "fuzz/corpus/${target}" 2>&1 |
    sed -E '/^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse|RELOAD)/d; /^("|###### )/d' || status=1
done
exit $status
