#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package with debhelper from a copy of the source tree,
# so that nothing is written beside the tree, and leaves the .deb in OUT_DIR.
#   scripts/package.sh OUT_DIR
# Two runs give the same bytes: file dates come from SOURCE_DATE_EPOCH, by
# default the date of the last commit (the changelog's date outside git).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:-build}"
out=$(cd "${1:-build}" && pwd)
work="$out/deb"

if [[ -z "${SOURCE_DATE_EPOCH:-}" ]] && git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
  SOURCE_DATE_EPOCH=$(git -C "$src" log -1 --format=%ct)
  export SOURCE_DATE_EPOCH
fi

rm -rf "$work"
mkdir -p "$work/quillmere"
tar -C "$src" --exclude=./build --exclude-vcs -cf - . | tar -C "$work/quillmere" -xf -
if ! (cd "$work/quillmere" &&
  DEB_BUILD_OPTIONS="nocheck noautodbgsym parallel=$(nproc)" \
    dpkg-buildpackage --build=binary --no-sign >"$work/build.log" 2>&1); then
  cat "$work/build.log" >&2
  echo "dpkg-buildpackage failed" >&2
  exit 1
fi
cp "$work"/quillmere_*.deb "$out/"
echo "built $out/$(basename "$work"/quillmere_*.deb)"
