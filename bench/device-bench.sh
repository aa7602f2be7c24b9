#!/usr/bin/env bash
# Runs DeviceBench against a simulated meter on COM6 of the build's Wine prefix, each case
# through the old busy read loop and through ReadData: 20 ends of measurement, a silent meter,
# a port that cannot be opened and the whole archive into an xlsx file, at 4800 and 9600 baud,
# and the harvest without a window against the file export, three rounds each;
# then the whole archive export at 9600 baud into the test spreadsheet server (about five
# minutes for both loops; --no-export leaves it out).
#   bench/device-bench.sh [build] [--no-export]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
export_too=1
for arg in "$@"; do
    case "$arg" in
    --no-export) export_too=0 ;;
    *) build=$arg ;;
    esac
done
build=$(realpath "$build")
run="$build/wine-run.sh"
bench="$build/bench/DeviceBench.exe"
ctl="$build/sim/port6.ctl"
"$root/scripts/sim.sh" start "$build" 6 --device 42 >/dev/null
cleanup() {
    "$root/scripts/sim.sh" stop "$build" 6 >/dev/null
    "$root/scripts/xlserver.sh" unregister "$build" >/dev/null 2>&1 || true
}
trap cleanup EXIT
for speed in 0 1; do
    baud=$([ $speed = 0 ] && echo 4800 || echo 9600)
    echo "baud=$baud" >"$ctl"
    "$run" "$bench" print 6 $speed 20
    printf 'baud=%s\nsilent=1\n' "$baud" >"$ctl"
    "$run" "$bench" silent 6 $speed
    "$run" "$bench" noport 6 $speed
    echo "baud=$baud" >"$ctl"
    "$run" "$bench" file 6 $speed "Z:$build/bench/archive-$baud.xlsx"
    "$run" "$bench" harvest 6 $speed 3 "Z:$build/bench"
done
if [ "$export_too" = 1 ]; then
    echo "baud=9600" >"$ctl"
    "$root/scripts/xlserver.sh" register "$build" >/dev/null
    "$run" "$bench" export 6 1
fi
