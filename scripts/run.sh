#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the viewer. With a usable display it opens the window there; without
# one it runs the viewer on a virtual display, saves a screenshot of its first
# frame and ends it again.
set -euo pipefail
build=${1:-build}
viewer="$build/quillmere"
shot="$build/quillmere.png"

if [[ "${2:-}" == "--screenshot" ]]; then
  # Runs inside with-xvfb.sh, on the virtual display.
  "$viewer" >"$build/quillmere.out" 2>&1 &
  viewer_pid=$!
  status=0
  "$build/tests/xshot" Quillmere "$shot" --escape || status=$?
  # Esc ends the viewer; do not wait on it for ever if it does not.
  deadline=$((SECONDS + 10))
  while kill -0 "$viewer_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
  kill -9 "$viewer_pid" 2>/dev/null || true
  wait "$viewer_pid" 2>/dev/null || true
  cat "$build/quillmere.out"
  if [[ $status -ne 0 ]]; then
    echo "No screenshot: the viewer's window did not show a frame." >&2
    exit "$status"
  fi
  echo "No display here: ran the viewer on a virtual one and saved its first frame to $shot"
  exit 0
fi

if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then
  exec "$viewer"
fi
exec "$(dirname "$0")/with-xvfb.sh" "$0" "$build" --screenshot
