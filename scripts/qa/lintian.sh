#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# qa-lintian and qa-lintian-RELEASE, inside the root: lintian -I --pedantic
# on the .dsc, .changes and .deb that qa-build left for the release STABLE,
# as an ordinary user; any error, warning or info tag fails, except the
# tags named.
#   lintian.sh STABLE [TAG...]
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
add_packages lintian passwd
echo "lintian $(lintian --version | cut -d' ' -f2) on Debian $(cat /etc/debian_version)"
stable=$1
shift
suppressed=()
if [[ $# -gt 0 ]]; then
  suppressed=(--suppress-tags "$(IFS=,; echo "$*")")
fi
useradd --create-home checker
cp -r "/qa/build-$stable" /home/checker/
cd "/home/checker/build-$stable"
runuser -u checker -- lintian -I --pedantic --fail-on error,warning,info "${suppressed[@]}" \
  ./*.dsc ./*.changes ./*.deb
echo 'lintian: no error, warning or info tag'
