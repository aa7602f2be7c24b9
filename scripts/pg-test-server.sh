#!/usr/bin/env bash
# A private, throw-away PostgreSQL server for the registry's tests and benchmarks:
#   scripts/pg-test-server.sh start DIR   make a cluster in DIR, start it on 127.0.0.1 and a free
#                                         port; DIR/connection, DIR/password, DIR/port say how
#                                         to reach it
#   scripts/pg-test-server.sh stop DIR    stop it and remove DIR
#   scripts/pg-test-server.sh halt DIR    stop it at once (as a crash or a power cut would),
#                                         keeping DIR: the tests' server gone
#   scripts/pg-test-server.sh resume DIR  start the halted one again, on the same port
# PostgreSQL refuses to run as root: as root the cluster belongs to the `postgres` user (Debian's
# package makes it) and its commands run through runuser. Several worktrees run their suites at
# once, so each server takes a port nobody listens on and never the system's cluster.
set -euo pipefail
action=${1:-}
dir=${2:-}
[ -n "$action" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop|halt|resume DIR" >&2; exit 2; }
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/initdb" ] || { echo "PostgreSQL's server is not installed (Debian: postgresql)" >&2; exit 1; }
as_owner=()
if [ "$(id -u)" = 0 ]; then as_owner=(runuser -u postgres --); fi
# The cluster's own folder: DIR/data, or, when DIR is where its owner cannot reach (a build
# under /root, as root: PostgreSQL must run as another user), a folder under /tmp that
# DIR/data links to. `home` holds the cluster and its log.
if [ -L "$dir/data" ]; then data=$(readlink "$dir/data"); else data="$dir/data"; fi
home=$(dirname "$data")

up() {  # waits until the server answers on its port
    local port=$1
    for _ in $(seq 1 100); do
        "$bin/pg_isready" -q -h 127.0.0.1 -p "$port" && return 0
        sleep 0.1
    done
    return 1
}

launch() {  # starts the cluster on a port; false when it did not come up
    local port=$1
    # No Unix socket: only the given TCP port, so that nothing clashes with another cluster.
    "${as_owner[@]}" "$bin/pg_ctl" -D "$data" -l "$home/server.log" -w -t 30 \
        -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=''" \
        start >/dev/null 2>&1 && up "$port"
}

stop_server() {  # mode: fast (the suite's end) or immediate (a crash for the tests)
    [ -f "$data/postmaster.pid" ] || return 0
    "${as_owner[@]}" "$bin/pg_ctl" -D "$data" -m "$1" -w -t 30 stop >/dev/null 2>&1 || true
    if [ -f "$data/postmaster.pid" ]; then  # did not go on request: it goes for certain
        local pid
        pid=$(head -n 1 "$data/postmaster.pid" 2>/dev/null || true)
        [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null || true
        rm -f "$data/postmaster.pid"
    fi
}

case "$action" in
start)
    [ ! -f "$data/postmaster.pid" ] || stop_server fast
    [ "$home" = "$dir" ] || rm -rf "$home"
    rm -rf "$dir"
    mkdir -p "$dir"
    home="$dir"
    if [ ${#as_owner[@]} -gt 0 ] && ! runuser -u postgres -- test -x "$dir"; then
        home=$(mktemp -d /tmp/virel-pg.XXXXXX)
        ln -s "$home/data" "$dir/data"
    fi
    data="$home/data"
    password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
    printf '%s\n' "$password" >"$home/pwfile"
    [ ${#as_owner[@]} -eq 0 ] || chown -R postgres: "$home"
    "${as_owner[@]}" "$bin/initdb" -D "$data" -U virel --pwfile="$home/pwfile" -E UTF8 \
        --locale=C.UTF-8 --auth-host=scram-sha-256 --auth-local=trust >"$home/initdb.log" 2>&1 ||
        { cat "$home/initdb.log" >&2; exit 1; }
    # Test data: a power cut loses nothing the tests care about.
    echo "fsync = off" >>"$data/postgresql.conf"
    started=""
    for _ in $(seq 1 20); do
        port=$((20000 + RANDOM % 40000))
        if launch "$port"; then started=$port; break; fi
        stop_server immediate
    done
    [ -n "$started" ] || { echo "the test server did not start:" >&2; tail -n 5 "$home/server.log" >&2; exit 1; }
    echo "$started" >"$dir/port"
    echo "$password" >"$dir/password"
    echo "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$started;Database=postgres;Uid=virel;" \
        >"$dir/connection"
    rm -f "$home/pwfile"
    echo "PostgreSQL on 127.0.0.1:$started ($dir)"
    ;;
stop)
    [ -d "$dir" ] || exit 0
    stop_server fast
    [ "$home" = "$dir" ] || rm -rf "$home"
    rm -rf "$dir"
    ;;
halt)
    stop_server immediate
    ;;
resume)
    port=$(cat "$dir/port")
    launch "$port" || { echo "the test server did not come back on port $port" >&2; exit 1; }
    ;;
*)
    echo "usage: $0 start|stop|halt|resume DIR" >&2
    exit 2
    ;;
esac
