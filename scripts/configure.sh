#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures one of CMake's presets in its tree under build/, afresh when
# that tree was configured for the clone at another path: a clone moved or
# renamed keeps its build/, whose cache CMake then refuses with errors that
# never say so.
#   scripts/configure.sh PRESET [CMAKE_OPTION...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd -P)
preset=$1
shift
cache="$top/build/$preset/CMakeCache.txt"
fresh=()
if [[ -f $cache && $(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache") != "$top" ]]; then
  fresh=(--fresh)
fi
cd "$top"
exec cmake --preset "$preset" "${fresh[@]}" "$@"
