#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Copies the project's tree as a clone holds it, without build output or
# version control, into DEST (which must exist): the package is built from
# such a copy, so that nothing is written beside the tree.
#   scripts/copy-tree.sh DEST
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
tar -C "$src" --exclude=./build --exclude-vcs -cf - . | tar -C "$1" --warning=no-timestamp -xf -
