#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make run's last step: starts the viewer on the display DISPLAY names when
# that display answers; otherwise runs it on a private virtual display,
# saves a screenshot of its first frame and ends it again.
#   scripts/run.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
viewer="$build/quillmere"
shot_tool="$build/screenshot/quillmere-shot"
shot="$build/quillmere.png"
probe_seconds=3  # a local or forwarded display answers well within this

if [[ "${2:-}" == "--screenshot" ]]; then
  # Runs inside with-xvfb.sh, on the virtual display.
  "$viewer" >"$build/quillmere.out" 2>&1 &
  viewer_pid=$!
  status=0
  "$shot_tool" Quillmere "$shot" || status=$?
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
  echo "Ran the viewer on a virtual display and saved its first frame to $shot"
  exit 0
fi

if [[ -n "${DISPLAY:-}" ]]; then
  "$here/install-deps.sh" display
  # Xlib waits without a deadline on a display that accepts and never answers.
  if timeout "$probe_seconds" xdpyinfo >/dev/null 2>&1; then
    exec "$viewer"
  fi
  echo "The display $DISPLAY did not answer within $probe_seconds s; using a virtual one instead."
else
  echo "No display is named in DISPLAY; using a virtual one."
fi
"$here/install-deps.sh" headless
[[ -x "$shot_tool" ]] || cmake -S "$here/.." -B "$build" -DQUILLMERE_SCREENSHOT=ON >/dev/null
cmake --build "$build" --target quillmere-shot >/dev/null
exec "$here/with-xvfb.sh" "$0" "$build" --screenshot
