#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The download for Windows users: builds the Windows viewer (the windows
# preset, against freeglut from Debian's source package) and packs it with a
# short README.txt and LICENSE.txt, both with Windows line endings, into
#   OUT_DIR/quillmere-VERSION-windows-x86_64.zip   (OUT_DIR: build/ by default)
#   scripts/package-windows.sh [OUT_DIR]
# Two runs give the same bytes, wherever the tree is and whenever it is
# built: every file in the zip is dated by the changelog's newest entry.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:-$top/build}"
out=$(cd "${1:-$top/build}" && pwd)
cd "$top"

"$top/scripts/windows-freeglut.sh"
# shellcheck source=scripts/lib/zips.sh
source scripts/lib/zips.sh
zip_build windows "the Windows viewer"
stage="$top/build/windows-zip"
rm -rf "$stage"
mkdir -p "$stage"
cp build/windows/quillmere.exe "$stage/"
sed "s/@VERSION@/$zip_version/" data/windows/README.txt | sed 's/$/\r/' >"$stage/README.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
chmod 0755 "$stage/quillmere.exe"
chmod 0644 "$stage/README.txt" "$stage/LICENSE.txt"
zipfile="$out/quillmere-$zip_version-windows-x86_64.zip"
zip_pack "$zipfile" "$stage" quillmere.exe README.txt LICENSE.txt
rm -rf "$stage"
echo "built $zipfile"
