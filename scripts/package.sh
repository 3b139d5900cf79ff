#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package with debhelper from a copy of the source tree,
# so that nothing is written beside the tree, and leaves the .deb in OUT_DIR.
#   scripts/package.sh OUT_DIR
# Two runs give the same bytes, wherever the tree is and whatever its files'
# dates: every date in the package is that of the changelog's newest entry.
# It runs no tests (make test does), so with the nocheck profile it needs
# none of the tests' Build-Depends.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-build}
[[ $out == /* ]] || out="$PWD/$out"
work="$out/deb"
writer="make package" writer_area=$out
# shellcheck source=scripts/lib/writable.sh
source "$src/scripts/lib/writable.sh"
need_writable_tmp
need_writable_dir "its output directory" "$out"
need_writable_dir "its work directory" "$work" --recursive

mkdir -p "$out"
rm -rf "$work"
mkdir -p "$work/quillmere"
"$src/scripts/copy-tree.sh" "$work/quillmere"
if ! (cd "$work/quillmere" &&
  DEB_BUILD_OPTIONS="nocheck noautodbgsym parallel=$(nproc)" \
    dpkg-buildpackage --build=binary --build-profiles=nocheck --no-sign >"$work/build.log" 2>&1); then
  cat "$work/build.log" >&2
  echo "dpkg-buildpackage failed" >&2
  exit 1
fi
cp "$work"/quillmere_*.deb "$out/"
echo "built $out/$(basename "$work"/quillmere_*.deb)"
