#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make run: decides first whether the display DISPLAY names can be used,
# installs and builds only what that case needs (CMake's run preset, one
# parallel build), then starts the viewer on that display; with no usable
# display, it runs the viewer on a private virtual one, saves a screenshot of
# its first frame to PNG and ends it again (scripts/screenshot.sh).
#   scripts/run.sh [PNG]                 (build/quillmere.png by default)
#   scripts/run.sh --built BUILD_DIR PNG
# With --built it installs and builds nothing: it shows the viewer already
# built in BUILD_DIR, with the screenshot tool beside it (the tests use this).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
built=false
if [[ "${1:-}" == "--built" ]]; then
  built=true
  build=$2
  shot=$3
else
  build="$here/../build/run"
  shot=${1:-$here/../build/quillmere.png}
fi
viewer="$build/quillmere"
shot_tool="$build/screenshot/quillmere-shot"
probe_seconds=3  # a local or forwarded display answers well within this

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
  # The preset's own tree, told each time whether it needs the tool.
  screenshot=ON
  $usable && screenshot=OFF
  (cd "$here/.." && cmake --preset run -DQUILLMERE_SCREENSHOT=$screenshot >/dev/null)
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}" >/dev/null
fi

# 3. The viewer.
if $usable; then
  exec "$viewer"
fi
exec "$here/with-xvfb.sh" "$here/screenshot.sh" "$viewer" "$shot_tool" "$shot"
