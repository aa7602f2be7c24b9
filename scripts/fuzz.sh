#!/usr/bin/env bash
# Runs the fuzz targets (fuzz/*_fuzz.cpp) from their committed seeds, one after the other, each
# for a while (10 minutes by default), nice'd, and prints executions and findings per target.
#   scripts/fuzz.sh [--build DIR] [--time SECONDS] [TARGET...]
# Targets are named without "_fuzz" (record, placement, ...); none given: all of them.
# They are built in <build>/fuzz (--fuzz-build DIR: elsewhere). The growing corpus of each
# target stays in <build>/fuzz/work/<target>/corpus between runs; an input that breaks a rule
# or crashes lands in <build>/fuzz/work/<target>/ as crash-*, and the target's output in
# last.log beside it. Replay one with <build>/fuzz/<target>_fuzz <file>.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIREL_BUILD:-$root/build}
seconds=600
fuzzbuild=""
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --fuzz-build) fuzzbuild=$2; shift 2 ;;
        --time) seconds=$2; shift 2 ;;
        -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
        *) targets+=("$1"); shift ;;
    esac
done
fuzzbuild=${fuzzbuild:-$build/fuzz}

# By hand the targets are built first; from the test suite they are there already.
if [ -z "${VIREL_FUZZ_NO_BUILD:-}" ]; then
    if [ ! -f "$fuzzbuild/build.ninja" ]; then
        cmake -S "$root/fuzz" -B "$fuzzbuild" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
            -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
    fi
    cmake --build "$fuzzbuild" >/dev/null || { cmake --build "$fuzzbuild"; exit 1; }
fi
if [ ${#targets[@]} -eq 0 ]; then
    for f in "$root"/fuzz/*_fuzz.cpp; do
        t=$(basename "$f" _fuzz.cpp)
        targets+=("$t")
    done
fi

failed=0
for t in "${targets[@]}"; do
    bin="$fuzzbuild/${t}_fuzz"
    seeds="$root/fuzz/corpus/$t"
    work="$fuzzbuild/work/$t"
    if [ ! -x "$bin" ] || [ ! -d "$seeds" ]; then
        echo "$t: no such target (or no seeds in fuzz/corpus/$t)"
        failed=1
        continue
    fi
    mkdir -p "$work/corpus"
    # New inputs go to the work corpus (the first directory); the seeds are only read.
    nice -n 10 "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/" \
        "$work/corpus" "$seeds" >"$work/last.log" 2>&1
    rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/last.log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$work/last.log" | tail -1)
    units=$(find "$work/corpus" -type f | wc -l)
    if [ $rc -eq 0 ]; then
        echo "$t: ${execs:-?} executions in ${seconds}s, ${cov:-cov: ?}, corpus $units, no findings"
    else
        failed=1
        echo "$t: FINDING after ${execs:-?} executions (exit $rc); input and log in $work"
        grep -E 'rule broken|ERROR: |SUMMARY|runtime error|Test unit written' -A2 \
            "$work/last.log" | head -20
    fi
done
exit $failed
