#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Debian's own QA tools on the package, one job a call, each in a throwaway
# root (scripts/roots.sh) so that nothing is installed on this machine; what
# each job runs inside its root is a file of scripts/qa/, and what each
# checks is in docs/package.md:
#   scripts/debian-qa.sh source|build|build-bookworm|lintian|lintian-forky|blhc|reprotest|
#                        autopkgtest|piuparts|cross
# Jobs after source and build read what those left in build/qa/.
set -euo pipefail
job=${1:-}
# shellcheck source=scripts/roots.sh
source "$(dirname "$0")/roots.sh"
roots_need_root
qa="$roots_top/build/qa"
mkdir -p "$qa"

need() {  # the output of an earlier job
  compgen -G "$qa/$1" >/dev/null || { echo "$0: no $1 in build/qa/; run make qa-${2}" >&2; exit 1; }
}

case $job in
  source)
    need_root trixie-buildd
    rm -rf "$qa/source" "$qa/tree"
    mkdir -p "$qa/source" "$qa/tree/quillmere"
    "$roots_top/scripts/copy-tree.sh" "$qa/tree/quillmere"
    root_run trixie-buildd trixie "$qa" source.sh
    rm -rf "$qa/tree"
    ls "$qa/source"
    ;;

  build | build-bookworm)
    release=trixie
    [[ $job == build-bookworm ]] && release=bookworm
    need 'source/*.dsc' source
    need_root "$release-buildd"
    out="$qa/build-$release"
    rm -rf "$out"
    mkdir -p "$out"
    root_run "$release-buildd" "$release" "$qa" build.sh "$release"
    ls "$out"
    ;;

  lintian | lintian-forky)
    need 'build-trixie/*.changes' build
    suppressed=()
    if [[ $job == lintian ]]; then
      release=trixie name=trixie-buildd
      need_root trixie-buildd
    else
      # Debian 14 (testing): the minimal root that test-release uses.
      release=forky name=forky
      need_root forky
      # Standards-Version is the newest that Debian 13's lintian knows,
      # 4.7.2: it warns of any newer one (newer-standards-version), and
      # Debian 14's reports 4.7.2 as out of date. Only the latter is left out.
      suppressed=(out-of-date-standards-version)
    fi
    root_run "$name" "$release" "$qa" lintian.sh "${suppressed[@]}"
    ;;

  blhc)
    need 'build-trixie/*.build' build
    need_root trixie-buildd
    root_run trixie-buildd trixie "$qa" blhc.sh
    ;;

  reprotest)
    need 'source/*.dsc' source
    need_root trixie-buildd
    rm -rf "$qa/reprotest"
    mkdir -p "$qa/reprotest"
    root_run trixie-buildd trixie "$qa" reprotest.sh
    ;;

  autopkgtest)
    need 'build-trixie/*.deb' build
    need_root trixie-buildd
    rm -rf "$qa/autopkgtest"
    root_run trixie-buildd trixie "$qa" autopkgtest.sh
    ;;

  piuparts)
    need 'build-trixie/*.deb' build
    need_root trixie-buildd
    # piuparts' own clean root: minbase, the smallest Debian.
    need_root trixie-minbase
    rm -rf "$qa/piuparts"
    mkdir -p "$qa/piuparts"
    ln "$roots_dir/trixie-minbase.tar" "$qa/piuparts/base.tar"
    root_run trixie-buildd trixie "$qa" piuparts.sh
    rm -f "$qa/piuparts/base.tar"
    ;;

  cross)
    need 'source/*.dsc' source
    # A buildd root that has arm64 as a foreign architecture; this machine
    # does not.
    need_root trixie-cross
    rm -rf "$qa/cross"
    mkdir -p "$qa/cross"
    root_run trixie-cross trixie "$qa" cross.sh
    ;;

  *)
    echo "usage: $0 source|build|build-bookworm|lintian|lintian-forky|blhc|reprotest|autopkgtest|piuparts|cross" >&2
    exit 2
    ;;
esac
echo "qa-$job passed in $SECONDS s"
