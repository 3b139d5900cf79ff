#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine, in the project's own Wine prefix
# (build/wine), never the user's: CTest's emulator for the Windows tree, and
# the Windows viewer's runner in the end-to-end tests.
#   scripts/wine.sh PROGRAM.exe [ARG...]
#   scripts/wine.sh --wait    waits until the prefix's wineserver has ended
# The prefix is made on first use, by one caller at a time. Wine's own
# messages are off, and so are the .NET and web-engine installers that a
# new prefix would otherwise offer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$top/build/wine" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

wait_for_server() {
  timeout 60 wineserver --wait ||
    { echo "$0: Wine's server for $WINEPREFIX did not end within 60 s" >&2; exit 1; }
}

if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  mkdir -p "$top/build"
  (
    flock -w 240 9 || { echo "$0: another caller is still making the Wine prefix" >&2; exit 1; }
    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
      # Made without a display: a program that opens a window later is run
      # by a wineserver of its own once this one has ended.
      timeout 180 env -u DISPLAY wineboot --init >/dev/null 2>&1 ||
        { echo "$0: Wine could not make its prefix $WINEPREFIX within 180 s" >&2; exit 1; }
      wait_for_server
    fi
  ) 9>"$top/build/wine.lock"
fi
if [[ "${1:-}" == "--wait" ]]; then
  wait_for_server
  exit 0
fi
exec wine "$@"
