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
status=0
ctest --output-on-failure -j 2 "$@" || status=$?
if [ "$status" != 0 ]; then
    # The failed assertions once more at the very end, where a truncated log still shows them.
    echo "=== failed assertions ==="
    grep -h -A4 -E "^[^ ]*\.cpp:[0-9]+: Failure|^\[  FAILED  \]|^Test timeout|\*\*\*Timeout" \
        Testing/Temporary/LastTest.log 2>/dev/null | cut -c1-200 | head -80 || true
fi
exit "$status"
