#!/usr/bin/env bash
# The central registry's benchmarks against a private PostgreSQL server (scripts/pg-test-server.sh),
# after scripts/build.sh:
#   bench/registry-bench.sh [<build>] [--no-wine]
# natively: 10,000 waiting records pushed, 50 rooms pushing 1,000 records each at once, a year's
# report over 50 rooms of 20,000 records (about 1,000,000); under Wine: the 10,000 pushed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
server="$build/pg-bench"
work="$build/registry-bench"
"$root/scripts/pg-test-server.sh" start "$server" >/dev/null
trap '"$root/scripts/pg-test-server.sh" stop "$server"' EXIT
connection=$(cat "$server/connection")
password=$(cat "$server/password")
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
native="$build/host/bench/RegistryBench"
echo "== natively: 10,000 waiting records"
"$native" push "$connection" "$password" "$work"
"$native" push "$connection" "$password" "$work"
echo "== natively: 50 rooms at once"
"$native" rooms "$connection" "$password" "$work" 50 1000
echo "== natively: a year's report over 50 rooms"
"$native" report "$connection" "$password" "$work" 50 20000
if [ "${2:-}" != "--no-wine" ] && [ -x "$build/wine-run.sh" ]; then
    echo "== under Wine: 10,000 waiting records"
    "$build/wine-run.sh" "$build/bench/RegistryBench.exe" push "$connection" "$password" \
        "Z:$work"
    "$build/wine-run.sh" "$build/bench/RegistryBench.exe" push "$connection" "$password" \
        "Z:$work"
fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
rm -rf "$work"
