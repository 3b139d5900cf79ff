#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Derives a root from the one it runs in (scripts/make-root.sh packs the
# result): adds a foreign architecture, then installs the packages named.
#   derive.sh [--arch ARCH] [PACKAGE...]
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
if [[ ${1:-} == --arch ]]; then
  dpkg --add-architecture "$2"
  apt-get update -qq >/tmp/update.log 2>&1 || { cat /tmp/update.log; exit 1; }
  shift 2
fi
[[ $# -eq 0 ]] || add_packages "$@"
