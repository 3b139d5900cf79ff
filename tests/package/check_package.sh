#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the viewer with cmake --install into a temporary root, builds the
# .deb and installs that with dpkg into a scratch root, and checks the files
# both hold: the binary, a man page that formats cleanly, and a desktop entry
# and icon that validate.
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

expected=(
  usr/bin/quillmere
  usr/share/man/man1/quillmere.1
  usr/share/applications/quillmere.desktop
  usr/share/icons/hicolor/scalable/apps/quillmere.svg
)

check_root() {
  local root=$1
  for f in "${expected[@]}"; do
    [[ -f "$root/$f" ]] || fail "$root lacks $f"
  done
  [[ -x "$root/usr/bin/quillmere" ]] || fail "the binary is not executable"
  desktop-file-validate "$root/usr/share/applications/quillmere.desktop" ||
    fail "the desktop entry does not validate"
  local warnings
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -l -Tutf8 \
    "$root/usr/share/man/man1/quillmere.1" 2>&1 >/dev/null)
  [[ -z "$warnings" ]] || fail "the man page formats with warnings: $warnings"
  for section in NAME SYNOPSIS DESCRIPTION KEYS "EXIT STATUS"; do
    grep -q "^\.SH \"\?$section\"\?$" "$root/usr/share/man/man1/quillmere.1" ||
      fail "the man page has no $section section"
  done
  grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/quillmere.svg" ||
    fail "the icon is not an SVG"
}

# 1. cmake --install into a temporary root.
DESTDIR="$scratch/destdir" cmake --install "$build" --prefix /usr >/dev/null
check_root "$scratch/destdir"

# 2. The .deb, installed by dpkg into a scratch root with its own database.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >/dev/null
deb=$(ls "$scratch"/quillmere_*_amd64.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libglut3.12 libgl1 libglu1-mesa; do
  [[ ",$depends," == *", $dep,"* || ",$depends," == *",$dep,"* ]] ||
    fail "the package does not depend on $dep (Depends: $depends)"
done
[[ "$depends" != *-dev* ]] || fail "the package depends on a build package: $depends"

root="$scratch/dpkgroot"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The scratch root has none of the libraries, so the dependency check is waived.
if ! out=$(dpkg --root="$root" --log=/dev/null --force-depends --force-not-root \
  --force-script-chrootless -i "$deb" 2>&1); then
  echo "$out" >&2
  fail "dpkg could not install the package"
fi
dpkg --root="$root" -s quillmere | grep -q '^Status: install ok installed' ||
  fail "dpkg did not record the package as installed"
check_root "$root"
echo "package ok: $(basename "$deb")"
