#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Debian's own QA tools on the package, one job a call, each in a throwaway
# root (scripts/lib/roots.sh) so that nothing is installed on this machine;
# make's qa-* targets run it once the roots a job enters are made. What
# each job runs inside its root is a file of scripts/qa/, and what each
# checks is in docs/package.md:
#   scripts/debian-qa.sh source|build|lintian|blhc|reprotest|autopkgtest|piuparts|cross STABLE [RELEASE]
# STABLE is the release whose package the jobs check, built by build into
# build/qa/build-STABLE/; RELEASE, for build and lintian, another release
# whose root builds its own package, or whose lintian checks stable's.
# Jobs after source and build read what those left in build/qa/.
set -euo pipefail
job=${1:-}
stable=${2:-}
release=${3:-$stable}
usage="usage: $0 source|build|lintian|blhc|reprotest|autopkgtest|piuparts|cross STABLE [RELEASE]"
[[ -n $stable ]] || { echo "$usage" >&2; exit 2; }
# shellcheck source=scripts/lib/roots.sh
source "$(dirname "$0")/lib/roots.sh"
roots_need_root
qa="$roots_top/build/qa"
mkdir -p "$qa"

need() {  # the output of an earlier job
  compgen -G "$qa/$1" >/dev/null || { echo "$0: no $1 in build/qa/; run make qa-${2}" >&2; exit 1; }
}

case $job in
  source)
    roots_need "$stable-buildd"
    rm -rf "$qa/source" "$qa/tree"
    mkdir -p "$qa/source" "$qa/tree/quillmere"
    "$roots_top/scripts/copy-tree.sh" "$qa/tree/quillmere"
    root_run "$stable-buildd" "$stable" "$qa" source.sh
    rm -rf "$qa/tree"
    ls "$qa/source"
    ;;

  build)
    need 'source/*.dsc' source
    roots_need "$release-buildd"
    out="$qa/build-$release"
    rm -rf "$out"
    mkdir -p "$out"
    root_run "$release-buildd" "$release" "$qa" build.sh "$release"
    ls "$out"
    ;;

  lintian)
    need "build-$stable/*.changes" build
    suppressed=()
    if [[ $release == "$stable" ]]; then
      root=$stable-buildd
    else
      # A newer release's lintian, in the minimal root of its new user.
      # Standards-Version is the newest that stable's lintian knows: it
      # warns of any newer one (newer-standards-version), and a newer
      # lintian may report it as out of date. Only the latter is left out.
      root=$release
      suppressed=(out-of-date-standards-version)
    fi
    roots_need "$root"
    root_run "$root" "$release" "$qa" lintian.sh "$stable" "${suppressed[@]}"
    ;;

  blhc)
    need "build-$stable/*.build" build
    roots_need "$stable-buildd"
    root_run "$stable-buildd" "$stable" "$qa" blhc.sh "$stable"
    ;;

  reprotest)
    need 'source/*.dsc' source
    roots_need "$stable-buildd"
    rm -rf "$qa/reprotest"
    mkdir -p "$qa/reprotest"
    root_run "$stable-buildd" "$stable" "$qa" reprotest.sh
    ;;

  autopkgtest)
    need "build-$stable/*.deb" build
    roots_need "$stable-buildd"
    rm -rf "$qa/autopkgtest"
    root_run "$stable-buildd" "$stable" "$qa" autopkgtest.sh "$stable"
    ;;

  piuparts)
    need "build-$stable/*.deb" build
    # piuparts' own clean root: minbase, the smallest Debian.
    roots_need "$stable-buildd" "$stable-minbase"
    rm -rf "$qa/piuparts"
    mkdir -p "$qa/piuparts"
    ln "$roots_dir/$stable-minbase.tar" "$qa/piuparts/base.tar"
    root_run "$stable-buildd" "$stable" "$qa" piuparts.sh "$stable"
    rm -f "$qa/piuparts/base.tar"
    ;;

  cross)
    need 'source/*.dsc' source
    # A buildd root that has arm64 as a foreign architecture; this machine
    # does not.
    roots_need "$stable-cross"
    rm -rf "$qa/cross"
    mkdir -p "$qa/cross"
    root_run "$stable-cross" "$stable" "$qa" cross.sh
    ;;

  *)
    echo "$usage" >&2
    exit 2
    ;;
esac
echo "$job passed in $SECONDS s"
