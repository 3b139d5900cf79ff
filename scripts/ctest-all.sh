#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every CTest test of a build tree and fails if any was skipped: a test
# skips, naming the tool, when a tool it needs is missing, and make test has
# installed them all, so a skip there means the run proved less than it says.
#   scripts/ctest-all.sh BUILD_DIR [CTEST_ARGS...]
set -euo pipefail
build=$1
shift
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
ctest --test-dir "$build" --output-on-failure "$@" 2>&1 | tee "$log" || status=$?
[[ $status -eq 0 ]] || exit "$status"
if grep -q '\*\*\*Skipped\|(Skipped)' "$log"; then
  # Each skip says why: GoogleTest's message follows its "Skipped" line, a
  # script's starts with "SKIPPED:".
  echo "Why they were skipped:" >&2
  grep -h -A1 -E ': Skipped$|^SKIPPED: ' "$build/Testing/Temporary/LastTest.log" |
    grep -v -E '^(--|.*: Skipped|<end of output>)$' | sort -u | sed 's/^/  /' >&2
  echo "Some tests were skipped; every test must run." >&2
  exit 1
fi
