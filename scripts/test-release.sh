#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the README's two commands as a new user would: in a fresh minimal root
# of a Debian release (mmdebstrap's apt variant plus git, make and
# ca-certificates), as root, with no display, on a clone of the committed
# tree. make run must leave its screenshot and make test must pass.
#   scripts/test-release.sh RELEASE     (a codename: trixie, bookworm, ...)
# The minimal root and the packages it downloads are kept in
# build/releases/, so a second run neither builds the root nor downloads
# again; each run still starts from the untouched root. Everything runs in
# private mount and process namespaces: when the run ends, however it ends,
# its mounts and processes end with it.
set -euo pipefail
release=${1:-}
if [[ -z "$release" ]]; then
  echo "usage: $0 RELEASE (a Debian codename such as trixie or bookworm)" >&2
  exit 2
fi
if [[ $(id -u) -ne 0 ]]; then
  echo "$0: building and entering a Debian root needs root; run it as root, as CI does." >&2
  exit 1
fi
top=$(cd "$(dirname "$0")/.." && pwd)
cache="$top/build/releases"
base="$cache/$release.tar"
archives="$cache/$release-archives"
mirror=http://deb.debian.org/debian
mkdir -p "$archives/partial"

if [[ ! -s "$base" ]]; then
  echo "Building a minimal $release root (once; kept as ${base#"$top"/})"
  mmdebstrap --quiet --variant=apt --format=tar --include=git,make,ca-certificates "$release" "$base.part" \
    "deb $mirror $release main" "deb $mirror $release-updates main" \
    "deb http://deb.debian.org/debian-security $release-security main"
  mv "$base.part" "$base"
fi

work=$(mktemp -d "$cache/$release-run.XXXXXX")
inner=
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
root="$work/root"
mkdir "$root"
tar -C "$root" -xf "$base"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# What a clone of main holds: the committed tree, nothing uncommitted.
git -C "$top" bundle create --quiet "$root/quillmere.bundle" HEAD

# What the new user does, as a script inside the root.
cat >"$root/new-user.sh" <<'EOF'
set -euo pipefail
git -c advice.detachedHead=false -c init.defaultBranch=main clone --quiet /quillmere.bundle /root/quillmere
cd /root/quillmere
make run
test -s build/quillmere.png
make test
echo "Tested with: $(g++ --version | head -n1); Mesa $(dpkg-query -W -f='${Version}' libgl1-mesa-dri);" \
  "$(clang-format --version); lintian $(lintian --version | cut -d' ' -f2);" \
  "$(valgrind --version); weston $(weston --version | cut -d' ' -f2)"
EOF

# Inside the namespaces: the kernel file systems the tests need, the package
# cache, then the new user's steps. unshare's child is the namespace's first
# process; when it ends, the kernel ends every process left in it.
started=$SECONDS
unshare --mount --pid --fork --kill-child --propagation private bash -euo pipefail -c '
  root=$1 archives=$2
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount -t tmpfs tmpfs "$root/dev/shm"
  mount --rbind /sys "$root/sys"
  mount --bind "$archives" "$root/var/cache/apt/archives"
  exec chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI=true \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash /new-user.sh
' inner "$root" "$archives" &
inner=$!
wait "$inner"
inner=
echo "$release: make run and make test passed in a fresh minimal root ($((SECONDS - started)) s)"
