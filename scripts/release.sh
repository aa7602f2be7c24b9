#!/usr/bin/env bash
# Builds the release and puts the files to hand out into dist/:
#   VIREL1_Service-<version>-x64.zip        the program, the operator's guide, the IT's pages on the
#                                           dose journal and the central registry, the licence
#   VIREL1_Service-<version>-x64-setup.exe  the per-user installer (silent with /S)
#   SHA256SUMS                              the SHA-256 sums of both
# <version> is the project version in CMakeLists.txt, which also reaches the program's version
# information. The installer is tested under Wine by scripts/test.sh (e2e_installer_tests).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build=${VIREL_BUILD:-$root/build}
cmake --build "$build" --target release_files >/dev/null
version=$(sed -n 's/^#define VIREL_VERSION_TEXT "\(.*\)"$/\1/p' "$build/app/Version.h")
name="VIREL1_Service-$version-x64"
if [ -n "$(git -C "$root" status --porcelain 2>/dev/null)" ]; then
    echo "Note: the working tree has uncommitted changes; this release contains them." >&2
fi
rm -rf "$root/dist"
mkdir -p "$root/dist"
cp "$build/package/$name.zip" "$build/package/$name-setup.exe" "$build/package/SHA256SUMS" \
    "$root/dist/"
(cd "$root/dist" && sha256sum --check --quiet SHA256SUMS)
echo "Release $version in $root/dist:"
ls -l "$root/dist"
