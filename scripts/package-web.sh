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

# shellcheck source=scripts/lib/zips.sh
source scripts/lib/zips.sh
zip_build web "the page"
name="quillmere-$zip_version-web"
stage="$top/build/web-zip"
rm -rf "$stage"
mkdir -p "$stage/$name"
cp build/web/site/index.html build/web/site/quillmere.js build/web/site/quillmere.svg "$stage/$name/"
sed "s/@VERSION@/$zip_version/" data/web/README.txt >"$stage/$name/README.txt"
cp LICENSE "$stage/$name/LICENSE.txt"
chmod 0755 "$stage/$name"
chmod 0644 "$stage/$name"/*
zip_pack "$out/$name.zip" "$stage" "$name" "$name/index.html" "$name/quillmere.js" \
  "$name/quillmere.svg" "$name/README.txt" "$name/LICENSE.txt"
rm -rf "$stage"
echo "built $out/$name.zip"
