#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make run: decides first whether the display DISPLAY names can be used,
# installs and builds only what that case needs (one configure, one parallel
# build), then starts the viewer on that display; with no usable display, it
# runs the viewer on a private virtual one, saves a screenshot of its first
# frame and ends it again.
#   scripts/run.sh BUILD_DIR
#   scripts/run.sh --built BUILD_DIR PNG
# With --built it installs and builds nothing: it shows the viewer already
# built in BUILD_DIR and saves any screenshot to PNG (the tests use this).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
built=false
if [[ "${1:-}" == "--built" ]]; then
  built=true
  shift
fi
build=${1:-build}
viewer="$build/quillmere"
shot_tool="$build/screenshot/quillmere-shot"
shot=${2:-$build/quillmere.png}
probe_seconds=3  # a local or forwarded display answers well within this

if [[ "${3:-}" == "--screenshot" ]]; then
  # Runs inside with-xvfb.sh, on the virtual display.
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
  exit 0
fi

install_packages() { $built || "$here/install-deps.sh" "$@"; }

# 1. The display. Xlib waits without a deadline on a display that accepts
#    the connection and never answers, so the check has one of its own.
usable=false
if [[ -n "${DISPLAY:-}" ]]; then
  install_packages build display
  status=0
  message=$(timeout "$probe_seconds" xdpyinfo 2>&1 >/dev/null) || status=$?
  if [[ $status -eq 0 ]]; then
    usable=true
  elif [[ $status -eq 124 ]]; then
    echo "The display $DISPLAY did not answer within $probe_seconds s; using a virtual one instead."
  else
    echo "The display $DISPLAY could not be opened (${message:-no reason given}); using a virtual one instead."
  fi
else
  echo "No display is named in DISPLAY; using a virtual one."
fi

# 2. What that case needs: the viewer, and without a display, Xvfb and the
#    screenshot tool too.
targets=(quillmere)
if ! $usable; then
  install_packages build headless
  targets+=(quillmere-shot)
fi
if ! $built; then
  # One configure, also when the tree exists but lacks the screenshot tool.
  if [[ ! -f "$build/CMakeCache.txt" ]]; then
    options=(-DBUILD_TESTING=OFF)
    $usable || options+=(-DQUILLMERE_SCREENSHOT=ON)
    cmake -S "$here/.." -B "$build" "${options[@]}" >/dev/null
  elif ! $usable && ! grep -qE '^(QUILLMERE_SCREENSHOT|BUILD_TESTING):BOOL=ON' "$build/CMakeCache.txt"; then
    cmake -S "$here/.." -B "$build" -DQUILLMERE_SCREENSHOT=ON >/dev/null
  fi
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}" >/dev/null
fi

# 3. The viewer.
if $usable; then
  exec "$viewer"
fi
exec "$here/with-xvfb.sh" "$0" "$build" "$shot" --screenshot
