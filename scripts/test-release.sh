#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the README's two commands as a new user would: in a fresh minimal root
# of a Debian release (mmdebstrap's apt variant plus git, make and
# ca-certificates), as root, with no display, on a clone of the committed
# tree. make run must leave its screenshot and make test must pass.
#   scripts/test-release.sh RELEASE     (a codename: trixie, bookworm, forky)
# The root is built once and kept in build/roots/ (scripts/roots.sh).
set -euo pipefail
release=${1:-}
if [[ -z "$release" ]]; then
  echo "usage: $0 RELEASE (a Debian codename such as trixie, bookworm or forky)" >&2
  exit 2
fi
# shellcheck source=scripts/roots.sh
source "$(dirname "$0")/roots.sh"
roots_need_root
minimal_root "$release"

# What a clone of main holds: the committed tree, nothing uncommitted.
exchange="$roots_dir/$release-bundle"
rm -rf "$exchange"
mkdir -p "$exchange"
git -C "$roots_top" bundle create --quiet "$exchange/quillmere.bundle" HEAD

started=$SECONDS
# What the new user does (scripts/qa/new-user.sh).
root_run "$release" "$release" "$exchange" new-user.sh
rm -rf "$exchange"
echo "$release: make run and make test passed in a fresh minimal root ($((SECONDS - started)) s)"
