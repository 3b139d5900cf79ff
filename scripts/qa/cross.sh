#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# qa-cross, inside a root with arm64 as a foreign architecture: the .deb
# built for arm64 with the cross and nocheck profiles, checked for its
# architecture, its binary's machine and its files; left in /qa/cross/.
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
add_packages crossbuild-essential-arm64
add_build_deps -a arm64 -P cross,nocheck
unpack_as_builder
build_as_builder /qa/cross/build.log nocheck --host-arch=arm64 --build-profiles=cross,nocheck -B -us -uc
cd ..
cp quillmere_*_arm64.deb /qa/cross/
deb=$(echo quillmere_*_arm64.deb)
arch=$(dpkg-deb -f "$deb" Architecture)
[[ $arch == arm64 ]] || { echo "FAIL: $deb is for $arch"; exit 1; }
dpkg-deb -x "$deb" unpacked
for f in usr/bin/quillmere usr/share/man/man1/quillmere.1.gz \
  usr/share/applications/example.quillmere.Quillmere.desktop \
  usr/share/metainfo/example.quillmere.Quillmere.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/quillmere.svg usr/share/doc/quillmere/copyright; do
  [[ -s unpacked/$f ]] || { echo "FAIL: $deb lacks $f"; exit 1; }
done
# An ELF file names its machine in bytes 18 and 19, little-endian: 0xb7 is AArch64.
machine=$(od -An -tx1 -j18 -N2 unpacked/usr/bin/quillmere | tr -d ' ')
[[ $machine == b700 ]] || { echo "FAIL: usr/bin/quillmere is for ELF machine $machine"; exit 1; }
echo "cross: $deb is arm64, its binary an AArch64 ELF file, with all its files"
