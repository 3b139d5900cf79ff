#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the README's commands as a new user would: in a fresh minimal root
# of a Debian release (mmdebstrap's apt variant plus git, make and
# ca-certificates, build/roots/RELEASE.tar, which make builds first), with
# no display, on a clone of the committed tree. make run must leave its
# screenshot, make test must pass, and the package must install with apt
# as the README says, run, and go again. make test-release and CI's
# release-* steps run it. With --lint, a contributor's make lint instead,
# with that release's tools (make lint-RELEASE; CI runs stable's).
#   scripts/test-release.sh [--as-user | --lint] RELEASE [DEB]
# RELEASE is a codename of releases.mk. DEB, a package of this commit
# already built for that release (CI hands over its QA job's), is the one
# make test checks and apt installs; without it, make package builds one
# there first. As root by default; with --as-user, as an ordinary user, who
# is shown the command that installs packages, has root run it, and runs
# the same make command again (scripts/qa/new-user.sh).
set -euo pipefail
options=()
script=new-user.sh
as_user=
case ${1:-} in
  --as-user) options=(--as-user) && as_user=yes && shift ;;
  --lint) script=static-checks.sh && shift ;;
esac
release=${1:-}
deb=${2:-}
if [[ -z "$release" ]]; then
  echo "usage: $0 [--as-user | --lint] RELEASE [DEB] (RELEASE a codename that releases.mk lists)" >&2
  exit 2
fi
# shellcheck source=scripts/lib/roots.sh
source "$(dirname "$0")/lib/roots.sh"
roots_need_root
roots_need "$release"

# Each run its own exchange directory: CI runs a release's two at once.
exchange="$roots_dir/$release-${script%.sh}"
exchange_bundle "$exchange"
if [[ -n $deb ]]; then
  cp "$deb" "$exchange/"
  options+=("/qa/${deb##*/}")
fi

started=$SECONDS
# What the new user, or the contributor, does (scripts/qa/).
root_run "$release" "$release" "$exchange" "$script" "${options[@]}"
rm -rf "$exchange"
if [[ $script == static-checks.sh ]]; then
  echo "$release: make lint passed in a fresh minimal root ($((SECONDS - started)) s)"
else
  echo "$release: make run, make test and the package's install passed in a fresh minimal root" \
    "${as_user:+as an ordinary user }($((SECONDS - started)) s)"
fi
