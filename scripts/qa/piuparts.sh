#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# qa-piuparts, inside the root: install, remove and purge of qa-build's .deb
# in piuparts' own clean root, /qa/piuparts/base.tar; STABLE names the
# release whose build it is.
#   piuparts.sh STABLE
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
add_packages piuparts
dpkg-query -W piuparts
# piuparts runs apt-get clean in its own root, so it sees the package cache
# through an overlay; what it downloads joins the cache after.
cache=/var/cache/apt/archives
mkdir -p /tmp/overlay/upper /tmp/overlay/work /tmp/overlay/merged
mount -t overlay overlay -o lowerdir=$cache,upperdir=/tmp/overlay/upper,workdir=/tmp/overlay/work \
  /tmp/overlay/merged
mount --bind /tmp/overlay/merged $cache
status=0
piuparts --basetgz=/qa/piuparts/base.tar --keep-sources-list --no-upgrade-test --bindmount=$cache \
  "/qa/build-$1"/quillmere_*_amd64.deb >/tmp/piuparts.log 2>&1 || status=$?
umount $cache
find /tmp/overlay/upper -maxdepth 1 -type f -name '*.deb' -exec cp -n {} $cache/ ';'
grep -E 'INFO: (PASS|FAIL)|ERROR' /tmp/piuparts.log || true
[[ $status -eq 0 ]] || { tail -n 80 /tmp/piuparts.log; exit "$status"; }
