#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Static checks: clang-format on every C++ file, clang-tidy and cppcheck on
# the viewer's own code, shellcheck on every shell script. Any finding fails
# (with the clang tools' versions below). Needs no git checkout.
#   scripts/lint.sh BUILD_DIR   (a configured build, for its compile commands)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
cd "$(dirname "$0")/.."

mapfile -t all < <(find src tests bench screenshot harness -name '*.cpp' -o -name '*.h' | sort)
mapfile -t own < <(find src -name '*.cpp' | sort)

# clang-format and clang-tidy change with each LLVM release: a new one lays
# out some constructs differently of its own accord, and adds checks to the
# groups .clang-tidy turns on. The tree is held to versions 14 (Debian 12)
# and 19 (Debian 13), which agree on it; with any other version, findings
# are shown as warnings and do not fail the check.
held_version() {  # TOOL: prints its version; true for 14 or 19
  local version
  version=$("$1" --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')
  echo "$1 $version"
  [[ "$version" == 14 || "$version" == 19 ]] && return 0
  echo "$1 $version is neither 14 nor 19: its findings below are warnings only" >&2
  return 1
}

format_options=()
if held_version clang-format; then
  format_options=(--Werror)
fi
echo "clang-format: ${#all[@]} files"
clang-format --dry-run "${format_options[@]}" "${all[@]}"

tidy_options=()
held_version clang-tidy || tidy_options=(--warnings-as-errors=-*)
echo "clang-tidy: ${#own[@]} files"
[[ -f "$build/compile_commands.json" ]] || { echo "no $build/compile_commands.json; build first" >&2; exit 1; }
clang-tidy -p "$build" --quiet "${tidy_options[@]}" "${own[@]}" \
  2> >(grep -v -E '^[0-9]+ warnings generated\.$' >&2)

echo "cppcheck: src/"
# The version CMake passes to the code, from the changelog's newest entry;
# left undefined, cppcheck guesses a value of its own for it.
version=$(sed -n '1s/^quillmere (\([^)]*\)).*/\1/p' debian/changelog)
cppcheck --enable=warning,style,performance,portability --error-exitcode=1 --inline-suppr \
  --std=c++17 --quiet -I src -DQUILLMERE_VERSION="\"$version\"" src/
# Every shell script: a .sh file, or a file whose first line runs a shell.
mapfile -t scripts < <(find . \( -path ./build -o -path ./.git \) -prune -o -type f -print | sort |
  while read -r file; do
    if [[ $file == *.sh ]] || head -n1 "$file" | grep -Eq '^#!.*[/ ](ba)?sh$'; then
      echo "$file"
    fi
  done)
echo "shellcheck $(shellcheck --version | sed -n 's/^version: //p'): ${#scripts[@]} scripts"
shellcheck --severity=warning --external-sources "${scripts[@]}"
echo "static checks clean"
