#!/usr/bin/env bash
# The screenshots of the operator's guide (docs/ru/images), taken from the real program under
# Wine on a virtual display, so that the guide shows the program as it is. Run it after a change
# that shows in the windows, look at the pictures, and commit them.
#
#   scripts/guide-shots.sh
#
# Like scripts/run.sh it builds the program and starts it in a prefix of its own
# (<build>/shots) with a simulated meter on COM1 and the test spreadsheet server registered as
# "Excel.Application"; guide_shot_driver.exe presses the buttons as window messages.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build=${VIREL_BUILD:-$root/build}
exe="$build/app/VIREL1_Service.exe"
driver="$build/packaging/guide_shot_driver.exe"
shots="$build/shots"
images="$root/docs/ru/images"
run="$build/wine-run.sh"
# Unmanaged windows: with no window manager on the virtual display, Wine then draws the title
# bars and frames itself, as Windows does.
export VIREL_WINEPREFIX="$shots/wineprefix" VIREL_PORTS_DIR="$shots/ports" VIREL_UNMANAGED=1
unset DISPLAY
mkdir -p "$shots/ports" "$images"
trap '"$root/scripts/stop.sh" "$build"' EXIT

"$run" cmd /c exit 0 >/dev/null 2>&1 || true
# A new PC: no stored settings, so the window shows its designed values.
"$run" reg delete 'HKCU\Software\VIREL1_Service' /f >/dev/null 2>&1 || true
VIREL_SIM="$build/host/tools/simulator/virel1-sim" \
    "$root/scripts/sim.sh" start "$shots" 1 --device 42 --baud 9600 \
    --archive "$root/tests/e2e/archive.txt" >/dev/null
"$root/scripts/xlserver.sh" register "$build" --prefix "$shots/wineprefix" \
    --journal "$shots/sheets" >/dev/null

drive() { "$run" "$driver" "$@"; }
display() { cut -d' ' -f1 "$build/xvfb.display"; }
shot() {  # <window title> <file>
    local rect
    rect=$(drive rect "$1" | tr -d '\r')
    DISPLAY=":$(display)" import -window root -crop "$rect" +repage "$images/$2"
    echo "$images/$2"
}

title="ВИРЕЛ1 Сервис"
"$run" "$exe" &
program=$!
drive wait "$title"
sleep 1
drive select 1002 0  # COM1
drive select 1003 1  # 9600
drive click 1013     # "Завершение измерения"
sleep 1
shot "$title" main.png

drive command 101    # "О программе"
drive wait "О программе KESTA"
sleep 1
shot "О программе KESTA" about.png
drive close "О программе KESTA"

drive command 102    # "Читать архив в Excel"
drive wait "Считывание информации"
sleep 8  # a few records in
shot "Считывание информации" progress.png
main_rect=$(drive rect "$title" | tr -d '\r')
drive char "Считывание информации" 27  # Esc cancels the export
# The error box carries the program's title too; it is the one in front while it is open.
for _ in $(seq 1 100); do
    [ "$(drive rect "$title" | tr -d '\r')" != "$main_rect" ] && break
    sleep 0.1
done
sleep 1
shot "$title" cancelled.png
drive close "$title"  # the box
for _ in $(seq 1 100); do
    [ "$(drive rect "$title" | tr -d '\r')" = "$main_rect" ] && break
    sleep 0.1
done
drive close "$title"  # the program
for _ in $(seq 1 100); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
"$root/scripts/xlserver.sh" unregister "$build" --prefix "$shots/wineprefix" >/dev/null 2>&1 || true
