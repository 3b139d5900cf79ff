#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the README's commands as a new user would: in a fresh minimal root
# of a Debian release (mmdebstrap's apt variant plus git, make and
# ca-certificates), as root, with no display, on a clone of the committed
# tree. make run must leave its screenshot, make test must pass, and the
# package must install with apt as the README says, run, and go again.
#   scripts/test-release.sh RELEASE [DEB]
# RELEASE is a codename (trixie, bookworm, forky). DEB, a package of this
# commit already built for that release (CI hands over its QA job's), is
# the one make test checks and apt installs; without it, make package
# builds one there first. The root is built once and kept in build/roots/
# (scripts/roots.sh).
set -euo pipefail
release=${1:-}
deb=${2:-}
if [[ -z "$release" ]]; then
  echo "usage: $0 RELEASE [DEB] (RELEASE a Debian codename such as trixie, bookworm or forky)" >&2
  exit 2
fi
# shellcheck source=scripts/roots.sh
source "$(dirname "$0")/roots.sh"
roots_need_root
need_root "$release"

# What a clone of main holds: the committed tree, nothing uncommitted.
exchange="$roots_dir/$release-bundle"
rm -rf "$exchange"
mkdir -p "$exchange"
git -C "$roots_top" bundle create --quiet "$exchange/quillmere.bundle" HEAD
package=()
if [[ -n $deb ]]; then
  cp "$deb" "$exchange/"
  package=("/qa/${deb##*/}")
fi

started=$SECONDS
# What the new user does (scripts/qa/new-user.sh).
root_run "$release" "$release" "$exchange" new-user.sh "${package[@]}"
rm -rf "$exchange"
echo "$release: make run, make test and the package's install passed in a fresh minimal root" \
  "($((SECONDS - started)) s)"
