#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Static checks: clang-format on every C++ file, clang-tidy and cppcheck on
# the viewer's own code. Any finding fails. Needs no git checkout.
#   scripts/lint.sh BUILD_DIR   (a configured build, for its compile commands)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
cd "$(dirname "$0")/.."

mapfile -t all < <(find src tests bench screenshot -name '*.cpp' -o -name '*.h' | sort)
mapfile -t own < <(find src -name '*.cpp' | sort)

# The layout is the one clang-format 14 (Debian 12) and 19 (Debian 13) both
# produce from .clang-format, and both are held to it. Other versions lay
# out some constructs differently of their own accord, so with them a
# difference is shown as a warning and does not fail the check.
version=$(clang-format --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')
echo "clang-format $version: ${#all[@]} files"
case "$version" in
  14 | 19) clang-format --dry-run --Werror "${all[@]}" ;;
  *)
    echo "clang-format $version is neither 14 nor 19: differences below are warnings only" >&2
    clang-format --dry-run "${all[@]}"
    ;;
esac

# clang-tidy's groups gain checks with each release. Its findings fail the
# check with the versions .clang-tidy was written against, 14 and 19, and are
# shown as warnings with any other.
version=$(clang-tidy --version | sed -n 's/.*LLVM version \([0-9]*\)\..*/\1/p')
echo "clang-tidy $version: ${#own[@]} files"
[[ -f "$build/compile_commands.json" ]] || { echo "no $build/compile_commands.json; build first" >&2; exit 1; }
tidy_options=()
case "$version" in
  14 | 19) ;;
  *)
    echo "clang-tidy $version is neither 14 nor 19: its findings below are warnings only" >&2
    tidy_options=(--warnings-as-errors=-*)
    ;;
esac
clang-tidy -p "$build" --quiet "${tidy_options[@]}" "${own[@]}" \
  2> >(grep -v -E '^[0-9]+ warnings generated\.$' >&2)

echo "cppcheck: src/"
cppcheck --enable=warning,style,performance,portability --error-exitcode=1 --inline-suppr \
  --std=c++17 --quiet -I src src/
echo "static checks clean"
