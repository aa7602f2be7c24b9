#!/usr/bin/env bash
# Starts and stops simulated VIREL-1 meters (virel1-sim) behind the COM ports of a build's Wine
# prefix. The prefix maps COMn to the link <build>/ports/comn; a started simulator points that
# link at its pseudo-terminal.
#
#   sim.sh start <build> <N> [simulator options...]   start one for COMN (replacing a running one)
#                                                     and print its slave path
#   sim.sh stop <build> <N>                           stop it, wait until it is gone, remove
#                                                     the link if it still points at it
#   sim.sh stop-all <build>                           stop every simulator of the build
#   sim.sh set <build> <N> key=value...               replace its control file (atomically)
#   sim.sh path <build> <N>                           print the slave path the link points at
#
# Files for COMN: log <build>/sim/portN.log (emptied at start), control <build>/sim/portN.ctl
# (created empty at start), pidfile <build>/sim/portN.pid, stdout/stderr <build>/sim/portN.out/.err.
# (Not "comN.log": Windows, and so Wine, takes any file named COM1..COM9 plus an extension for
# the serial device itself, so a test under Wine could not read such a log.)
# The simulator binary is <build>/host/tools/simulator/virel1-sim, or $VIREL_SIM when set.
set -euo pipefail

usage() {
    sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

is_ours() {  # pid -> true when it is a live virel1-sim process
    local pid=$1
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 1
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q 'virel1-sim'
}

stop_one() {  # pidfile
    local pidfile=$1 pid n slave link
    # The link is left pointing nowhere rather than at a pseudo-terminal number that the
    # system may hand to another program next.
    n=${pidfile##*/port}
    n=${n%.pid}
    link=$build/ports/com$n
    slave=$(head -n1 "$simdir/port$n.out" 2>/dev/null || true)
    [ -f "$pidfile" ] || return 0
    pid=$(cat "$pidfile" 2>/dev/null || true)
    if is_ours "$pid"; then
        kill -TERM "$pid" 2>/dev/null || true
        for _ in $(seq 1 100); do
            is_ours "$pid" || break
            sleep 0.05
        done
        if is_ours "$pid"; then
            kill -KILL "$pid" 2>/dev/null || true
            sleep 0.1
        fi
    fi
    rm -f "$pidfile"
    if [ -n "$slave" ] && [ "$(readlink "$link" 2>/dev/null)" = "$slave" ]; then
        rm -f "$link"
    fi
}

[ $# -ge 2 ] || usage
cmd=$1
build=$(cd "$2" && pwd)
simdir=$build/sim

case "$cmd" in
start)
    [ $# -ge 3 ] || usage
    n=$3
    shift 3
    bin=${VIREL_SIM:-$build/host/tools/simulator/virel1-sim}
    if [ ! -x "$bin" ]; then
        echo "sim.sh: no simulator at $bin (build the host target first)" >&2
        exit 1
    fi
    mkdir -p "$simdir" "$build/ports"
    stop_one "$simdir/port$n.pid"
    : >"$simdir/port$n.log"
    : >"$simdir/port$n.ctl"
    : >"$simdir/port$n.out"
    # Daemonized: own session, no inherited descriptors (ctest waits for its pipes to close).
    (
        for fd in /proc/$BASHPID/fd/*; do
            fd=${fd##*/}
            [ "$fd" -gt 2 ] && eval "exec $fd>&-" 2>/dev/null || true
        done
        exec setsid "$bin" --link "$build/ports/com$n" --log "$simdir/port$n.log" \
            --control "$simdir/port$n.ctl" --pidfile "$simdir/port$n.pid" "$@" \
            </dev/null >"$simdir/port$n.out" 2>"$simdir/port$n.err"
    ) &
    child=$!
    for _ in $(seq 1 200); do
        slave=$(head -n1 "$simdir/port$n.out" 2>/dev/null || true)
        if [ -n "$slave" ] && [ "$(readlink "$build/ports/com$n" 2>/dev/null)" = "$slave" ] &&
            [ -s "$simdir/port$n.pid" ]; then
            echo "$slave"
            exit 0
        fi
        if ! kill -0 "$child" 2>/dev/null; then
            echo "sim.sh: simulator for COM$n did not start:" >&2
            cat "$simdir/port$n.err" >&2
            exit 1
        fi
        sleep 0.05
    done
    echo "sim.sh: simulator for COM$n did not come up in 10 s" >&2
    exit 1
    ;;
stop)
    [ $# -ge 3 ] || usage
    stop_one "$simdir/port$3.pid"
    ;;
stop-all)
    for p in "$simdir"/port*.pid; do
        [ -e "$p" ] && stop_one "$p"
    done
    ;;
set)
    [ $# -ge 3 ] || usage
    n=$3
    shift 3
    mkdir -p "$simdir"
    tmp=$simdir/port$n.ctl.tmp.$$
    printf '%s\n' "$@" >"$tmp"
    mv -f "$tmp" "$simdir/port$n.ctl"
    ;;
path)
    [ $# -ge 3 ] || usage
    readlink "$build/ports/com$3"
    ;;
*)
    usage
    ;;
esac
