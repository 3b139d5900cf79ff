#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make lint as a contributor runs it, with the tools of a Debian release:
# in a fresh minimal root of that release (build/roots/RELEASE.tar, which
# make builds first), on a clone of the committed tree, as root, who
# installs what it needs as make lint does. The make target lint-RELEASE
# runs it, and CI runs stable's, whose versions the tree is held to.
#   scripts/lint-release.sh RELEASE
set -euo pipefail
release=${1:-}
if [[ -z "$release" ]]; then
  echo "usage: $0 RELEASE (a codename that releases.mk lists)" >&2
  exit 2
fi
# shellcheck source=scripts/lib/roots.sh
source "$(dirname "$0")/lib/roots.sh"
roots_need_root
roots_need "$release"
started=$SECONDS
exchange="$roots_dir/$release-lint-bundle"
exchange_bundle "$exchange"
root_run "$release" "$release" "$exchange" static-checks.sh
rm -rf "$exchange"
echo "$release: make lint passed in a fresh minimal root ($((SECONDS - started)) s)"
