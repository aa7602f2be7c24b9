#!/usr/bin/env bash
# Ends what a build's test or demonstration run started: simulated meters, the Wine processes
# of its prefixes (services, spreadsheet servers, wineserver) and its private Xvfb.
#   scripts/stop.sh [<build>]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${VIREL_BUILD:-$root/build}}
[ -d "$build" ] || exit 0
build=$(cd "$build" && pwd)  # Wine takes only an absolute prefix
"$root/scripts/sim.sh" stop-all "$build" >/dev/null 2>&1 || true
for extra in "$build/demo" "$build/shots"; do
    [ -d "$extra" ] && "$root/scripts/sim.sh" stop-all "$extra" >/dev/null 2>&1
done
# The test prefixes (the one at 96 dpi and the high-dpi tests' own), the demonstration's and the
# screenshots'.
for prefix in "$build"/wineprefix* "$build/demo/wineprefix" "$build/shots/wineprefix"; do
    [ -f "$prefix/system.reg" ] || continue
    WINEPREFIX="$prefix" wineserver -k </dev/null >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" timeout 20 wineserver -w </dev/null >/dev/null 2>&1 || true
    # A server held for a run (wine-run.sh) that did not go on request goes for certain.
    if WINEPREFIX="$prefix" wineserver -k0 </dev/null >/dev/null 2>&1; then
        WINEPREFIX="$prefix" wineserver -k9 </dev/null >/dev/null 2>&1 || true
        WINEPREFIX="$prefix" timeout 5 wineserver -w </dev/null >/dev/null 2>&1 || true
    fi
done
# A registry test server (scripts/pg-test-server.sh) left by an aborted run: stopped and removed.
for pid_file in "$build"/pg*/data/postmaster.pid "$build"/host/pg*/data/postmaster.pid; do
    [ -f "$pid_file" ] || continue
    "$root/scripts/pg-test-server.sh" stop "$(dirname "$(dirname "$pid_file")")" >/dev/null 2>&1 || true
done
# A full-disk test mounts a tiny file system inside the build; one left behind by an aborted
# run goes too.
awk -v b="$build/" '$1 == "virel-full-disk" && index($2, b) == 1 { print $2 }' /proc/mounts \
    2>/dev/null | while read -r m; do umount "$m" 2>/dev/null || true; done
if [ -f "$build/xvfb.display" ]; then
    read -r n pid <"$build/xvfb.display" || true
    if [ -n "${pid:-}" ] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q "^Xvfb :$n "; then
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$build/xvfb.display"
fi
exit 0
