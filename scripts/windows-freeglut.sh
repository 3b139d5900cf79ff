#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# freeglut for the Windows build: Debian's own source package of the freeglut
# this machine builds the Linux viewer with, fetched by apt (which checks it
# against the archive's signed index as always), built as a static library
# by Debian's MinGW-w64 and installed under build/windows-freeglut/. Built
# once, and again only when the source package's version changes.
#   scripts/windows-freeglut.sh
# apt works from a configuration of its own under build/, naming only the
# source archive of the repository that serves freeglut here: the machine's
# apt sources are left as they are, and nothing is installed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
prefix="$top/build/windows-freeglut"
work="$top/build/windows-freeglut-source"

version=$(dpkg-query -W -f='${source:Version}' freeglut3-dev 2>/dev/null) || {
  echo "$0: freeglut3-dev is not installed; its version names the source to build" >&2
  exit 1
}
if [[ "$(cat "$prefix/VERSION" 2>/dev/null)" == "$version" ]]; then
  exit 0
fi
echo "Building freeglut $version for Windows from Debian's source package (once)"
rm -rf "$work" "$prefix"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/parts"

# The repositories apt names for freeglut3-dev, as "URI SUITE COMPONENT":
# apt-cache policy lists them as "500 URI SUITE/COMPONENT ARCH Packages".
mapfile -t repositories < <(apt-cache policy freeglut3-dev |
  sed -n 's|^ *[0-9]\{1,\} \([a-z]*://[^ ]*\) \([^/ ]*\)/\([^ ]*\) .*Packages$|\1 \2 \3|p' | sort -u)
if [[ ${#repositories[@]} -eq 0 ]]; then
  echo "$0: apt names no repository for freeglut3-dev" >&2
  exit 1
fi
for repository in "${repositories[@]}"; do
  read -r uri suite component <<<"$repository"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite $component"
done >"$work/apt/sources.list"
apt_options=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=$work/apt/parts"
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -o Debug::NoLocking=1
  -o APT::Sandbox::User="$(id -un)" -o Dir::State::status=/dev/null)
apt-get "${apt_options[@]}" -qq update
(cd "$work" && apt-get "${apt_options[@]}" -qq source --download-only "freeglut=$version" >/dev/null)
# apt has checked the files against the archive's signed index; the .dsc's
# own signature needs Debian's developer keyring, which is not asked for.
dpkg-source -x "$work"/freeglut_*.dsc "$work/source" >"$work/unpack.log" 2>&1 ||
  { cat "$work/unpack.log" >&2; exit 1; }

# FREEGLUT_REPLACE_GLUT installs GL/glut.h, which the viewer includes; the
# static library keeps the executable free of freeglut's DLL.
log="$work/build.log"
if ! {
  cmake -S "$work/source" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/x86_64-w64-mingw32.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DFREEGLUT_BUILD_SHARED_LIBS=OFF -DFREEGLUT_BUILD_STATIC_LIBS=ON -DFREEGLUT_BUILD_DEMOS=OFF \
    -DFREEGLUT_REPLACE_GLUT=ON -DCMAKE_INSTALL_PREFIX="$prefix" &&
    cmake --build "$work/build" -j "$(nproc)" && cmake --install "$work/build"
} >"$log" 2>&1; then
  cat "$log" >&2
  echo "$0: freeglut $version did not build for Windows" >&2
  exit 1
fi
echo "$version" >"$prefix/VERSION"
rm -rf "$work"
