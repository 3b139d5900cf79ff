#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the named throwaway Debian roots (scripts/roots.sh) unless they are
# there, each from what it derives from: CI makes each one once, before the
# jobs that enter it.
#   scripts/root.sh NAME...     (trixie-base, trixie, trixie-buildd, ...)
set -euo pipefail
# shellcheck source=scripts/roots.sh
source "$(dirname "$0")/roots.sh"
roots_need_root
for name in "$@"; do
  need_root "$name"
done
