#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# qa-source, inside the root: the .dsc and the source tarball from the tree
# copied to /qa/tree/quillmere, left in /qa/source/.
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
cd /qa/tree
dpkg-source -b quillmere
mv quillmere_* /qa/source/
