# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# The steps of a make target that runs many (test-windows.sh, test-web.sh),
# sourced by it after it sets step_prefix to its name:
#   step WHAT COMMAND...   runs COMMAND, showing its output only when it
#                          fails, and says how long it took
: "${step_prefix:?step.sh needs the variable step_prefix}"
step() {
  local what=$1 begun=$SECONDS log
  shift
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "$step_prefix: $what failed" >&2
    exit 1
  fi
  rm -f "$log"
  echo "$step_prefix: $what ($((SECONDS - begun)) s)"
}
