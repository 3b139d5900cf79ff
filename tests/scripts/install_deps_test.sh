#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# scripts/install-deps.sh against a stand-in dpkg database, never the
# machine's: for each state dpkg can hold a package in, whether it counts as
# present, for root (who would run apt-get) and for anyone else (who is told
# the command), and a name another package provides counts as installed.
# dpkg-query reads the stand-in database; apt-get and id are
# stand-ins that record or pretend, so nothing is installed, and the lock
# root would take is in the scratch directory, never the machine's.
#   install_deps_test.sh SOURCE_DIR SCRATCH_DIR
set -euo pipefail
src=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch/bin" "$scratch/db/updates" "$scratch/db/info"

real_query=$(command -v dpkg-query)
cat >"$scratch/bin/dpkg-query" <<EOF
#!/bin/sh
exec $real_query --admindir="$scratch/db" "\$@"
EOF
cat >"$scratch/bin/apt-get" <<EOF
#!/bin/sh
echo "apt-get \$*" >>"$scratch/apt.log"
EOF
cat >"$scratch/bin/id" <<EOF
#!/bin/sh
echo "\$FAKE_UID"
EOF
chmod +x "$scratch/bin/"*

# A status entry; the fields dpkg requires of each state, and none else.
entry() {  # PACKAGE STATUS [FIELD]
  printf 'Package: %s\nStatus: %s\nMaintainer: nobody\nArchitecture: amd64\nVersion: 1\n' "$1" "$2"
  [[ -z ${3:-} ]] || printf '%s\n' "$3"
  printf 'Description: stand-in\n\n'
}

# The purpose "lint" needs four packages; the first one's state varies.
failures=0
while IFS='|' read -r state fields present; do
  {
    entry clang-format "$state" "$fields"
    for p in clang-tidy cppcheck shellcheck; do entry "$p" 'install ok installed'; done
  } >"$scratch/db/status"
  for uid in 0 1000; do
    rm -f "$scratch/apt.log"
    status=0
    out=$(FAKE_UID=$uid PATH="$scratch/bin:$PATH" QUILLMERE_INSTALL_LOCK="$scratch/lock" \
      "$src/scripts/install-deps.sh" lint 2>&1) || status=$?
    if [[ $present == yes ]]; then
      expected="status 0, nothing installed"
      [[ $status -eq 0 && -z $out && ! -e $scratch/apt.log ]] && continue
    elif [[ $uid -eq 0 ]]; then
      expected="apt-get installing clang-format alone"
      grep -q -- '--no-install-recommends clang-format$' "$scratch/apt.log" 2>/dev/null && continue
    else
      expected="status 1, naming clang-format alone"
      [[ $status -eq 1 && $out == *"which are not installed: clang-format"$'\n'* ]] && continue
    fi
    echo "FAIL: '$state' as uid $uid: expected $expected; got status $status:" >&2
    echo "$out" >&2
    cat "$scratch/apt.log" 2>/dev/null >&2 || true
    failures=$((failures + 1))
  done
done <<'EOF'
install ok installed||yes
install ok triggers-pending|Triggers-Pending: /usr/share/man|yes
install ok triggers-awaited|Triggers-Awaited: man-db|yes
install ok half-configured|Config-Version: 1|no
install ok unpacked||no
install reinstreq half-installed||no
install reinstreq installed||no
deinstall ok config-files|Config-Version: 1|no
unknown ok not-installed||no
EOF
# A name that another installed package provides is present: as root,
# nothing is installed.
{
  entry clang-format-19 'install ok installed' 'Provides: clang-format (= 19), clang-format-x'
  for p in clang-tidy cppcheck shellcheck; do entry "$p" 'install ok installed'; done
} >"$scratch/db/status"
rm -f "$scratch/apt.log"
status=0
out=$(FAKE_UID=0 PATH="$scratch/bin:$PATH" QUILLMERE_INSTALL_LOCK="$scratch/lock" \
  "$src/scripts/install-deps.sh" lint 2>&1) || status=$?
if [[ $status -ne 0 || -n $out || -e $scratch/apt.log ]]; then
  echo "FAIL: clang-format provided by clang-format-19: status $status, $out" >&2
  failures=$((failures + 1))
fi
if [[ ! -e $scratch/lock ]]; then
  echo "FAIL: root's installs took no lock in the scratch directory" >&2
  failures=$((failures + 1))
fi
[[ $failures -eq 0 ]] || exit 1
rm -rf "$scratch"
echo "install-deps.sh: triggers pending or awaited count as installed; half-way states do not"
