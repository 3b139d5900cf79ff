# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# What the scripts that make the downloads (package-windows.sh and
# package-web.sh) share, sourced by them at the tree's top:
#   zip_build PRESET WHAT      builds the viewer of PRESET's tree, showing the
#                              build's output only when it fails, as WHAT
#   zip_pack ZIP DIR FILE...   dates each FILE (paths under DIR) by the
#                              changelog's newest entry and zips them, in
#                              that order, into ZIP, replaced: two builds of
#                              one commit give the same bytes
# and sets zip_version, the changelog's newest version.
# shellcheck disable=SC2034  # read by the scripts that source this
zip_version=$(dpkg-parsechangelog -l debian/changelog -S Version)

zip_build() {
  local log="build/$1-package.log"
  mkdir -p build
  if ! { scripts/configure.sh "$1" && cmake --build "build/$1" --target quillmere; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "$0: $2 did not build" >&2
    exit 1
  fi
}

zip_pack() {
  local zipfile=$1 dir=$2 released
  shift 2
  released=$(dpkg-parsechangelog -l debian/changelog -S Timestamp)
  (cd "$dir" && touch --date="@$released" "$@")
  rm -f "$zipfile"
  # -X leaves out the owner and the extra time stamps; zip records local
  # time, so the time zone is fixed too.
  (cd "$dir" && TZ=UTC zip -X -q -9 "$zipfile" "$@")
}
