#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (idempotent; quick when all is there).
set -euo pipefail
pkgs=(g++-mingw-w64-x86-64-posix wine wine64 xvfb cmake ninja-build googletest g++ locales
      imagemagick x11-utils nsis python3-markdown)
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
