#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make test-windows: the Windows viewer, cross-built by Debian's MinGW-w64
# against freeglut from Debian's source package, proven under Wine:
#   1. the unit and call-stream tests, built for Windows, under Wine with no
#      display;
#   2. the whole recorded call stream under Wine against this machine's,
#      byte for byte once Windows' CR LF line endings are read as LF;
#   3. the zip for Windows users, twice, from trees at two paths dated a day
#      apart, which must give the same bytes;
#   4. on a private Xvfb, the Windows viewer's window, frames, keys and exit
#      against the Linux viewer's, its answers at a prompt, and the zip's
#      contents, imports and version resource.
# Every tree, the freeglut build and the Wine prefix are under build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
step_prefix=test-windows
# shellcheck source=scripts/lib/steps.sh
source "$top/scripts/lib/steps.sh"

# A Wine server that starts without a display would keep the prefix headless
# for the window tests after it; each headless step waits for its end.
headless() { env -u DISPLAY "$@" && scripts/wine.sh --wait; }
same_stream() {
  build/windows-e2e/tests/call_stream_dump >build/windows/stream-linux.txt
  headless scripts/wine.sh build/windows/tests/call_stream_dump.exe >build/windows/stream-windows.txt
  sed 's/\r$//' build/windows/stream-windows.txt | cmp - build/windows/stream-linux.txt
}
second_zip() {
  local copy=build/windows-repro/elsewhere/quillmere
  copy_elsewhere build/windows-repro
  mkdir "$copy/build"
  ln -s "$top/build/windows-freeglut" "$copy/build/windows-freeglut"
  "$copy/scripts/package-windows.sh" build/windows-repro/second
  cmp build/quillmere-*-windows-x86_64.zip build/windows-repro/second/quillmere-*-windows-x86_64.zip
  rm -rf build/windows-repro
}

step "freeglut for Windows" scripts/windows-freeglut.sh
step "the Windows build" eval 'scripts/configure.sh windows && cmake --build build/windows -j "$jobs"'
step "a Wine prefix of the project's own" headless true
step "the display-free tests under Wine" headless scripts/ctest-no-skips.sh build/windows -j "$jobs"
step "the Linux build beside it" eval 'scripts/configure.sh windows-e2e &&
  cmake --build build/windows-e2e -j "$jobs" --target e2e_windows_tests call_stream_dump'
step "the call stream under Wine, the same as this machine's" same_stream
step "the zip" scripts/package-windows.sh
step "the same zip from another path and time" second_zip
step "the viewer under Wine beside the Linux one, and the zip's contents" \
  scripts/with-xvfb.sh scripts/ctest-no-skips.sh build/windows-e2e -L windows
steps_passed
