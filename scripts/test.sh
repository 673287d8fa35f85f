#!/usr/bin/env bash
# Builds and runs every test suite: the normal build and the sanitizer build.
# Run as root on a fresh machine, it first installs the Debian packages the
# suites need.
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian packages the build and the tests need.
packages=(cmake g++ libgtest-dev libgmock-dev libbenchmark-dev
  libfltk1.3-dev libx11-dev xvfb xauth xdotool xclip)

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
exit $status
