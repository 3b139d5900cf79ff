#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI's graph in the Makefile, on a scratch copy of the tree:
#   - a release added to releases.mk, one word, brings its root, its new
#     user's run and its QA job into make ci, and nothing else is edited;
#     make lint runs once, in stable's root;
#   - a failing step fails the run, its whole log is shown, and no step
#     starts after it: the roots', QA jobs' and release runs' scripts are
#     stand-ins that record what runs, one of them failing;
#   - a step's processor time counts what it ran, and the table shows it.
#   ci_graph_test.sh SOURCE_DIR SCRATCH_DIR
set -euo pipefail
# shellcheck source=tests/scripts/scratch-tree.sh
source "$(dirname "$0")/scratch-tree.sh"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# 1. sid, one word more.
sed -i 's/^RELEASES := .*/& sid:unstable/' releases.mk
plan=$(make -n ci)
for expected in 'scripts/make-root.sh build/roots/sid-base.tar unstable' \
  'scripts/make-root.sh build/roots/sid.tar build/roots/sid-base.tar git make ca-certificates' \
  'scripts/test-release.sh  sid' 'scripts/debian-qa.sh lintian trixie sid'; do
  [[ $plan == *"$expected"* ]] || fail "with sid listed, make -n ci has no '$expected'"
done
[[ $(make -n qa-lintian-sid) == *'debian-qa.sh lintian trixie sid'* ]] || fail "no make qa-lintian-sid"
# make lint once, with stable's tools, whatever the releases.
[[ $(grep -o 'test-release\.sh --lint [a-z]*' <<<"$plan") == 'test-release.sh --lint trixie' ]] ||
  fail "make -n ci does not run make lint once, in stable's root: $(grep -o 'test-release.sh --lint.*' <<<"$plan")"
cp "$src/releases.mk" releases.mk

# 2. A failing step. Each stand-in records its start and end; the QA build
# of oldstable fails.
record="$scratch/record"
for script in install-deps make-root debian-qa test-release; do
  cat >"scripts/$script.sh" <<STAND_IN
#!/bin/sh
echo "start $script \$*" >>"$record"
case "$script \$*" in
  "debian-qa build trixie bookworm") echo "the build broke, at length"; exit 3 ;;
  make-root*) touch "\$1" ;;
esac
sleep 0.2
echo "end $script \$*" >>"$record"
STAND_IN
  chmod +x "scripts/$script.sh"
done
status=0
out=$(make -j2 -O qa release-trixie release-bookworm release-forky CI_LOGS="$scratch/logs" 2>&1) ||
  status=$?
[[ $status -ne 0 ]] || fail "make passed though a step failed"
[[ $out == *"== qa-build-bookworm FAILED (status 3)"*"the build broke, at length"* ]] ||
  fail "the failing step's log was not shown: $out"
# No step began after the failure ended (a step already running finishes
# its recipe): each step's first command against the failed command's end,
# and half a second more, in which make may yet start the step it took up
# as the failure came.
failed_end=$(awk '$3 != 0 { print $2 }' "$scratch/logs/qa-build-bookworm.time")
for times in "$scratch"/logs/*.time; do
  began=$(head -n1 "$times" | cut -d' ' -f1)
  awk -v b="$began" -v f="$failed_end" 'BEGIN { exit !(b > f + 0.5) }' &&
    fail "the step ${times##*/} began after the failure"
done
grep -q 'test-release.*bookworm' "$record" && fail "oldstable's run started without its package"
scripts/ci-report.sh "$scratch/logs" | grep -q '^qa-build-bookworm .*FAILED$' ||
  fail "the table does not show the failed step: $(scripts/ci-report.sh "$scratch/logs")"

# 3. A step's processor time is that of the processes it ran, and the
# table shows it: a grandchild that computes for a second (at least a fifth
# of it on a processor, however busy the machine), against a sleep.
scripts/ci-step.sh "$scratch/cpu" busy sh -c 'timeout 1 sh -c "while :; do :; done"; true'
scripts/ci-step.sh "$scratch/cpu" idle sleep 0.3
awk '{ exit !($4 >= 0.2) }' "$scratch/cpu/busy.time" ||
  fail "a step that computed was given $(cut -d' ' -f4 "$scratch/cpu/busy.time") processor seconds"
awk '{ exit !($4 < 0.1) }' "$scratch/cpu/idle.time" ||
  fail "a step that slept was given $(cut -d' ' -f4 "$scratch/cpu/idle.time") processor seconds"
scripts/ci-report.sh "$scratch/cpu" | grep -Eq '^step +began at +seconds +cpu s +result$' ||
  fail "the table has no processor time: $(scripts/ci-report.sh "$scratch/cpu")"

[[ $failures -eq 0 ]] || exit 1
rm -rf "$scratch"
echo "CI's graph: a new release is one word; a failing step stops the run and shows its log; a step's processor time is counted"
