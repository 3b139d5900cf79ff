#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Static checks: clang-format on every C++ file, clang-tidy and cppcheck on
# the viewer's own code. Any finding fails.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."

mapfile -t all < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
mapfile -t own < <(printf '%s\n' "${all[@]}" | grep '^src/.*\.cpp$')

echo "clang-format: ${#all[@]} files"
clang-format --dry-run --Werror "${all[@]}"

echo "clang-tidy: ${#own[@]} files"
[[ -f "$build/compile_commands.json" ]] || { echo "no $build/compile_commands.json; build first" >&2; exit 1; }
clang-tidy -p "$build" --quiet "${own[@]}" 2> >(grep -v -E '^[0-9]+ warnings generated\.$' >&2)

echo "cppcheck: src/"
cppcheck --enable=warning,style,performance,portability --error-exitcode=1 --inline-suppr \
  --std=c++17 --quiet -I src/app -I src/bitmap -I src/render src/
echo "static checks clean"
