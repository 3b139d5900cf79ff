# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# Sourced by the scripts' tests that work on a copy of the tree, with their
# own arguments, SOURCE_DIR SCRATCH_DIR: sets src and scratch to them, makes
# the scratch directory afresh with a copy of the tree as a clone holds it
# (scripts/copy-tree.sh) in SCRATCH_DIR/tree, and leaves the test there.
src=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch/tree"
"$src/scripts/copy-tree.sh" "$scratch/tree"
cd "$scratch/tree" || exit 1
