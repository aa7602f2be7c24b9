#!/usr/bin/env bash
# The soak: a copy of the real program prints every 5 s against the simulated meter on COM1
# for an hour (or the given number of minutes); every record must be in its log once and in
# order, and its private memory, handles and GDI and USER objects, sampled every minute, must
# stay flat. Prints the figures and keeps them in <build>/soak/figures-<minutes>.txt.
#   scripts/soak.sh [minutes]
# Uses COM1 and the build's Wine prefix: not while the test suite runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIREL_BUILD:-$root/build}
minutes=${1:-60}
[ -x "$build/tests/e2e/e2e_soak_tests.exe" ] || "$root/scripts/build.sh"
# A copy of the test program, so that a rebuild meanwhile does not pull it from under the run.
mkdir -p "$build/soak"
cp "$build/tests/e2e/e2e_soak_tests.exe" "$build/soak/soak_tests.exe"
trap '"$root/scripts/stop.sh" "$build"' EXIT
"$root/scripts/sim.sh" start "$build" 1 --device 42 \
    --archive "$root/tests/e2e/archive.txt" >/dev/null
set +e
VIREL_SOAK_MINUTES=$minutes "$build/wine-run.sh" "$build/soak/soak_tests.exe" \
    --gtest_filter='Soak.*' 2>&1 | tee "$build/soak/figures-$minutes.txt"
rc=${PIPESTATUS[0]}
exit "$rc"
