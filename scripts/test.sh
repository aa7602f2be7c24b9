#!/usr/bin/env bash
# The whole test suite from a fresh Debian 12 machine: set-up, build, ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build=${VIREL_BUILD:-$root/build}
cd "$build"
prefix="$build/wineprefix"

# Nothing the run started outlives it (Xvfb, wineserver, simulators, spreadsheet servers); a
# Wine server still there afterwards fails the run.
finish() {
    local rc=$?
    "$root/scripts/stop.sh" "$build"
    if WINEPREFIX="$prefix" wineserver -k0 </dev/null >/dev/null 2>&1; then
        echo "The test run's Wine server is still running after the run." >&2
        rc=1
    fi
    exit "$rc"
}
trap finish EXIT

# One Wine server for the whole run, so no case meets one on its way out.
if ! "$build/wine-run.sh"; then
    echo "The Wine server for the tests did not start." >&2
    exit 1
fi

# Cases that failed, however they failed: by an assertion, a crash, a time-out, or Wine itself
# (a wine client error ends a case with no assertion at all). Shown once more at the very end,
# where a truncated log still shows them.
summary() {
    local failed=Testing/Temporary/LastTestsFailed.log
    if [ ! -s "$failed" ]; then
        echo "=== no failed case recorded: see the output above ==="
        return
    fi
    echo "=== failed cases: $(grep -c "" "$failed") (their failed assertions, else their last lines) ==="
    awk -v failed="$failed" -v console="$console" -v max=30 '
        FILENAME == failed { sub(/^[0-9]+:/, ""); order[++n] = $0; wanted[$0] = 1; next }
        # ctest result of each case ("Failed", "***Timeout", "***Exception: SegFault", ...).
        FILENAME == console {
            if ($2 == "Test" && $3 ~ /^#[0-9]+:$/ && ($4 in wanted)) {
                rest = substr($0, index($0, $3) + length($3) + 1)
                sub(/^ */, "", rest)
                rest = substr(rest, length($4) + 1)
                sub(/^.*\.\.\. */, "", rest)
                gsub(/  +/, " ", rest)
                result[$4] = rest
            }
            next
        }
        # Each case'"'"'s block in LastTest.log: its output between "Output:" and "<end of output>".
        /^[0-9]+\/[0-9]+ Testing: / { name = substr($0, index($0, ": ") + 2); inside = 0; next }
        /^Output:$/ { if (name in wanted) { inside = 1; getline } ; next }
        /^<end of output>$/ { inside = 0; next }
        inside {
            line = substr($0, 1, 200)
            lines[name, ++count[name]] = line
            if (line ~ /^([^ ]*\.(cpp|h):[0-9]+|unknown file): Failure/) left[name] = 5
            if (left[name] > 0) { asserts[name, ++acount[name]] = line; left[name]-- }
        }
        END {
            for (i = 1; i <= n; i++) {
                t = order[i]
                if (i > max) { print "--- " t; continue }
                print "--- " t ": " (t in result ? result[t] : "failed") \
                      (acount[t] ? "" : ", no failed assertion")
                if (acount[t]) {
                    for (j = 1; j <= acount[t] && j <= 15; j++) print "    " asserts[t, j]
                } else {
                    for (j = (count[t] > 8 ? count[t] - 7 : 1); j <= count[t]; j++)
                        print "    " lines[t, j]
                }
            }
        }' "$failed" "$console" Testing/Temporary/LastTest.log || true
}

console="$build/Testing/Temporary/console.log"
mkdir -p "$(dirname "$console")"
rm -f Testing/Temporary/LastTestsFailed.log
status=0
ctest --output-on-failure -j 2 "$@" 2>&1 | tee "$console" || status=$?
[ "$status" = 0 ] || summary
exit "$status"
