#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Copies the project's tree as a clone holds it into DEST (which must
# exist): the package is built from such a copy, so that nothing is written
# beside the tree.
#   scripts/copy-tree.sh DEST
# In a git checkout it copies what git tracks, as the working tree has it
# now (changes not yet committed included, deleted files left out), so that
# no stray build product, such as what an in-source "cmake ." leaves, comes
# along. Elsewhere (an unpacked source tarball) it copies the whole tree but
# its build directory and what an in-source configure leaves.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd -P)
dest=$1
if top=$(git -C "$src" rev-parse --show-toplevel 2>/dev/null) && [[ $top == "$src" ]]; then
  (cd "$src" && git ls-files -z --cached |
    while IFS= read -r -d '' file; do
      [[ -e $file || -L $file ]] && printf '%s\0' "$file"
    done | tar --null --no-recursion -T - -cf -) | tar -C "$dest" --warning=no-timestamp -xf -
else
  tar -C "$src" --exclude=./build --exclude=./CMakeCache.txt --exclude=./CMakeFiles --exclude-vcs \
    -cf - . | tar -C "$dest" --warning=no-timestamp -xf -
fi
