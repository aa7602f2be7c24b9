#!/usr/bin/env bash
# The release files of one build: the operator's guide and the IT's pages on the dose journal
# and the central registry as HTML pages, the portable zip (program, pages, licence), the
# per-user installer, and the SHA-256 sums of both.
#   packaging/make-package.sh <VIREL1_Service.exe> <version> <output folder>
# Writes <output>/VIREL1_Service-<version>-x64.zip, ...-x64-setup.exe and SHA256SUMS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$1 version=$2 out=$3
name="VIREL1_Service-$version-x64"
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage="$out/$name"
rm -rf "$stage"
mkdir -p "$stage"

cp "$exe" "$stage/VIREL1_Service.exe"
# Debian's Python, which has the Markdown module of the python3-markdown package.
/usr/bin/python3 "$root/packaging/doc_pages.py" "$root" "$stage" "$version"
# The licence as Notepad reads it everywhere: UTF-8 with a byte-order mark, CR LF.
{ printf '\xEF\xBB\xBF'; sed 's/$/\r/' "$root/LICENSE"; } >"$stage/LICENSE.txt"

# ASCII names inside the zip: older Windows versions show other names garbled.
rm -f "$out/$name.zip"
(cd "$out" && cmake -E tar cf "$name.zip" --format=zip -- "$name")

# The uninstall entry's program first: the installer holds it.
front=$(mktemp -d)
trap 'rm -rf "$front"' EXIT
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DOUTFILE="$front/uninstall.exe" \
    "$root/packaging/uninstall.nsi"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" \
    -DFRONT="$front/uninstall.exe" -DOUTFILE="$out/$name-setup.exe" "$root/packaging/installer.nsi"

(cd "$out" && sha256sum "$name.zip" "$name-setup.exe" >SHA256SUMS)
