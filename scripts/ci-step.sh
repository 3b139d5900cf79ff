#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One line of a CI step's recipe, as the Makefile's step function runs it
# under make ci: COMMAND's output is added to LOGS/STEP.log, and its start
# and end (seconds since the epoch), status and processor time (the user
# and system seconds of every process it waited for) to LOGS/STEP.time; if
# it fails, the step's whole log is shown, and its status is the command's.
#   scripts/ci-step.sh LOGS STEP COMMAND...
set -uo pipefail
logs=$1
name=$2
shift 2
mkdir -p "$logs"
# This shell's children's processor time, in clock ticks: fields 16 and
# 17 of its /proc stat line (its name, ci-step.sh, has no space).
children_ticks() {
  local stat
  read -r -a stat </proc/$$/stat
  echo $((stat[15] + stat[16]))
}
ticks=$(getconf CLK_TCK)
before=$(children_ticks)
began=$EPOCHREALTIME
"$@" >>"$logs/$name.log" 2>&1
status=$?
ended=$EPOCHREALTIME
cpu=$(($(children_ticks) - before))
echo "$began $ended $status $((cpu / ticks)).$(printf '%02d' $((cpu % ticks * 100 / ticks)))" \
  >>"$logs/$name.time"
if [[ $status -ne 0 ]]; then
  echo "== $name FAILED (status $status); its log, $logs/$name.log:"
  cat "$logs/$name.log"
fi
exit "$status"
