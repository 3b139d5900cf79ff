# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# Throwaway Debian roots, sourced by make-root.sh, which makes them, and by
# test-release.sh and debian-qa.sh, which run in them. Each release's base,
# mmdebstrap's apt variant (the essential packages and apt), is
# bootstrapped as build/roots/RELEASE-base.tar; every other root of the
# release, build/roots/NAME.tar, is derived from another by installing what
# the Makefile's rule for it adds. The packages downloaded for a release are kept in
# build/roots/RELEASE-archives, which mmdebstrap and apt in every root of
# that release share, so each is downloaded once. Every run starts from an
# untouched tar, in private mount and process namespaces: when it ends,
# however it ends, its mounts and processes end with it. dpkg skips fsync in
# these roots (force-unsafe-io, and eatmydata while bootstrapping): they are
# thrown away, never booted. Needs root.
roots_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
roots_dir="$roots_top/build/roots"
roots_mirror=http://deb.debian.org/debian

roots_need_root() {
  if [[ $(id -u) -ne 0 ]]; then
    echo "$0: building and entering a Debian root needs root; run it as root, as CI does." >&2
    exit 1
  fi
}

# roots_need NAME...: fails, naming the make target that makes them, unless
# the roots NAME.tar are there.
roots_need() {
  local name
  for name in "$@"; do
    [[ -s $roots_dir/$name.tar ]] ||
      { echo "$0: no build/roots/$name.tar; make builds it (make build/roots/$name.tar)" >&2; exit 1; }
  done
}

# bootstrap NAME RELEASE ROLE: the release's base, by mmdebstrap, its
# archives as its role (releases.mk's) has them. The apt lists stay in the
# root, so that runs install from them without asking the mirror again.
bootstrap() {
  local name=$1 release=$2 role=$3
  local tar="$roots_dir/$name.tar" archives="$roots_dir/$release-archives"
  local sources=("deb $roots_mirror $release main") options=()
  case $role in
    # The stable releases keep the check of their Release files' Valid-Until
    # date, and have updates and security archives. Testing and unstable
    # have no point releases to sign, and a mirror's Release file there can
    # outlive its Valid-Until date; a throwaway root of them is told not to
    # check it.
    stable | oldstable)
      sources+=("deb $roots_mirror $release-updates main"
        "deb http://deb.debian.org/debian-security $release-security main") ;;
    *)
      options+=(--aptopt='Acquire::Check-Valid-Until "false"') ;;
  esac
  echo "Building the $name root (kept as ${tar#"$roots_top"/})"
  mkdir -p "$archives"
  # The release's package cache is synced in before and out after; the
  # essential packages are kept for that (essential/unlink skipped).
  mmdebstrap --quiet --format=tar --variant=apt --skip=cleanup/apt/lists --skip=essential/unlink \
    --dpkgopt=force-unsafe-io --hook-dir=/usr/share/mmdebstrap/hooks/eatmydata \
    --setup-hook='mkdir -p "$1"/var/cache/apt/archives/' \
    --setup-hook="sync-in $archives /var/cache/apt/archives/" \
    --customize-hook="sync-out /var/cache/apt/archives $archives" \
    "${options[@]}" "$release" "$tar.part" "${sources[@]}" >/dev/null 2> >(grep -v \
      -e "^dpkg-query: no packages found matching \(lib\)\?eatmydata" \
      -e "^Removing 'local diversion of /usr/bin/dpkg" -e "^\./usr/" >&2)
}

# exchange_bundle DIR: DIR made afresh, holding what a clone of main holds,
# the committed tree and nothing uncommitted, as quillmere.bundle, for a
# run to clone from /qa.
exchange_bundle() {
  rm -rf "$1"
  mkdir -p "$1"
  git -C "$roots_top" bundle create --quiet "$1/quillmere.bundle" HEAD
}

# root_run NAME RELEASE BIND SCRIPT [ARG...]: runs SCRIPT, one of the files
# in scripts/qa/, with its ARGs, as root inside a fresh copy of NAME.tar,
# with no display and CI=true, the directory BIND mounted at /qa, and the
# release's package cache seen at apt's archive directory through an
# overlay: what the run downloads joins the cache once it has ended, and
# two runs at once never write the same files. With ROOT_KEEP set, the root
# is packed into that tar when SCRIPT has passed. It runs in a subshell of
# its own: its traps, which end the root however the run ends, leave the
# caller's alone.
root_run() (
  local name=$1 release=$2 bind=$3 script=$4
  shift 4
  local archives="$roots_dir/$release-archives" work inner=
  mkdir -p "$archives" "$bind"
  work=$(mktemp -d "$roots_dir/$name-run.XXXXXX")
  # unshare holds off SIGINT and SIGTERM while it waits for its child, so an
  # interrupted run ends the namespace's first process itself, and with it
  # every process in the namespace; the mounts go with the namespace.
  finish() {
    if [[ -n "$inner" ]]; then
      pkill -KILL -P "$inner" 2>/dev/null || true
      wait "$inner" 2>/dev/null || true
    fi
    # New downloads join the cache whole, each under its final name at once.
    find "$work/upper" -maxdepth 1 -name '*.deb' -print0 2>/dev/null |
      while IFS= read -r -d '' deb; do
        [[ -e "$archives/${deb##*/}" ]] || { cp "$deb" "$archives/.${deb##*/}" &&
          mv "$archives/.${deb##*/}" "$archives/${deb##*/}"; }
      done
    rm -rf "$work"
  }
  trap finish EXIT
  trap 'exit 130' INT TERM HUP
  local root="$work/root"
  mkdir -p "$root" "$work/upper" "$work/overlay"
  tar -C "$root" -xf "$roots_dir/$name.tar"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  # What this machine trusts, for node in the root (npm's downloads): on a
  # network whose proxy signs with an authority of its own, the root's
  # certificates alone fail it.
  cp /etc/ssl/certs/ca-certificates.crt "$root/etc/host-certificates.crt"
  mkdir -p "$root/qa"
  rm -rf "$root/qa-scripts"
  cp -r "$roots_top/scripts/qa" "$root/qa-scripts"
  # unshare's child is the namespace's first process; when it ends, the
  # kernel ends every process left in it.
  unshare --mount --pid --fork --kill-child --propagation private bash -euo pipefail -c '
    root=$1 archives=$2 bind=$3 work=$4 script=$5
    shift 5
    mount --bind "$root" "$root"
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/dev/shm"
    mount --rbind /sys "$root/sys"
    mount -t tmpfs tmpfs "$root/tmp"
    mount -t overlay overlay \
      -o "lowerdir=$archives,upperdir=$work/upper,workdir=$work/overlay" \
      "$root/var/cache/apt/archives"
    mount --bind "$bind" "$root/qa"
    # The root becomes the namespace'"'"'s own (pivot_root), not a chroot: the
    # kernel lets nobody in a chroot make a user namespace, which an
    # ordinary user'"'"'s make test makes for a read-only mount of its own.
    # This machine'"'"'s tree is then let go (umount2 with MNT_DETACH, by its
    # x86-64 number), through the root'"'"'s perl: a minimal root has no umount.
    cd "$root"
    mkdir -p .host
    pivot_root . .host
    perl -e '"'"'my $p = "/.host"; syscall(166, $p, 2) == 0 or die "umount /.host: $!\n"'"'"'
    rmdir /.host
    exec /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI=true DEBIAN_FRONTEND=noninteractive \
      NODE_EXTRA_CA_CERTS=/etc/host-certificates.crt \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash "/qa-scripts/$script" "$@"
  ' inner "$root" "$archives" "$bind" "$work" "$script" "$@" &
  inner=$!
  wait "$inner"
  inner=
  if [[ -n ${ROOT_KEEP:-} ]]; then
    # Without what the run added for itself, and apt's caches of its lists,
    # which apt makes again when it needs them, as mmdebstrap leaves a root.
    rm -rf "$root/qa-scripts" "$root/etc/resolv.conf" "$root/etc/host-certificates.crt" \
      "$root"/var/cache/apt/*.bin
    tar -C "$root" -cf "$ROOT_KEEP" .
  fi
)
