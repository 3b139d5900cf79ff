#!/bin/sh
# SPDX-License-Identifier: MIT
# Makes the Windows icon from the SVG one at the sizes Explorer asks for,
# with Debian's librsvg and icoutils:
#   icon.sh SVG ICO SCRATCH_DIR
set -eu
svg=$1
ico=$2
scratch=$3
mkdir -p "$scratch"
for size in 16 32 48 256; do
  rsvg-convert --width="$size" --height="$size" --output="$scratch/$size.png" "$svg"
done
icotool --create --output="$ico" "$scratch/16.png" "$scratch/32.png" "$scratch/48.png" \
  --raw="$scratch/256.png"
