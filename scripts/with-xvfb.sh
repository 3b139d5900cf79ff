#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command on a private virtual X display: starts Xvfb on a free display
# number, sets DISPLAY for the command, and stops the server afterwards,
# whether the command succeeded or not. Never uses an existing display.
set -euo pipefail

if [[ $# -eq 0 ]]; then
  echo "usage: $0 COMMAND [ARGS...]" >&2
  exit 2
fi

numfile=$(mktemp)
logfile=$(mktemp)
# Xvfb picks the first free display and writes its number to fd 3 once it
# accepts connections. -noreset keeps it from resetting, and refusing
# connections meanwhile, each time its last client leaves between two tests.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$numfile" 2>"$logfile" &
xvfb_pid=$!
cleanup() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -f "$numfile" "$logfile"
}
trap cleanup EXIT

deadline=$((SECONDS + 20))
until [[ -s "$numfile" ]]; do
  if ! kill -0 "$xvfb_pid" 2>/dev/null || ((SECONDS > deadline)); then
    echo "Xvfb did not start:" >&2
    cat "$logfile" >&2
    exit 1
  fi
  sleep 0.05
done

status=0
DISPLAY=":$(head -n1 "$numfile")" "$@" || status=$?
exit "$status"
