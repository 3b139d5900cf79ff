#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages (of any release that releases.mk lists)
# that one purpose needs, and only those:
#   scripts/install-deps.sh PURPOSE...
# It calls apt-get only when something is missing, and only as root; any
# other user is shown the command to run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

# The libraries and tools the viewer builds with are the package's
# Build-Depends, named once in debian/control: those for every build, and
# those marked <!nocheck>, which only the tests need. debhelper-compat is
# the package build's own.
build_depends() {  # ALL|NOCHECK
  sed -n '/^Build-Depends:/,/^[^ ]/{s/^Build-Depends://;/^[^ ]/d;p}' "$top/debian/control" |
    tr ',' '\n' | while read -r name rest; do
      [[ -z $name || $name == debhelper-compat ]] && continue
      if [[ $rest == *'<!nocheck>'* ]]; then
        [[ $1 == NOCHECK ]] && echo "$name"
      else
        [[ $1 == ALL ]] && echo "$name"
      fi
    done | paste -s -d ' '
}

declare -A lists=(
  # Compiling the viewer (which calls Xlib itself to name its window): the
  # Build-Depends, the compiler, and Ninja, which builds in parallel with
  # less overhead than make.
  [build]="$(build_depends ALL) make ninja-build g++"
  # make run's check that the display in DISPLAY answers.
  [display]="x11-utils"
  # make run without a usable display: a virtual one and the screenshot tool,
  # which writes its PNG through libpng.
  [headless]="xvfb libpng-dev"
  # The display-free tests (make check), and any tree that builds them:
  # GoogleTest, the Build-Depends that only the tests need.
  [unit]="$(build_depends NOCHECK)"
  # make test's end-to-end tests: memcheck, a Wayland session, a window
  # manager whose rules match windows by class, script(1) for a terminal,
  # and mount(8) for a read-only clone.
  [test]="valgrind weston xwayland openbox bsdutils mount"
  [lint]="clang-format clang-tidy cppcheck shellcheck"
  # make bench, and make lint, which reads the benchmarks' compile commands.
  [bench]="libbenchmark-dev"
  # make package, and the checks of what it builds; dpkg-buildpackage
  # insists on build-essential even where the compiler is already there.
  [package]="build-essential debhelper dpkg-dev lintian appstream devscripts libdistro-info-perl
    desktop-file-utils man-db"
  # make test-cross: the display-free tests built for arm64 and run under
  # qemu-user, with GoogleTest built from Debian's sources for the target.
  [cross]="g++-aarch64-linux-gnu qemu-user googletest"
  # make test-clang: the same tests built by Clang.
  [clang]="clang"
  # make package-windows: the viewer cross-built for 64-bit Windows by
  # MinGW-w64 (POSIX threads, as GoogleTest's sources need) against freeglut
  # built from Debian's source package (apt-get source and dpkg-source), with
  # its icon made from the SVG one; zipped, dated by the changelog.
  [windows]="g++-mingw-w64-x86-64-posix googletest dpkg-dev debian-archive-keyring librsvg2-bin
    icoutils zip"
  # make test-windows: that build run under Wine, and its zip read back.
  [wine]="wine wine64 unzip"
  # make web and make run-web: the viewer as a static page, built by
  # Emscripten (whose tools need Debian's acorn for node), and served on
  # this machine by Python's own web server.
  [web]="cmake ninja-build emscripten node-acorn python3"
  # make package-web: the site's zip, dated by the changelog.
  [package-web]="zip dpkg-dev"
  # make test-web: its display-free tests under node, with GoogleTest built
  # from Debian's sources, and the page in two real browsers, opened from
  # its zip too.
  [browsers]="googletest chromium firefox-esr unzip"
  # make test-web's browser driver and audit of the page, and make lint's
  # linter of JavaScript: puppeteer-core, Lighthouse and ESLint, from the npm
  # registry, at the versions tests/web/package-lock.json pins, into
  # build/npm/ (below), never anywhere else.
  [npm]="nodejs npm"
  # make test-release: fresh minimal Debian roots.
  [release]="mmdebstrap git"
)

# The npm registry's packages, once Debian's node and npm are there:
# installed by npm from the lock file into build/npm/ when what is there is
# not what the lock names. No root is needed for that.
npm_packages() {
  local lock="$top/tests/web/package-lock.json" dir="$top/build/npm"
  cmp -s "$lock" "$dir/package-lock.json" && [[ -d $dir/node_modules ]] && return 0
  echo "Installing puppeteer-core, Lighthouse and ESLint from the npm registry into build/npm/"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$top/tests/web/package.json" "$lock" "$dir/"
  npm ci --prefix "$dir" --no-audit --no-fund --loglevel=error >/dev/null
}
after() {
  [[ " $* " != *" npm "* ]] || npm_packages
}

if [[ $# -eq 0 ]]; then
  echo "usage: $0 PURPOSE... (purposes: ${!lists[*]})" >&2
  exit 2
fi
wanted=()
for purpose in "$@"; do
  [[ -n "${lists[$purpose]:-}" ]] || { echo "$0: unknown purpose '$purpose'" >&2; exit 2; }
  for p in ${lists[$purpose]}; do
    [[ " ${wanted[*]} " == *" $p "* ]] || wanted+=("$p")
  done
done
# One query for all of them: make run starts here every time. A package
# counts as present once it is unpacked and configured, its triggers
# pending or awaited included (they run at the next dpkg run, and the
# package works meanwhile); half-installed, unpacked only or config-files
# only, it does not.
mapfile -t installed < <(dpkg-query -W -f='${db:Status-Eflag} ${db:Status-Status} ${Package}\n' \
  "${wanted[@]}" 2>/dev/null | sed -n -E 's/^ok (installed|triggers-pending|triggers-awaited) //p')
missing=()
for p in "${wanted[@]}"; do
  [[ " ${installed[*]} " == *" $p "* ]] || missing+=("$p")
done
# A name another installed package provides counts too: NodeSource's
# nodejs, say, provides npm (and conflicts with Debian's).
if [[ ${#missing[@]} -gt 0 ]]; then
  mapfile -t provided < <(dpkg-query -W -f='${db:Status-Status} ${Provides}\n' 2>/dev/null |
    sed -n -E 's/^(installed|triggers-pending|triggers-awaited) //p' | tr ',' '\n' |
    sed -E 's/^ *//; s/ .*//' | sort -u)
  still=()
  for p in "${missing[@]}"; do
    [[ " ${provided[*]} " == *" $p "* ]] || still+=("$p")
  done
  missing=("${still[@]}")
fi
if [[ ${#missing[@]} -eq 0 ]]; then
  after "$@"
  exit 0
fi

install="apt-get install -y --no-install-recommends ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  echo "Quillmere needs these Debian packages, which are not installed: ${missing[*]}" >&2
  echo "Install them as root with either of:" >&2
  echo "  sudo apt-get update && sudo $install" >&2
  echo "  su -c 'apt-get update && $install'" >&2
  echo "then run the same make command again." >&2
  exit 1
fi

echo "Installing missing Debian packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Another apt at work on this machine (a second make, say) is waited for;
# two of these scripts at once take turns, as apt's list lock would refuse
# the second's update. The lock is where only root can write, so that no
# other user can take it first; its test names one in its scratch directory.
exec 8>"${QUILLMERE_INSTALL_LOCK:-/run/quillmere-install-deps.lock}"
flock -w 600 8 || { echo "$0: another install of packages held on for 10 min" >&2; exit 1; }
apt-get -o DPkg::Lock::Timeout=300 update -qq
apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
after "$@"
