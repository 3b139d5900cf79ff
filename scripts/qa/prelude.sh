# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# Sourced by every script that runs inside a throwaway root (scripts/lib/roots.sh
# runs them as root, with /qa bound to build/qa/ or to the job's exchange
# directory and apt's archive directory to the release's package cache),
# which set -euo pipefail themselves.

# Installs packages from the cached archives, showing apt's and the
# packages' output only when it fails.
add_packages() {
  apt-get install -y --no-install-recommends "$@" >/tmp/install.log 2>&1 ||
    { cat /tmp/install.log; exit 1; }
}

# Installs the source package's build dependencies, with apt-get build-dep's
# options (an architecture and profiles, say).
add_build_deps() {
  apt-get build-dep -y --no-install-recommends "$@" /qa/source/*.dsc >/tmp/install.log 2>&1 ||
    { cat /tmp/install.log; exit 1; }
}

# An ordinary user, builder, with the .dsc unpacked in its home; the caller
# is left in the unpacked tree.
unpack_as_builder() {
  useradd --create-home builder
  cp /qa/source/* /home/builder/
  chown -R builder: /home/builder
  (cd /home/builder && runuser -u builder -- dpkg-source --no-check -x quillmere_*.dsc quillmere) \
    >/dev/null
  cd /home/builder/quillmere || exit 1
}

# Builds the unpacked source as builder, keeping the log as LOG and showing
# its end when the build fails.
#   build_as_builder LOG DEB_BUILD_OPTIONS DPKG_BUILDPACKAGE_ARG...
build_as_builder() {
  local log=$1 options=$2 status=0
  shift 2
  runuser -u builder -- env DEB_BUILD_OPTIONS="$options parallel=$(nproc)" \
    dpkg-buildpackage "$@" >../build.log 2>&1 || status=$?
  cp ../build.log "$log"
  [[ $status -eq 0 ]] || { tail -n 60 ../build.log; exit "$status"; }
}
