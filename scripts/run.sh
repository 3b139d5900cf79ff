#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make run: checks that it can write where it writes, decides whether the
# display DISPLAY names can be used (it answers, and offers GLX), installs
# and builds only what that case needs (CMake's run preset, one parallel
# build, one make run at a time in a tree), then starts the viewer on that
# display; with no usable display, it runs the viewer on a private virtual
# one through the screenshot tool, which saves its first frame to PNG and
# ends it again.
#   scripts/run.sh [PNG]                   (build/quillmere.png by default)
#   scripts/run.sh --no-install [PNG]      builds, but installs nothing
#   scripts/run.sh --built BUILD_DIR PNG   installs and builds nothing
# The last two are for the tests: --built shows the viewer already built in
# BUILD_DIR, with the screenshot tool beside it.
set -euo pipefail
# Ctrl-C ends make run quietly, once the step it interrupted has ended.
trap 'exit 130' INT
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
build="$top/build/run"
install=true
built=false
case "${1:-}" in
  --built)
    install=false built=true build=$2
    shift 2
    ;;
  --no-install)
    install=false
    shift
    ;;
esac
shot=${1:-$top/build/quillmere.png}
viewer="$build/quillmere"
shot_tool="$build/screenshot/quillmere-shot"
probe_seconds=3      # a local or forwarded display answers well within this
turn_seconds=600     # for another make run in this tree to finish building

install_packages() { if $install; then "$here/install-deps.sh" "$@"; fi; }

# 0. Where make run writes must be the user's to write: say it first, in
#    one line, with what mends it (scripts/lib/writable.sh).
writer="make run" writer_area="$top/build"
# shellcheck source=scripts/lib/writable.sh
source "$here/lib/writable.sh"
need_writable_tmp
shot_dir=$(dirname "$shot")
if ! $built; then
  need_writable_dir "its build directory" "$build"
  mkdir -p "$build"
  # The directory above it holds the lock below and the screenshot.
  need_writable_dir "its build directory" "$(dirname "$build")"
  lock="$(dirname "$build")/.make-run.lock"
  need_writable_file "its lock file" "$lock"
  # One make run at a time builds in a tree; the next waits its turn. The
  # viewer itself runs after the lock is let go, so runs overlap only there.
  exec 9>"$lock"
  if ! flock --nonblock 9; then
    echo "Another make run is building in this tree; waiting for it to finish."
    flock --wait "$turn_seconds" 9 || {
      echo "make run: the other make run in this tree did not finish building within $((turn_seconds / 60)) min." >&2
      exit 1
    }
  fi
  need_writable_dir "its build directory" "$build" --recursive
fi
need_writable_dir "the screenshot's directory" "$shot_dir"
need_writable_file "the screenshot" "$shot"

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
    # Xlib's reason, if it gave one, without xdpyinfo's own line after it.
    reason=$(grep -v -e '^xdpyinfo:' -e '^[[:space:]]*$' <<<"$info" | paste -s -d ';' |
      sed 's/;/; /g') || true
    echo "The display $DISPLAY could not be opened (${reason:-no reason given}); using a virtual one instead."
  fi
else
  echo "No display is named in DISPLAY; using a virtual one."
fi

# 2. What that case needs: the viewer, and without a display, Xvfb and the
#    screenshot tool too. The compiler's messages are shown as it printed
#    them, without the build's progress lines.
targets=(quillmere)
if ! $usable; then
  install_packages build headless
  targets+=(quillmere-shot)
fi
if ! $built; then
  # The preset's own tree, told each time whether it needs the tool.
  screenshot=ON
  $usable && screenshot=OFF
  log="$build/make-run.log"
  status=0
  "$here/configure.sh" run -DQUILLMERE_SCREENSHOT=$screenshot >"$log" 2>&1 || status=$?
  if [[ $status -ne 0 ]]; then
    # Interrupted (Ctrl-C): nothing to explain.
    [[ $status -gt 128 ]] && exit "$status"
    # CMake's messages without its progress, its list of the preset's
    # variables (whose heading may follow a message without its newline)
    # and the blank lines around them.
    sed 's/Preset CMake variables:$//' "$log" |
      grep -v -e '^-- ' -e '^  [A-Za-z_]*=' -e '^[[:space:]]*$' >&2 || true
    echo "make run: CMake could not configure $build; its messages are above." >&2
    exit 1
  fi
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}" \
    >"$log" 2>&1 || status=$?
  if [[ $status -ne 0 ]]; then
    [[ $status -gt 128 ]] && exit "$status"
    grep -v -E '^\[[0-9]+/[0-9]+\] ' "$log" >&2 || true
    echo "make run: the build failed; the compiler's messages are above." >&2
    exit 1
  fi
  exec 9>&-
fi

# 3. The viewer.
if $usable; then
  exec "$viewer"
fi
"$here/with-xvfb.sh" "$shot_tool" "$shot" "$viewer"
echo "Ran the viewer on a virtual display and saved its first frame to $shot"
