#!/usr/bin/env bash
# Configures and builds everything into ${VIREL_BUILD:-build}: the Windows program, its tests,
# and the host build (portable code with sanitizers, simulated meter).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIREL_BUILD:-$root/build}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" >/dev/null
fi
cmake --build "$build" -j "$(nproc)"
