#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# qa-reprotest, inside the root: two builds of the .dsc under every default
# variation, user_group with a second user of its own, compared by
# diffoscope. The tests are left out of both builds: they change no byte of
# the package, and qa-build runs them.
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
add_packages reprotest faketime disorderfs fuse3 sudo locales-all diffoscope-minimal
add_build_deps
useradd --create-home builder2
# disorderfs, for the file-order variation, runs as that user. /dev/fuse is
# root's alone on this machine; the root gets a node anyone may open, in its
# own mount namespace only, and the mount table fusermount reads.
mknod -m 666 /tmp/fuse c 10 229
mount --bind /tmp/fuse /dev/fuse
ln -sf /proc/self/mounts /etc/mtab
cp /qa/source/* /tmp/
cd /tmp
dpkg-query -W reprotest
DEB_BUILD_OPTIONS=nocheck reprotest --verbosity 1 --store-dir /qa/reprotest/store \
  --vary=user_group.available+=builder2:builder2 --vary=domain_host.use_sudo=1 quillmere_*.dsc -- null
