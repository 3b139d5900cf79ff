#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make test-release, inside a fresh minimal root: what a new user does, from
# a clone of the bundle in /qa: make run must leave its screenshot; make
# test must pass, checking the package DEB where one is given, else the one
# make package builds; and the package must install with apt as the README
# says, name its version, and be removed again. Then the versions it was
# tested with. As root; with --as-user, as an ordinary user, whose make run
# and make test must first stop, printing the command that installs what
# they need, which root runs before the user runs them again.
#   new-user.sh [--as-user] [DEB]
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
as=()
home=/root
if [[ ${1:-} == --as-user ]]; then
  shift
  useradd --create-home newcomer
  as=(runuser -u newcomer --)
  home=/home/newcomer
fi
# A path with a space and letters beyond ASCII, as many users' are.
clone="$home/odd dir/sp ace é☃/quillmere"
"${as[@]}" mkdir -p "${clone%/*}"
"${as[@]}" git -c advice.detachedHead=false -c init.defaultBranch=main clone --quiet \
  /qa/quillmere.bundle "$clone"
cd "$clone"
# Each make command, and the time it took. An ordinary user is first told
# the packages it needs, with the command for root, which root then runs.
timed() {
  local begun=$SECONDS out status=0
  if [[ ${#as[@]} -gt 0 ]]; then
    out=$("${as[@]}" "$@" 2>&1) || status=$?
    [[ $status -ne 0 && $out == *"Install them as root with either of:"* ]] || {
      echo "$out"
      echo "new user: $* did not stop to name the packages it needs (status $status)" >&2
      exit 1
    }
    bash -c "$(sed -n "s/^  su -c '\(.*\)'$/\1/p" <<<"$out")" >/tmp/install.log 2>&1 ||
      { cat /tmp/install.log; exit 1; }
    echo "new user: $*, after root ran the command it printed:"
  fi
  "${as[@]}" "$@"
  echo "new user: $* passed in $((SECONDS - begun)) s"
}
timed make run
test -s build/quillmere.png
arch=$(dpkg --print-architecture)
deb=${1:-}
if [[ -z $deb ]]; then
  timed make package
  deb=$(echo "$PWD"/build/quillmere_*_"$arch".deb)
fi
timed make test PACKAGE="$deb"
# dpkg-parsechangelog is there once make test has installed what it needs,
# as it is for a user who follows the README.
version=$(dpkg-parsechangelog -S Version)
# Installed as the README installs it, from build/ under the name the
# changelog and the architecture give it.
[[ $deb == "$PWD/build/${deb##*/}" ]] || cp "$deb" build/
apt-get install -y -qq "./build/quillmere_${version}_$arch.deb" \
  >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; exit 1; }
[[ $(quillmere --version) == "quillmere $version" ]] ||
  { echo "the installed quillmere does not say it is $version" >&2; exit 1; }
apt-get remove -y -qq quillmere >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; exit 1; }
! command -v quillmere >/dev/null || { echo "quillmere is still installed" >&2; exit 1; }
echo "Tested with: $(g++ --version | head -n1); Mesa $(dpkg-query -W -f='${Version}' libgl1-mesa-dri);" \
  "lintian $(lintian --version | cut -d' ' -f2); $(valgrind --version);" \
  "weston $(weston --version | cut -d' ' -f2)"
