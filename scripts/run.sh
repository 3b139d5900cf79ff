#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make run: checks that it can write its build directory, decides whether
# the display DISPLAY names can be used (it answers, and offers GLX),
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
  build="$(dirname "$here")/build/run"
  shot=${1:-$(dirname "$here")/build/quillmere.png}
fi
viewer="$build/quillmere"
shot_tool="$build/screenshot/quillmere-shot"
probe_seconds=3  # a local or forwarded display answers well within this

install_packages() { $built || "$here/install-deps.sh" "$@"; }
# 0. The build directory must be ours to write, or CMake fails later with
#    messages that never say so: say it first, and how to mend it.
cannot_write() {
  echo "make run cannot write $1: remove it or make $(dirname "$build") yours (for example, sudo chown -R $(id -un): $(dirname "$build")), then run make run again." >&2
  exit 1
}
if ! $built; then
  reason=$({ mkdir -p "$build" && probe=$(mktemp "$build/.writable.XXXXXX") && rm "$probe"; } 2>&1) ||
    cannot_write "its build directory $build (${reason##*: })"
  unwritable=$(find "$build" ! -writable -print -quit)
  [[ -z "$unwritable" ]] || cannot_write "$unwritable, in its build directory"
fi
# 1. The display. Xlib waits without a deadline on a display that accepts
#    the connection and never answers, so the check has one of its own.
usable=false
if [[ -n "${DISPLAY:-}" ]]; then
  install_packages build display
  status=0
  # xdpyinfo lists the display's extensions one to a line; GLUT needs GLX.
  info=$(timeout "$probe_seconds" xdpyinfo 2>&1) || status=$?
  if [[ $status -eq 0 ]] && grep -Eq '^[[:space:]]+GLX$' <<<"$info"; then
    usable=true
  elif [[ $status -eq 0 ]]; then
    echo "The display $DISPLAY offers no OpenGL (no GLX extension); using a virtual one instead."
  elif [[ $status -eq 124 ]]; then
    echo "The display $DISPLAY did not answer within $probe_seconds s; using a virtual one instead."
  else
    echo "The display $DISPLAY could not be opened (${info:-no reason given}); using a virtual one instead."
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
