#!/usr/bin/env bash
# Builds VIREL1_Service.exe and starts it under Wine in the build's private prefix.
# With an X display ($DISPLAY) the program runs there until you close it. Without one it runs
# on a private virtual display: the script waits for the main window, saves a screenshot of it
# to the path it prints, and closes the program again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build=${VIREL_BUILD:-$root/build}
exe="$build/app/VIREL1_Service.exe"
run="$build/wine-run.sh"  # the build's prefix, Russian regional settings, COM1..COM8

if [ -n "${DISPLAY:-}" ]; then
    exec "$run" "$exe"
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
