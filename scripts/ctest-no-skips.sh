#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every CTest test of a build tree and fails if any was skipped: a test
# skips, naming the tool, when a tool it needs is missing, and make test has
# installed them all, so a skip there means the run proved less than it says.
# Skips are read from CTest's JUnit report, not from its log.
#   scripts/ctest-no-skips.sh BUILD_DIR [CTEST_ARGS...]
set -euo pipefail
build=$1
shift
report="$(cd "$build" && pwd)/Testing/junit.xml"
# Mesa keeps a shader cache under XDG_CACHE_HOME: the tests' viewers keep it
# in the build tree, not in the user's home.
export XDG_CACHE_HOME
XDG_CACHE_HOME="$(cd "$build" && pwd)/Testing/cache"
rm -f "$report"
ctest --test-dir "$build" --output-on-failure --output-junit "$report" "$@"
# CTest opens each <testcase> element on a line of its own, with status
# "notrun" for a skipped test ("disabled" for one switched off), and keeps
# its output, which says why, in the element's <system-out>.
not_run='<testcase name="\([^"]*\)"[^>]*status="\(notrun\|disabled\)"'
if grep -q "$not_run" "$report"; then
  echo "Not run, which make test does not allow (their output in $report says why):" >&2
  sed -n "s/.*$not_run.*/  \1 (\2)/p" "$report" >&2
  exit 1
fi
