#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes one throwaway Debian root, for the Makefile's rules, which say what
# each root derives from and adds (scripts/lib/roots.sh says how roots are
# kept and entered). Without FROM, the release's base, bootstrapped by
# mmdebstrap; with FROM, a fresh copy of that root with ARCH added as a
# foreign architecture and the packages named installed (apt's names or
# patterns). The release is the first word of the root's name; a base is
# told its role, as releases.mk gives it. As root.
#   scripts/make-root.sh build/roots/NAME-base.tar ROLE
#   scripts/make-root.sh build/roots/NAME.tar FROM.tar [--arch ARCH] [PACKAGE...]
set -euo pipefail
# shellcheck source=scripts/lib/roots.sh
source "$(dirname "$0")/lib/roots.sh"
roots_need_root
name=$(basename "$1" .tar)
release=${name%%-*}
tar="$roots_dir/$name.tar"
mkdir -p "$roots_dir"
if [[ $name == *-base ]]; then
  bootstrap "$name" "$release" "${2:?$0: a base needs its role}"
else
  from=$(basename "$2" .tar)
  shift 2
  echo "Deriving the $name root from $from"
  mkdir -p "$roots_dir/nothing"
  ROOT_KEEP="$tar.part" root_run "$from" "$release" "$roots_dir/nothing" derive.sh "$@"
fi
mv "$tar.part" "$tar"
