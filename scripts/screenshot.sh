#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the viewer on the display DISPLAY names, saves its first finished
# frame as a PNG with the screenshot tool, which then presses Esc, and
# prints what the viewer printed. make run runs it on a private Xvfb
# (scripts/with-xvfb.sh) where no display is usable.
#   scripts/screenshot.sh VIEWER SHOT_TOOL PNG
set -euo pipefail
if [[ $# -ne 3 ]]; then
  echo "usage: $0 VIEWER SHOT_TOOL PNG" >&2
  exit 2
fi
viewer=$1 shot_tool=$2 shot=$3
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$viewer" >"$out" 2>&1 &
viewer_pid=$!
status=0
"$shot_tool" Quillmere "$shot" || status=$?
# Esc ends the viewer; do not wait on it for ever if it does not.
deadline=$((SECONDS + 10))
while kill -0 "$viewer_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
kill -9 "$viewer_pid" 2>/dev/null || true
wait "$viewer_pid" 2>/dev/null || true
cat "$out"
if [[ $status -ne 0 ]]; then
  echo "No screenshot: the viewer's window did not show a frame." >&2
  exit "$status"
fi
echo "Ran the viewer on a virtual display and saved its first frame to $shot"
