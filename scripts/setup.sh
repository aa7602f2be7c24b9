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
