#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# qa-blhc, inside the root: blhc --debian --all on qa-build's build log,
# that of the release STABLE.
#   blhc.sh STABLE
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
add_packages blhc
blhc --version | head -n1
blhc --debian --all "/qa/build-$1/quillmere_$1.build"
echo 'blhc: every compile and link has the hardening flags'
