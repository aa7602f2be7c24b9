#!/usr/bin/env bash
# Configures and builds everything into ${VIREL_BUILD:-build}: the Windows program, its tests,
# and the host build (portable code with sanitizers, simulated meter).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIREL_BUILD:-$root/build}
if [ ! -f "$build/build.ninja" ]; then
    # A compiler cache, where the machine has one, makes a second checkout's build cheap.
    launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" >/dev/null
fi
export CCACHE_BASEDIR="$root"
cmake --build "$build" -j "$(nproc)"
# Listing the tests runs each Windows test program under Wine, which starts this build's Xvfb
# and wineserver; a build leaves nothing running behind it.
"$root/scripts/stop.sh" "$build"
