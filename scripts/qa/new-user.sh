#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make test-release, inside a fresh minimal root: what a new user does, from
# a clone of the bundle in /qa: make run must leave its screenshot, and make
# test must pass. Then the versions it was tested with.
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
git -c advice.detachedHead=false -c init.defaultBranch=main clone --quiet /qa/quillmere.bundle \
  /root/quillmere
cd /root/quillmere
make run
test -s build/quillmere.png
make test
echo "Tested with: $(g++ --version | head -n1); Mesa $(dpkg-query -W -f='${Version}' libgl1-mesa-dri);" \
  "$(clang-format --version); lintian $(lintian --version | cut -d' ' -f2);" \
  "$(valgrind --version); weston $(weston --version | cut -d' ' -f2)"
