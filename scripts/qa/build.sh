#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# qa-build and qa-build-RELEASE, inside a buildd root of RELEASE: the .deb
# from the .dsc, with only build-essential and the Build-Depends, built by
# an ordinary user with the tests at build time; left in /qa/build-RELEASE/.
#   build.sh RELEASE
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
release=$1
add_build_deps
unpack_as_builder
build_as_builder "/qa/build-$release/quillmere_$release.build" '' -us -uc
cp ../*.deb ../*.changes ../*.buildinfo ../*.dsc ../*.tar.* "/qa/build-$release/"
grep -E '^[0-9]+% tests passed' ../build.log
