#!/usr/bin/env bash
# The spreadsheet automation server (VirelSheetServer.exe, registered as "Excel.Application")
# in a Wine prefix, for the archive export in tests and demonstrations.
#
#   scripts/xlserver.sh register   <build> [--journal DIR] [--prefix DIR]
#   scripts/xlserver.sh unregister <build> [--prefix DIR]
#   scripts/xlserver.sh quit       <build> [--prefix DIR]      end every running instance
#   scripts/xlserver.sh start      <build> [--visible] [--journal DIR] [--prefix DIR]
#                                  a running instance, as if a person had opened it
#   scripts/xlserver.sh latest     <build> [--journal DIR]     folder of the newest session
#
# Defaults: prefix <build>/wineprefix, journal <build>/xljournal. Each server process writes
# <journal>/<session>/journal.txt (every call it receives) and <workbook>.csv (the sheets,
# UTF-8); <journal>/latest.txt names the newest session. Failures on demand go into
# <journal>/control.txt (see tools/xlserver/ServerControl.h), read at every call.
set -euo pipefail

usage() { sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

[ $# -ge 2 ] || usage
command=$1
build=$(cd "$2" && pwd)
shift 2
prefix="" journal="$build/xljournal" visible=""
while [ $# -gt 0 ]; do
    case $1 in
        --prefix) prefix=$(realpath -m "$2"); shift 2 ;;
        --journal) journal=$(realpath -m "$2"); shift 2 ;;
        --visible) visible=" /visible"; shift ;;
        *) usage ;;
    esac
done
server="$build/tools/xlserver/VirelSheetServer.exe"
[ -f "$server" ] || { echo "no $server: build the VirelSheetServer target first" >&2; exit 1; }

# Wine sees the Unix file system as drive Z:.
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# Runs the server under Wine and waits for it. Output goes through files: Wine's helper
# processes inherit the descriptors and would keep a pipe open.
run_server() {
    if [ -z "$prefix" ]; then
        "$build/wine-run.sh" "$server" "$@"
        return
    fi
    local out rc=0
    out=$(mktemp)
    WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        wine "$server" "$@" >"$out" 2>&1 </dev/null || rc=$?
    cat "$out"
    rm -f "$out"
    return $rc
}

case $command in
    register)
        mkdir -p "$journal"
        run_server /quit /regserver /journal "$(winpath "$journal")"
        echo "registered $(winpath "$server") as Excel.Application; journal in $journal"
        ;;
    unregister)
        run_server /quit /unregserver
        ;;
    quit)
        run_server /quit
        ;;
    start)
        mkdir -p "$journal"
        before=$(cat "$journal/latest.txt" 2>/dev/null || true)
        # Started detached: the instance outlives this script, like a program a person opened.
        if [ -z "$prefix" ]; then
            setsid "$build/wine-run.sh" "$server" /run$visible /journal "$(winpath "$journal")" \
                </dev/null >/dev/null 2>&1 &
        else
            WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
                setsid wine "$server" /run$visible /journal "$(winpath "$journal")" \
                </dev/null >/dev/null 2>&1 &
        fi
        for _ in $(seq 1 100); do
            now=$(cat "$journal/latest.txt" 2>/dev/null || true)
            if [ -n "$now" ] && [ "$now" != "$before" ] &&
                grep -q ' Server ready ' "$journal/$now/journal.txt" 2>/dev/null; then
                echo "running; journal in $journal/$now"
                exit 0
            fi
            sleep 0.2
        done
        echo "the server did not start" >&2
        exit 1
        ;;
    latest)
        session=$(cat "$journal/latest.txt" 2>/dev/null) || { echo "no session in $journal" >&2; exit 1; }
        echo "$journal/$session"
        ;;
    *)
        usage
        ;;
esac
