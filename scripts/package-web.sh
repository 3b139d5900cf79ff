#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The download of the page (make package-web): builds the site (the web
# preset) and packs it, with a short README.txt and LICENSE.txt, in a
# folder of its own, into
#   OUT_DIR/quillmere-VERSION-web.zip   (OUT_DIR: build/ by default)
#   scripts/package-web.sh [OUT_DIR]
# Two runs give the same bytes, wherever the tree is and whenever it is
# built: every file in the zip is dated by the changelog's newest entry.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:-$top/build}"
out=$(cd "${1:-$top/build}" && pwd)
cd "$top"

log="$top/build/web-package.log"
mkdir -p build
if ! { scripts/configure.sh web && cmake --build build/web --target quillmere; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "$0: the page did not build" >&2
  exit 1
fi

version=$(dpkg-parsechangelog -l debian/changelog -S Version)
released=$(dpkg-parsechangelog -l debian/changelog -S Timestamp)
name="quillmere-$version-web"
stage="$top/build/web-zip"
rm -rf "$stage"
mkdir -p "$stage/$name"
cp build/web/site/index.html build/web/site/quillmere.js build/web/site/quillmere.svg "$stage/$name/"
sed "s/@VERSION@/$version/" data/web/README.txt >"$stage/$name/README.txt"
cp LICENSE "$stage/$name/LICENSE.txt"
chmod 0755 "$stage/$name"
chmod 0644 "$stage/$name"/*
touch --date="@$released" "$stage/$name"/* "$stage/$name"
zipfile="$out/$name.zip"
rm -f "$zipfile"
# -X leaves out the owner and the extra time stamps; zip records local time,
# so the time zone is fixed too; the files go in in a fixed order.
(cd "$stage" && TZ=UTC zip -X -q -9 "$zipfile" "$name" "$name/index.html" "$name/quillmere.js" \
  "$name/quillmere.svg" "$name/README.txt" "$name/LICENSE.txt")
rm -rf "$stage"
echo "built $zipfile"
