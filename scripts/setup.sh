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
    # The fuzz targets (clang with libFuzzer).
    clang libclang-rt-14-dev
    # Running under Wine on a virtual display, window lookup and screenshots.
    wine wine64 xvfb x11-utils imagemagick
    # flock and setsid (the Wine wrapper, the simulated meters), mount (the full-disk case).
    util-linux mount
    # The release files (installer, guide page) and the readers the tests check them with.
    nsis python3 python3-markdown python3-openpyxl
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
