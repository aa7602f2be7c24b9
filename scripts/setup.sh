#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (idempotent; quick and quiet when all is
# there). Every package the build and the tests use is named here, also those a fuller system
# happens to have: a fresh minimal Debian has only what is listed.
set -euo pipefail
pkgs=(
    # The Windows program and its tests: compilers, build tools, GoogleTest's sources, zlib and
    # the C library's locales.
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev cmake ninja-build googletest locales
    # The host build (portable code with sanitizers, the simulated meter, the xlsx writer's
    # native tests): libxlsxwriter and the zlib it is linked with.
    g++ libxlsxwriter-dev zlib1g-dev
    # SHA-256 for the portable tests (Windows has its own, bcrypt).
    nettle-dev
    # The fuzz targets (clang with libFuzzer).
    clang libclang-rt-14-dev
    # Running under Wine on a virtual display, window lookup and screenshots.
    wine wine64 xvfb x11-utils imagemagick
    # flock and setsid (the Wine wrapper, the simulated meters), mount (the full-disk case).
    util-linux mount
    # The release files (installer, guide page) and the readers the tests check them with.
    nsis python3 python3-markdown python3-openpyxl
    # The central registry's tests: a private PostgreSQL server (postgresql; runuser from
    # util-linux runs it as `postgres` when the suite runs as root, and postgresql-common makes
    # that user), reached through ODBC as the program reaches the clinic's: unixODBC natively
    # and under Wine (whose odbc32 forwards to it) with the PostgreSQL driver.
    postgresql postgresql-common unixodbc unixodbc-dev odbc-postgresql
    # The report workbook as LibreOffice Calc prints it (headless, to PDF), read back as text.
    libreoffice-calc-nogui poppler-utils
    # apt-get source, for libxlsxwriter's sources (below).
    dpkg-dev
)
sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"
# Runs a command and shows what it said only when it fails.
quietly() {
    local log rc=0
    log=$(mktemp)
    "$@" >"$log" 2>&1 || rc=$?
    [ "$rc" = 0 ] || cat "$log" >&2
    rm -f "$log"
    return "$rc"
}
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    quietly $sudo apt-get update -qq
    quietly $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "${missing[@]}"
fi
# Russian regional settings for the program and its tests.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    $sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
# libxlsxwriter for Windows is built from Debian's source package (Debian has no MinGW build):
# fetched once into .deps/, with a deb-src entry for Debian's archive where none is configured.
xlsx_src="$(cd "$(dirname "$0")/.." && pwd)/.deps/libxlsxwriter"
if [ ! -f "$xlsx_src/CMakeLists.txt" ]; then
    if ! apt-get source --print-uris libxlsxwriter >/dev/null 2>&1; then
        codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
        $sudo tee /etc/apt/sources.list.d/virel-deb-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
        quietly $sudo apt-get update -qq
    fi
    work=$(mktemp -d)
    (cd "$work" && apt-get source -qq libxlsxwriter >/dev/null 2>&1)
    dir=$(find "$work" -maxdepth 1 -type d -name 'libxlsxwriter-*' | head -n 1)
    [ -n "$dir" ] || { echo "apt-get source libxlsxwriter failed" >&2; rm -rf "$work"; exit 1; }
    mkdir -p "$(dirname "$xlsx_src")"
    rm -rf "$xlsx_src"
    mv "$dir" "$xlsx_src"
    rm -rf "$work"
fi
# SQLite (the dose journal): natively Debian's libsqlite3-dev; for Windows the single-file
# amalgamation (sqlite3.c, sqlite3.h), which Debian ships nowhere, generated once into
# .deps/sqlite3 from Debian's source package of the same version. Generating it needs tclsh,
# make and a native C compiler.
sqlite_pkgs=(libsqlite3-dev tcl make gcc)
sqlite_missing=()
for p in "${sqlite_pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || sqlite_missing+=("$p")
done
if [ ${#sqlite_missing[@]} -gt 0 ]; then
    echo "Installing: ${sqlite_missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${sqlite_missing[@]}" >/dev/null
fi
sqlite_src="$(cd "$(dirname "$0")/.." && pwd)/.deps/sqlite3"
if [ ! -s "$sqlite_src/sqlite3.c" ] || [ ! -s "$sqlite_src/sqlite3.h" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    if [ ! -f "$sqlite_src/VERSION" ] || [ ! -f "$sqlite_src/tool/mksqlite3c.tcl" ]; then
        if ! apt-get source --print-uris sqlite3 >/dev/null 2>&1; then
            codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
            $sudo tee /etc/apt/sources.list.d/virel-deb-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
            $sudo apt-get update -qq
        fi
        # The package has two upstream tarballs (the sources and the web site, unpacked into
        # www/); the source tree is the one folder apt-get makes.
        (cd "$work" && apt-get source -qq sqlite3 >/dev/null 2>&1)
        dir=$(find "$work" -maxdepth 1 -type d -name 'sqlite3-*' | head -n 1)
        if [ -z "$dir" ] || [ ! -f "$dir/tool/mksqlite3c.tcl" ]; then
            echo "apt-get source sqlite3 failed" >&2
            exit 1
        fi
        mkdir -p "$(dirname "$sqlite_src")"
        rm -rf "$sqlite_src"
        mv "$dir" "$sqlite_src"
    fi
    # Generated outside the source tree, and moved in only when complete: an interrupted run
    # leaves no half-written sqlite3.c behind that a later run would take as done.
    echo "Generating the SQLite amalgamation ($(cat "$sqlite_src/VERSION"))"
    mkdir "$work/build"
    if ! (cd "$work/build" &&
          "$sqlite_src/configure" --disable-tcl --disable-readline >"$work/log" 2>&1 &&
          make sqlite3.c >>"$work/log" 2>&1); then
        tail -n 30 "$work/log" >&2
        echo "Generating sqlite3.c failed (configure && make sqlite3.c in $sqlite_src)" >&2
        exit 1
    fi
    for f in sqlite3.c sqlite3.h; do
        [ -s "$work/build/$f" ] || { echo "make sqlite3.c made no $f" >&2; exit 1; }
    done
    for f in sqlite3.h sqlite3.c; do
        cp "$work/build/$f" "$sqlite_src/$f.part"
        mv "$sqlite_src/$f.part" "$sqlite_src/$f"
    done
    rm -rf "$work"
    trap - EXIT
fi
