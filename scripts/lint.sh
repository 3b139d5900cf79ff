#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Static checks: clang-format, clang-tidy and cppcheck on every C++ file of
# the project (the viewer, the harness, the screenshot tool, the tests and
# the benchmarks), shellcheck on every shell script, node and ESLint on the
# JavaScript, and the docs against the tree (check-docs.sh). Any finding
# fails (with the clang tools' versions below). Needs no git checkout.
#   scripts/lint.sh BUILD_DIR   (a configured build, for its compile commands)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
cd "$(dirname "$0")/.."

cpp_dirs=(src tests bench screenshot harness)
mapfile -t all < <(find "${cpp_dirs[@]}" -name '*.cpp' -o -name '*.h' | sort)

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
held=true
held_version clang-tidy || { held=false; tidy_options=(--warnings-as-errors=-*); }
commands="$build/compile_commands.json"
[[ -f "$commands" ]] || { echo "no $commands; configure first" >&2; exit 1; }
# clang-tidy takes most of these checks' time, so a file it has passed is
# not checked again until it changes, or a header of the project's, the
# compile commands, the checks' configuration or clang-tidy itself does.
mapfile -t units < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$commands" | sort -u)
passed="$build/tidy-passed"
mkdir -p "$passed"
shared=$({
  clang-tidy --version
  cat .clang-tidy ./*/.clang-tidy "$commands"
  find "${cpp_dirs[@]}" -name '*.h' | sort | xargs cat
} | sha256sum)
todo=()
for unit in "${units[@]}"; do
  key=$(cat - "$unit" <<<"$shared" | sha256sum | cut -c1-64)
  [[ -e "$passed/$key" ]] || todo+=("$key $unit")
done
echo "clang-tidy: ${#units[@]} files, ${#todo[@]} of them changed since they last passed"
# One file a process, as many at once as there are processors; a file that
# passes under a held version is remembered.
export build passed held
[[ ${#todo[@]} -eq 0 ]] || printf '%s\n' "${todo[@]}" | xargs -r -d '\n' -I {} -P "$(nproc 2>/dev/null || echo 2)" bash -c '
  key=${1%% *} unit=${1#* }
  shift
  clang-tidy -p "$build" --quiet "$@" "$unit" 2> >(grep -v -E "^[0-9]+ warnings? generated\.$" >&2) ||
    exit 1
  if $held; then touch "$passed/$key"; fi
' tidy {} "${tidy_options[@]}"

# cppcheck, too, finds more with each release; the tree is held to Debian
# 12's (2.10) and 13's (2.17), and any other version's findings are
# warnings only.
cppcheck_version=$(cppcheck --version | sed -n 's/^Cppcheck \([0-9]*\.[0-9]*\).*/\1/p')
echo "cppcheck $cppcheck_version: the same files"
cppcheck_options=(--error-exitcode=1)
if [[ $cppcheck_version != 2.10 && $cppcheck_version != 2.17 ]]; then
  echo "cppcheck $cppcheck_version is neither 2.10 nor 2.17: its findings below are warnings only" >&2
  cppcheck_options=()
fi
# From 2.11 on, cppcheck notes where it has limited its analysis of a long
# function's branches: a note about itself, not a finding.
cppcheck --project="$commands" --library=googletest --enable=warning,style,performance,portability \
  "${cppcheck_options[@]}" --inline-suppr --suppress=normalCheckLevelMaxBranches --quiet
# Every shell script: a .sh file, or a file whose first line runs a shell.
mapfile -t scripts < <(find . \( -path ./build -o -path ./.git \) -prune -o -type f -print | sort |
  while read -r file; do
    if [[ $file == *.sh ]] || head -n1 "$file" | grep -Eq '^#!.*[/ ](ba)?sh$'; then
      echo "$file"
    fi
  done)
echo "shellcheck $(shellcheck --version | sed -n 's/^version: //p'): ${#scripts[@]} scripts"
shellcheck --severity=warning --external-sources "${scripts[@]}"
# The JavaScript of the page's tests and benchmark: node's own check of
# each file's syntax, then ESLint's recommended rules, at the version
# tests/web/package-lock.json pins (scripts/install-deps.sh npm installs it
# under build/npm/).
mapfile -t javascript < <(find tests bench -name '*.js' | sort; echo eslint.config.js)
eslint=build/npm/node_modules/.bin/eslint
[[ -x $eslint ]] || { echo "no $eslint: scripts/install-deps.sh npm" >&2; exit 1; }
echo "node $(node --version) and ESLint $("$eslint" --version | tr -d v): ${#javascript[@]} files"
for file in "${javascript[@]}"; do
  node --check "$file"
done
NODE_PATH=build/npm/node_modules "$eslint" --max-warnings 0 "${javascript[@]}"
"$(dirname "$0")/check-docs.sh"
echo "static checks clean"
