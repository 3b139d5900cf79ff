#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make lint-RELEASE, inside a fresh minimal root: make lint on a clone of
# the bundle in /qa, as root, then the versions of the tools it ran.
set -euo pipefail
# shellcheck source=scripts/qa/prelude.sh
source "$(dirname "$0")/prelude.sh"
git -c advice.detachedHead=false -c init.defaultBranch=main clone --quiet /qa/quillmere.bundle \
  /root/quillmere
cd /root/quillmere
make lint
echo "Checked with: $(clang-format --version); clang-tidy $(clang-tidy --version |
  sed -n 's/.*version \([0-9.]*\).*/\1/p' | head -n1); $(cppcheck --version); shellcheck" \
  "$(shellcheck --version | sed -n 's/^version: //p'); ESLint $(build/npm/node_modules/.bin/eslint --version)"
