#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make test-web: the viewer as a static page, built by Debian's Emscripten,
# proven under node and in two real browsers:
#   1. the site and the display-free tests (web preset, build/web/), the
#      tests run under node;
#   2. the whole recorded call stream under node against this machine's,
#      byte for byte;
#   3. the site's zip (make package-web);
#   4. the site and its zip built again from a copy of the tree at another
#      path, dated a day before, which must give the same bytes;
#   5. on a private Xvfb, the page in Chromium (headless, SwiftShader) and
#      Firefox ESR (on that display, Mesa's llvmpipe) beside the Linux
#      viewer built in build/web-e2e/: every frame of a turn and back, a
#      phone's buttons and width, a dense screen, the keys, Esc, an OpenGL
#      error, broken copies of the site, the zip opened from disk, a browser
#      without WebGL, and Lighthouse's audit.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
step_prefix=test-web
# shellcheck source=scripts/lib/steps.sh
source "$top/scripts/lib/steps.sh"

same_stream() {
  build/web-e2e/tests/call_stream_dump >build/web/stream-linux.txt
  node build/web/tests/call_stream_dump.js >build/web/stream-web.txt
  cmp build/web/stream-web.txt build/web/stream-linux.txt
}
# One build in the copy serves both comparisons: make package-web builds
# the site there before it packs it.
same_elsewhere() {
  local copy=build/web-repro/elsewhere/quillmere
  copy_elsewhere build/web-repro
  "$copy/scripts/package-web.sh" build/web-repro/second
  diff -r build/web/site "$copy/build/web/site"
  cmp build/quillmere-*-web.zip build/web-repro/second/quillmere-*-web.zip
  rm -rf build/web-repro
}

step "the site and the tests, by Emscripten" eval \
  'scripts/configure.sh web && cmake --build build/web -j "$jobs"'
step "the display-free tests under node" scripts/ctest-no-skips.sh build/web -j "$jobs"
step "the Linux build beside it" eval 'scripts/configure.sh web-e2e &&
  cmake --build build/web-e2e -j "$jobs" --target e2e_web_frames call_stream_dump'
step "the call stream under node, the same as this machine's" same_stream
step "the zip" scripts/package-web.sh
step "the same site and zip from another path and time" same_elsewhere
step "the page in Chromium and Firefox beside the Linux viewer, and its audit" \
  scripts/with-xvfb.sh scripts/ctest-no-skips.sh build/web-e2e -L web
steps_passed
