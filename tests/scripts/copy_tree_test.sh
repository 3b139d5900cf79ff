#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# scripts/copy-tree.sh on a scratch checkout: it copies what git tracks as
# the working tree has it, and no stray build product; without git, the
# whole tree but its build directory and an in-source configure's files.
#   copy_tree_test.sh SOURCE_DIR SCRATCH_DIR
set -euo pipefail
src=$1
scratch=$2
rm -rf "$scratch"
repo="$scratch/checkout with space é"
mkdir -p "$repo/scripts" "$repo/build"
cp "$src/scripts/copy-tree.sh" "$repo/scripts/"
cd "$repo"
echo one >kept
echo two >changed
echo three >deleted
echo four >"sp ace é"
git init -q .
git add .
git -c user.name=test -c user.email=test@example.org commit -q -m tracked
echo changed >changed
rm deleted
echo new >untracked
# What an in-source "cmake ." leaves behind, and a build directory's output.
echo cache >CMakeCache.txt
mkdir CMakeFiles
echo rules >CMakeFiles/rules
echo built >build/output

failures=0
expect_copy() {  # WHAT EXPECTED_FILES...: copies, and compares the files and one's content
  local what=$1 dest
  shift
  dest=$(mktemp -d "$scratch/copy.XXXXXX")
  scripts/copy-tree.sh "$dest"
  local found
  found=$(cd "$dest" && find . -type f | sort | paste -s -d '|')
  local wanted
  wanted=$(printf './%s\n' "$@" | sort | paste -s -d '|')
  if [[ $found != "$wanted" ]]; then
    echo "FAIL: $what: copied $found; expected $wanted" >&2
    failures=$((failures + 1))
  elif [[ $(cat "$dest/changed") != changed ]]; then
    echo "FAIL: $what: the copy holds the committed text of a changed file" >&2
    failures=$((failures + 1))
  fi
}
expect_copy "in a git checkout" kept changed "sp ace é" scripts/copy-tree.sh
rm -rf .git
expect_copy "without git" kept changed "sp ace é" scripts/copy-tree.sh untracked
[[ $failures -eq 0 ]] || exit 1
cd /
rm -rf "$scratch"
echo "copy-tree.sh: what git tracks, as the working tree has it; without git, no build products"
