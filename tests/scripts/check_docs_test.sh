#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# scripts/check-docs.sh on a scratch copy of the tree, one fault put into a
# doc at a time: a make target the Makefile lacks, a link to a heading
# that is not there (the fused heading it once missed among them), a test
# suite that reliability.md names but its file lacks (C++ or JavaScript),
# and a path of one machine fail it; the same path in a command a reader
# runs does not.
#   check_docs_test.sh SOURCE_DIR SCRATCH_DIR
set -euo pipefail
# shellcheck source=tests/scripts/scratch-tree.sh
source "$(dirname "$0")/scratch-tree.sh"
cp -a docs "$scratch/docs"

failures=0
# Each case: the file, the sed edit, and what the checker must say ("" for a pass).
while IFS='|' read -r file edit expected; do
  rm -rf docs && cp -a "$scratch/docs" docs
  cp "$src/README.md" "$src/CONTRIBUTING.md" .
  sed -i "$edit" "$file"
  status=0
  out=$(bash scripts/check-docs.sh 2>&1) || status=$?
  if [[ -z $expected && $status -eq 0 ]] || [[ -n $expected && $status -ne 0 && $out == *"$expected"* ]]; then
    continue
  fi
  echo "FAIL: '$edit' on $file: expected ${expected:-a pass}; got status $status:" >&2
  echo "$out" >&2
  failures=$((failures + 1))
done <<'EOF_CASES'
README.md|s/`make run`/`make run` (or `make runn`)/|names make runn, which the Makefile lacks
docs/testing.md|s/^## The static checks/TESTWEB## The static checks/|links to docs/testing.md#the-static-checks, but docs/testing.md has no heading
docs/testing.md|s/](#ci)/](#ci-times)/|links to #ci-times, but docs/testing.md has no heading
README.md|s/^## The two commands/## The commands/|links to README.md#the-two-commands
docs/reliability.md|s/(`KeyStorm`)/(`KeyStorms`)/|names the test KeyStorms, which tests/e2e/storms_test.cpp does not hold
docs/reliability.md|s/(`NoDisplay`)/(`NoDisplays`)/|names the test NoDisplays, which tests/e2e/toolkit_test.cpp does not hold
docs/reliability.md|s/(`PageKeys`)/(`PageKey`)/|names the test PageKey, which tests/web/page.test.js does not hold
docs/performance.md|s/^## Sizes/## Sizes\n\nMeasured in \/home\/alice\/quillmere./|names /home/alice/quillmere., a path of one machine
CONTRIBUTING.md|s/^## Style/## Style\n\nKept in `\/tmp\/work`./|names /tmp/work, a path of one machine
CONTRIBUTING.md|s/^## Style/## Style\n\nRun `TMPDIR=\/tmp\/x make test` or `cp build\/quillmere.png \/tmp\/`./|
CONTRIBUTING.md|s/^## Style/## Style\n\n```sh\ncd \/root\/quillmere\n```/|
EOF_CASES
[[ $failures -eq 0 ]] || exit 1
rm -rf "$scratch"
echo "check-docs.sh: missing anchors, missing test suites and machines' paths fail it; commands may name such paths"
