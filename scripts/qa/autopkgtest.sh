#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# qa-autopkgtest, inside the root: the runner with its null backend runs
# debian/tests against the package installed here first, so it needs no
# repository of its own, which it would reset with a download. STABLE
# names the release whose build it is.
#   autopkgtest.sh STABLE
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
add_packages autopkgtest "/qa/build-$1"/quillmere_*_amd64.deb
dpkg-query -W autopkgtest
autopkgtest --no-built-binaries --output-dir /qa/autopkgtest /qa/source/quillmere_*.dsc -- null
