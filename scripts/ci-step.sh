#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One line of a CI step's recipe, as the Makefile's step function runs it
# under make ci: COMMAND's output is added to LOGS/STEP.log and its start
# and end (seconds since the epoch) to LOGS/STEP.time; if it fails, the
# step's whole log is shown, and its status is the command's.
#   scripts/ci-step.sh LOGS STEP COMMAND...
set -uo pipefail
logs=$1
name=$2
shift 2
mkdir -p "$logs"
began=$EPOCHREALTIME
"$@" >>"$logs/$name.log" 2>&1
status=$?
echo "$began $EPOCHREALTIME $status" >>"$logs/$name.time"
if [[ $status -ne 0 ]]; then
  echo "== $name FAILED (status $status); its log, $logs/$name.log:"
  cat "$logs/$name.log"
fi
exit "$status"
