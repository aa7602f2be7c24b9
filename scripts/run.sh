#!/usr/bin/env bash
# Builds VIREL1_Service.exe and starts it under Wine with a simulated ВИРЕЛ-1 meter on COM1 and
# the test spreadsheet server registered as "Excel.Application", in a demonstration prefix of
# its own (<build>/demo), so nothing but the program itself is needed.
#
# With an X display ($DISPLAY) the program runs there until you close it. Without one it runs
# on a private virtual display: the script waits for the main window, saves a screenshot of it
# to the path it prints, and closes the program again.
#
# A real meter instead of the simulated one: VIREL_METER=/dev/ttyUSB0 scripts/run.sh
# (COM1 of the demonstration prefix then leads to that device; choose "COM1" in the window).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build=${VIREL_BUILD:-$root/build}
exe="$build/app/VIREL1_Service.exe"
demo="$build/demo"
run="$build/wine-run.sh"  # Russian regional settings, COM1..COM8 mapped to $demo/ports/comN
export VIREL_WINEPREFIX="$demo/wineprefix" VIREL_PORTS_DIR="$demo/ports" VIREL_UNMANAGED=0
mkdir -p "$demo/ports"

# The prefix is made on first use.
"$run" cmd /c exit 0 >/dev/null 2>&1 || true

# The meter behind COM1.
if [ -n "${VIREL_METER:-}" ]; then
    ln -sfn "$VIREL_METER" "$demo/ports/com1"
    echo "COM1 leads to $VIREL_METER"
else
    VIREL_SIM="$build/host/tools/simulator/virel1-sim" \
        "$root/scripts/sim.sh" start "$demo" 1 --device 42 --baud 9600 >/dev/null
    echo "Simulated meter on COM1 (every byte on the line: $demo/sim/port1.log)"
fi
# At the end the meter, the prefix's Wine processes and the private Xvfb go too.
trap '"$root/scripts/stop.sh" "$build"' EXIT

# The spreadsheet for "Читать архив в Excel": each export's sheet lands as CSV in the journal.
"$root/scripts/xlserver.sh" register "$build" --prefix "$demo/wineprefix" \
    --journal "$demo/sheets" >/dev/null
echo "Archive exports are written to $demo/sheets/<session>/Book1.csv"

if [ -n "${DISPLAY:-}" ]; then
    "$run" "$exe"
    exit 0
fi

# No display: wine-run.sh starts a private Xvfb for the build and notes its number.
"$run" "$exe" &
program=$!
shot="$build/VIREL1_Service.png"
title="ВИРЕЛ1 Сервис"
window=""
for _ in $(seq 1 300); do
    if [ -f "$build/xvfb.display" ]; then
        export DISPLAY=":$(cut -d' ' -f1 "$build/xvfb.display")"
        window=$(xwininfo -root -tree 2>/dev/null | LC_ALL=C grep -F "\"$title\"" |
                 awk '{print $1; exit}') || true
        [ -n "$window" ] && break
    fi
    kill -0 "$program" 2>/dev/null || break
    sleep 0.2
done
if [ -z "$window" ]; then
    echo "The main window did not appear." >&2
    kill "$program" 2>/dev/null || true
    exit 1
fi
sleep 1  # let it paint
import -window "$window" "$shot"
echo "Screenshot of the main window: $shot"

# Close it as the operator would (taskkill without /f sends the window a close request).
"$run" taskkill /im VIREL1_Service.exe >/dev/null 2>&1 || true
for _ in $(seq 1 100); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
    kill "$program" 2>/dev/null || true
fi
wait "$program" 2>/dev/null || true
