#!/usr/bin/env bash
# The whole test suite from a fresh Debian 12 machine: set-up, build, ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build=${VIREL_BUILD:-$root/build}
cd "$build"
# Nothing the run started outlives it (Xvfb, wineserver, simulators, spreadsheet servers).
trap '"$root/scripts/stop.sh" "$build"' EXIT
ctest --output-on-failure -j 2 "$@"
