#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian 12 packages that building, running and testing Quillmere need.
# Safe to run often: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
  xvfb x11-utils libx11-dev libxtst-dev zlib1g-dev man-db groff-base
  libgtest-dev libbenchmark-dev valgrind
  desktop-file-utils clang-format clang-tidy cppcheck
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "Quillmere needs these Debian packages, which are not installed: ${missing[*]}" >&2
  echo "Install them with:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  echo "then run the same make command again." >&2
  exit 1
fi

echo "Installing missing Debian packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
