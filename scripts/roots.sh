# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# Throwaway Debian roots, sourced by test-release.sh and debian-qa.sh.
# A root is built once by mmdebstrap and kept as build/roots/NAME.tar, with
# the packages that runs download kept beside it per release, so a second
# run neither builds the root nor downloads again. Every run starts from the
# untouched tar, in private mount and process namespaces: when it ends,
# however it ends, its mounts and processes end with it. Needs root.
roots_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
roots_dir="$roots_top/build/roots"
roots_mirror=http://deb.debian.org/debian

roots_need_root() {
  if [[ $(id -u) -ne 0 ]]; then
    echo "$0: building and entering a Debian root needs root; run it as root, as CI does." >&2
    exit 1
  fi
}

# root_build NAME RELEASE [MMDEBSTRAP_OPTION...]: builds NAME.tar unless it
# is there already. The apt lists stay in the root, so that runs install
# from them without asking the mirror again.
root_build() {
  local name=$1 release=$2
  shift 2
  local tar="$roots_dir/$name.tar"
  [[ -s "$tar" ]] && return 0
  local sources=("deb $roots_mirror $release main") options=()
  case $release in
    # Testing and unstable have no point releases to sign, and a mirror's
    # Release file there can outlive its Valid-Until date; a throwaway root
    # of them is told not to check it. Stable roots keep the check.
    forky | testing | sid | unstable)
      options+=(--aptopt='Acquire::Check-Valid-Until "false"') ;;
    *)
      sources+=("deb $roots_mirror $release-updates main"
        "deb http://deb.debian.org/debian-security $release-security main") ;;
  esac
  echo "Building the $name root (once; kept as ${tar#"$roots_top"/})"
  mkdir -p "$roots_dir"
  mmdebstrap --quiet --format=tar --skip=cleanup/apt/lists "${options[@]}" "$@" \
    "$release" "$tar.part" "${sources[@]}"
  mv "$tar.part" "$tar"
}

# minimal_root RELEASE: the root RELEASE.tar of a new user's system, which
# has only apt, git and make: mmdebstrap's apt variant plus git, make and
# ca-certificates.
minimal_root() {
  root_build "$1" "$1" --variant=apt --include=git,make,ca-certificates
}

# root_run NAME RELEASE BIND SCRIPT [ARG...]: runs SCRIPT, one of the files
# in scripts/qa/, with its ARGs, as root inside a fresh copy of NAME.tar,
# with no display and CI=true, the directory BIND mounted at /qa and the
# release's package cache at apt's archive directory. It runs in a subshell
# of its own: its traps, which end the root however the run ends, leave the
# caller's alone.
root_run() (
  local name=$1 release=$2 bind=$3 script=$4
  shift 4
  local archives="$roots_dir/$release-archives" work inner=
  mkdir -p "$archives/partial" "$bind"
  work=$(mktemp -d "$roots_dir/$name-run.XXXXXX")
  # unshare holds off SIGINT and SIGTERM while it waits for its child, so an
  # interrupted run ends the namespace's first process itself, and with it
  # every process in the namespace; the mounts go with the namespace.
  finish() {
    if [[ -n "$inner" ]]; then
      pkill -KILL -P "$inner" 2>/dev/null || true
      wait "$inner" 2>/dev/null || true
    fi
    rm -rf "$work"
  }
  trap finish EXIT
  trap 'exit 130' INT TERM HUP
  local root="$work/root"
  mkdir "$root"
  tar -C "$root" -xf "$roots_dir/$name.tar"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mkdir -p "$root/qa"
  cp -r "$roots_top/scripts/qa" "$root/qa-scripts"
  # unshare's child is the namespace's first process; when it ends, the
  # kernel ends every process left in it.
  unshare --mount --pid --fork --kill-child --propagation private bash -euo pipefail -c '
    root=$1 archives=$2 bind=$3 script=$4
    shift 4
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/dev/shm"
    mount --rbind /sys "$root/sys"
    mount -t tmpfs tmpfs "$root/tmp"
    mount --bind "$archives" "$root/var/cache/apt/archives"
    mount --bind "$bind" "$root/qa"
    exec chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI=true DEBIAN_FRONTEND=noninteractive \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash "/qa-scripts/$script" "$@"
  ' inner "$root" "$archives" "$bind" "$script" "$@" &
  inner=$!
  wait "$inner"
)
