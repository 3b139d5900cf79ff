#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# make run's screenshot step, on the display DISPLAY names (a private Xvfb,
# through scripts/with-xvfb.sh, where no display is usable): the screenshot
# tool starts the viewer, saves its first finished frame as a PNG, ends it
# with Esc and passes on what it printed, or says why it could not.
#   scripts/screenshot.sh VIEWER SHOT_TOOL PNG
set -euo pipefail
if [[ $# -ne 3 ]]; then
  echo "usage: $0 VIEWER SHOT_TOOL PNG" >&2
  exit 2
fi
viewer=$1 shot_tool=$2 shot=$3
"$shot_tool" "$shot" "$viewer"
echo "Ran the viewer on a virtual display and saved its first frame to $shot"
