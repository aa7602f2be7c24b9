#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (idempotent; quick when all is there).
set -euo pipefail
pkgs=(g++-mingw-w64-x86-64-posix wine wine64 xvfb cmake ninja-build googletest g++ locales
      imagemagick x11-utils nsis python3-markdown libz-mingw-w64-dev libxlsxwriter-dev
      python3-openpyxl dpkg-dev clang libclang-rt-14-dev)
sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
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
        $sudo apt-get update -qq
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
