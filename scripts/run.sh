#!/usr/bin/env bash
# Builds Nodrel, installs it into build/stage and runs the `nodrel` host.
# With no arguments the host runs its built-in tour; any arguments are passed
# on to it (`scripts/run.sh mDet '[[2,1],[1,3]]'`, `scripts/run.sh --help`).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ libedit-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})) && [ "$(id -u)" -eq 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
    "${missing[@]}" >/dev/null
fi

cmake -S . -B build/run -DCMAKE_BUILD_TYPE=Release -DNODREL_BUILD_TESTS=OFF >/dev/null
cmake --build build/run -j2 >/dev/null
cmake --install build/run --prefix build/stage >/dev/null
exec build/stage/bin/nodrel "$@"
