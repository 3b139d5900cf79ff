# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# The steps of a make target that runs many (test-windows.sh, test-web.sh),
# sourced by it after it sets step_prefix to its name:
#   step WHAT COMMAND...   runs COMMAND, showing its output only when it
#                          fails, and says how long it took and, where it
#                          ran CTest, CTest's summary
#   steps_passed           says that every step passed, and in what time,
#                          then ends with CTest's summary of all the tests
#                          the steps ran
#   copy_elsewhere DIR     copies the tree (run from its top) to
#                          DIR/elsewhere/quillmere, DIR made afresh, every
#                          file dated a day before, for a second build that
#                          must give the same bytes
: "${step_prefix:?steps.sh needs the variable step_prefix}"
steps_started=$SECONDS
# The sourcing script's builds and test runs take one job a processor.
# shellcheck disable=SC2034
jobs=$(nproc 2>/dev/null || echo 2)
tests_run=0
step() {
  local what=$1 begun=$SECONDS log summary
  shift
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "$step_prefix: $what failed" >&2
    exit 1
  fi
  # CTest's closing line: "100% tests passed, 0 tests failed out of N".
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+$' "$log" || true)
  rm -f "$log"
  echo "$step_prefix: $what ($((SECONDS - begun)) s)${summary:+; $summary}"
  while read -r count; do
    tests_run=$((tests_run + count))
  done < <(sed -n 's/.* out of \([0-9]*\)$/\1/p' <<<"$summary")
}

steps_passed() {
  echo "$step_prefix passed in $((SECONDS - steps_started)) s"
  echo "100% tests passed, 0 tests failed out of $tests_run"
}

copy_elsewhere() {
  local copy=$1/elsewhere/quillmere
  rm -rf "$1"
  mkdir -p "$copy"
  scripts/copy-tree.sh "$copy"
  find "$copy" -exec touch -d "@$(($(date +%s) - 86400))" {} +
}
