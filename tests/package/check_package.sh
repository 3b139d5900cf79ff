#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the .deb once (or takes one built from this tree elsewhere, DEB)
# and checks what a Debian user and maintainer would: every copy of the
# version agrees with debian/changelog; a tagged commit is released, and its
# package builds again, from a tree at another path with its files dated
# differently, to the same bytes; lintian finds no error or warning; Depends
# names the libraries the binary uses, and no others; dpkg installs it; and
# what it installs is a hardened binary, a man page, a DEP-5 copyright file,
# a changelog, and a desktop entry and metainfo that validate. The binary
# CMake built is checked for the same hardening. Reproducibility under
# every variation is qa-reprotest's to prove; a release is checked here too.
#   check_package.sh SOURCE_DIR WORK_DIR CMAKE_BUILT_BINARY [DEB]
set -euo pipefail
# dpkg --root runs ldconfig and start-stop-daemon, which an ordinary user's
# login PATH does not reach.
export PATH="$PATH:/usr/local/sbin:/usr/sbin:/sbin"
src=$1
work=$2
built=$3
given=${4:-}
fail() { echo "FAIL: $*" >&2; exit 1; }
# A missing tool is a skip (77 to CTest) that names it, not a failure.
for tool in dpkg-buildpackage dpkg-parsechangelog dh lintian hardening-check desktop-file-validate \
  appstreamcli man; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

rm -rf "$work"
if [[ -n $given ]]; then
  [[ -f $given ]] || fail "no package at $given"
  deb=$given
else
  "$src/scripts/package.sh" "$work/first" >/dev/null
  deb=$(echo "$work"/first/quillmere_*_"$(dpkg --print-architecture)".deb)
fi

# The version is set in debian/changelog; what names it (the package, and
# the man page and metainfo it installs, below) must agree.
changelog="$src/debian/changelog"
version=$(dpkg-parsechangelog -l "$changelog" -S Version)
released=$(dpkg-parsechangelog -l "$changelog" -S Date)
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "the package's version is not $version"
if tag=$(git -C "$src" describe --exact-match --tags HEAD 2>/dev/null); then
  [[ $tag == "v$version" ]] || fail "the commit is tagged $tag, but debian/changelog says $version"
  [[ $(dpkg-parsechangelog -l "$changelog" -S Distribution) != UNRELEASED ]] ||
    fail "the commit is tagged $tag, but debian/changelog still says UNRELEASED"
  # A release builds again, from a copy elsewhere, as a clone made at
  # another time would: every file dated a day from now, and the files the
  # package installs dated years before the last change.
  other="$work/elsewhere/quillmere"
  mkdir -p "$other"
  "$src/scripts/copy-tree.sh" "$other"
  find "$other" -exec touch -d "@$(($(date +%s) + 86400))" {} +
  touch -d 2001-02-03 "$other"/data/* "$other"/debian/copyright "$other"/debian/changelog
  "$other/scripts/package.sh" "$work/second" >/dev/null
  if ! cmp -s "$deb" "$work/second/${deb##*/}"; then
    # dpkg-buildflags maps the build path out of the binary only where the
    # path has no whitespace; elsewhere the path stays in it.
    if [[ $(cd "$src" && dpkg-buildflags --get CXXFLAGS) != *-ffile-prefix-map=* ]]; then
      fail "two builds of the release differ: dpkg-buildflags leaves out -ffile-prefix-map for $src (a path with whitespace), so the build path stays in the binary; build the release in a clone whose path has none"
    fi
    fail "two builds of the release differ"
  fi
fi

lintian_report=$(lintian --fail-on error,warning --info --display-info "$deb" 2>/dev/null) ||
  fail "lintian reports errors or warnings:
$lintian_report"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libglut3.12 libglu1-mesa libopengl0 libx11-6; do
  [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] ||
    fail "Depends lacks $lib: $depends"
done
for lib in libstdc++6 libgl1 libglx0; do
  [[ ", $depends," != *", $lib "* && ", $depends," != *", $lib,"* ]] ||
    fail "Depends names $lib, which the binary does not use: $depends"
done

root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The scratch root has none of the libraries, so the dependency check is waived.
dpkg --root="$root" --log=/dev/null --force-depends --force-not-root \
  --force-script-chrootless -i "$deb" >/dev/null 2>&1 || fail "dpkg could not install the package"
dpkg --root="$root" -s quillmere | grep -q '^Status: install ok installed' ||
  fail "dpkg did not record the package as installed"

usr="$root/usr"
[[ -x "$usr/bin/quillmere" ]] || fail "no executable usr/bin/quillmere"
# Control-flow protection is not among Debian 12's build flags. Debian 13
# builds with -fcf-protection, but its C runtime objects lack the marking, so
# no binary linked there carries it: Debian 13's hardening-check, which also
# asks for that marking as branch protection, is told not to. Debian 12's
# knows no such option.
unmarked=(--nocfprotection)
options=$(hardening-check --help 2>&1 || true)  # it may exit non-zero after its help
if [[ "$options" == *--nobranchprotection* ]]; then
  unmarked+=(--nobranchprotection)
fi
for binary in "$usr/bin/quillmere" "$built"; do
  hardening-check "${unmarked[@]}" --quiet "$binary" || fail "$binary is not hardened"
done
page="$usr/share/man/man1/quillmere.1.gz"
month=$(LC_ALL=C date -u -d "$released" '+%B %Y')
zcat "$page" | grep -qx "\.TH QUILLMERE 1 \"$month\" \"Quillmere $version\" \"User Commands\"" ||
  fail "the man page's .TH line does not name $month and Quillmere $version"
day=$(date -u -d "$released" +%F)
metainfo="$usr/share/metainfo/example.quillmere.Quillmere.metainfo.xml"
grep -m1 '<release ' "$metainfo" | grep -q "version=\"$version\" date=\"$day\"" ||
  fail "the metainfo's newest release is not $version of $day"
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -l -Tutf8 "$page" 2>&1 >/dev/null) ||
  fail "no man page at ${page#"$root"}"
[[ -z "$warnings" ]] || fail "the man page formats with warnings: $warnings"
doc="$usr/share/doc/quillmere"
head -n1 "$doc/copyright" | grep -qx \
  'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
grep -qx 'License: MIT' "$doc/copyright" || fail "the copyright file names no MIT licence"
zcat "$doc/changelog.gz" | head -n1 | grep -q '^quillmere (' || fail "no changelog"
desktop-file-validate "$usr/share/applications/example.quillmere.Quillmere.desktop" ||
  fail "the desktop entry does not validate"
appstreamcli validate --no-net "$usr/share/metainfo/example.quillmere.Quillmere.metainfo.xml" \
  >/dev/null || fail "the metainfo does not validate"
grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/quillmere.svg" || fail "no SVG icon"
echo "package ok: ${deb##*/}, Depends: $depends"
