#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The docs checked against the tree they describe (make lint runs it). It
# fails when README.md, CONTRIBUTING.md or a file in docs/:
#   - names a make target that the Makefile does not have;
#   - names a file or folder of the repository that does not exist (a path
#     in backticks, or a link), or links to a heading (FILE.md#anchor) that
#     the file does not have;
#   - names a path of one machine (/home, /root, /tmp...) but in a command;
#   - names, in docs/reliability.md, a test suite its file does not hold;
#   - writes the project's version by hand (it is debian/changelog's);
# and when the options the man page lists differ from those --help lists.
#   scripts/check-docs.sh
set -euo pipefail
cd "$(dirname "$0")/.."
docs=(README.md CONTRIBUTING.md docs/*.md)
failures=0
fail() {
  echo "check-docs: $*" >&2
  failures=$((failures + 1))
}

# The text between backticks, one span a line, each with its file and line.
spans() {
  grep -n -o '`[^`]*`' "$@" | sed 's/`//g'
}

# 1. make targets: every rule the Makefile has, the QA jobs included.
mapfile -t targets < <(make -prRn -f Makefile .no-such-target 2>/dev/null |
  sed -n 's/^\([a-z][a-z0-9-]*\):\( .*\)\{0,1\}$/\1/p' | sort -u)
# Each "make WORD" as FILE:LINE:WORD, in one pass ("make qa-JOB" names a
# family of targets, not one: its word is qa).
while IFS=: read -r file line word; do
  [[ " ${targets[*]} " == *" $word "* ]] || fail "$file:$line names make $word, which the Makefile lacks"
done < <({ spans "${docs[@]}"; grep -n '^make [a-z]' "${docs[@]}"; } |
  awk -F: '{ rest = substr($0, length($1) + length($2) + 3)
             while (match(rest, /make [a-z][a-z0-9-]*[a-z0-9]/)) {
               print $1 ":" $2 ":" substr(rest, RSTART + 5, RLENGTH - 5)
               rest = substr(rest, RSTART + RLENGTH)
             } }')

# 2. Paths: a span of path characters with a slash that starts in one of
# the repository's own top-level folders, or a link to a file. Placeholders
# (an upper-case word such as JOB) and what builds make (build/) name no
# file of the repository.
exists() {  # FILE PATH: true if PATH, from the top or beside FILE, exists
  [[ -e $2 || ($1 == */* && -e ${1%/*}/$2) ]]
}
mapfile -t tops < <(find . -mindepth 1 -maxdepth 1 -type d ! -name .git ! -name build -printf '%f\n')
while IFS=: read -r file line path; do
  [[ $path =~ ^[A-Za-z0-9_.][A-Za-z0-9_./+-]*/[A-Za-z0-9_./+-]*$ ]] || continue
  [[ " ${tops[*]} " == *" ${path%%/*} "* ]] || continue
  [[ $path =~ (^|/)[A-Z][A-Z_]+(\.|/|$) ]] && continue
  exists "$file" "${path%/}" || fail "$file:$line names $path, which does not exist"
done < <(spans "${docs[@]}")
# The anchors a Markdown file's headings make, one a line, as GitHub and
# GitLab make them: lower case, punctuation dropped, spaces as hyphens, and
# a second heading of the same words numbered "-1". Code blocks hold no
# headings.
anchors() {  # FILE
  awk '/^```/ { code = !code } !code && /^#+ / { sub(/^#+ +/, ""); print }' "$1" |
    tr 'A-Z' 'a-z' | tr -d '!"#$%&'\''()*+,./:;<=>?@[\\]^`{|}~' | tr ' ' '-' |
    awk '{ n = seen[$0]++; print n ? $0 "-" n : $0 }'
}
# Each file's anchors are read once, however many links lead to it: this
# check runs in every make test, and a process a link made it slow.
declare -A anchor_lists=()
while IFS=: read -r file line link; do
  target=${link%%#*}
  [[ $link == *://* || $link == mailto:* ]] && continue
  [[ -z $target ]] || exists "$file" "$target" || {
    fail "$file:$line links to $target, which does not exist"
    continue
  }
  [[ $link == *#* ]] || continue
  [[ -z $target ]] && target=$file
  [[ -e $target ]] || target=${file%/*}/$target
  [[ -v "anchor_lists[$target]" ]] || anchor_lists[$target]=$'\n'$(anchors "$target")$'\n'
  [[ ${anchor_lists[$target]} == *$'\n'"${link#*#}"$'\n'* ]] ||
    fail "$file:$line links to $link, but $target has no heading that makes #${link#*#}"
done < <(grep -n -o '\]([^)]*)' "${docs[@]}" | sed 's/\](\(.*\))$/\1/')

# 3. Paths of one machine (a home, /root, /tmp, a work directory): a doc
# names the repository's paths, or "a clone at another path". Only a
# command a reader runs may hold one: in a code block, or in a span of a
# program and its arguments (after any variables it sets).
for file in "${docs[@]}"; do
  while IFS=: read -r line path; do
    fail "$file:$line names $path, a path of one machine: name the repository's, or \"a clone at another path\""
  done < <(awk '/^```/ { code = !code; print ""; next }
                code { print ""; next }
                { gsub(/`([A-Z_][A-Z0-9_]*=[^` ]* )*[a-z][a-z0-9._+-]* [^`]*`/, ""); print }' "$file" |
             grep -n -o -E '(^|[^A-Za-z0-9_.~/-])/(home|root|tmp|var/tmp|work|srv|mnt|media)(/[^ `),;]*)?' |
             sed -E 's/^([0-9]+):[^/]?/\1:/')
done

# 4. The tests docs/reliability.md names, as "`tests/FILE.cpp` (`Suite`, ...)",
# or "`tests/FILE.js` (`Suite`, ...)", a suite of Node's test runner that
# a file names in quotes.
while IFS= read -r entry; do
  file=${entry%%\`*}
  suites=${entry#*\`}
  [[ -f $file ]] || continue  # a missing file is named by the check above
  # The file's lines, each after a newline, read without a process.
  IFS= read -r -d '' source <"$file" || true
  source=$'\n'$source
  while [[ $suites =~ \`([A-Za-z]*)\` ]]; do
    suite=${BASH_REMATCH[1]}
    suites=${suites#*"${BASH_REMATCH[0]}"}
    held=$'\n'"(TEST|TEST_F|TEST_P)\\($suite,|"$'\n'"using $suite = |class $suite "
    [[ $file == *.js ]] && held="['\`]${suite}[' ]"
    [[ $source =~ $held ]] ||
      fail "docs/reliability.md names the test $suite, which $file does not hold"
  done
done < <(grep -o '`tests/[^`]*\.\(cpp\|js\)` ([^)]*)' docs/reliability.md | sed 's/^`//')

# 5. The version, which only debian/changelog holds, and file names that
# would carry it.
version=$(sed -n '1s/^quillmere (\([^)]*\)).*/\1/p' debian/changelog)
grep -n -F -e "$version" README.md docs/*.md | sed "s/^/check-docs: writes the version $version by hand: /" >&2 &&
  failures=$((failures + 1))
grep -n -E 'quillmere[_-][0-9]+\.[0-9]' README.md docs/*.md |
  sed 's/^/check-docs: names a versioned file by hand: /' >&2 && failures=$((failures + 1))

# 6. The options: the man page's, each after a .TP (\- for each dash), and
# those of the usage that --help prints, the text of USAGE in the source.
options() { grep -o -- '--\{0,1\}[a-z][a-z-]*' | sort -u; }
man_options=$(grep -A1 '^\.TP' data/quillmere.1.in | grep '^\.B' | sed 's/\\-/-/g' | options)
help_options=$(sed -n '/^static const char\* const USAGE =/,/;$/p' src/app/command_line.cpp |
  sed -n 's/^ *"\(.*\)\\n"[;]\{0,1\}$/\1/p' | grep -E '^ +-|\| ' | sed 's/ [A-Z][A-Za-z+]*//g' |
  options)
[[ $man_options == "$help_options" ]] ||
  fail "the man page lists the options [$(echo $man_options)], and --help [$(echo $help_options)]"

[[ $failures -eq 0 ]] || exit 1
echo "docs: targets, paths, tests, versions and options agree with the tree"
