#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Measures make run's published figures (docs/performance.md): RUNS fresh
# clones of the committed tree (every package already installed), each
# timed from the start of make run. With a display that answers (a private Xvfb), until
# `xwininfo -name Quillmere`, polled every 0.1 s, finds the window; with no
# display, until make run has left the PNG and ended. Prints each time and
# the median and range of each case. A measurement, never a test.
#   scripts/time-make-run.sh [RUNS [REPOSITORY]]
# RUNS is 10 by default; REPOSITORY, this one by default, is what is cloned,
# so that an older commit can be measured the same way.
set -euo pipefail
runs=${1:-10}
top=$(cd "$(dirname "$0")/.." && pwd)
repository=${2:-$top}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

now() { date +%s.%N; }
elapsed() { awk -v a="$(now)" -v b="$1" 'BEGIN { printf "%.2f\n", a - b }'; }
summary() {  # LABEL TIMES...: median and range
  local label=$1
  shift
  printf '%s\n' "$@" | sort -n | awk -v label="$label" '
    { t[NR] = $1 }
    END { m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
          printf "%s: median %.1f s, range %.1f-%.1f s (%d runs)\n", label, m, t[1], t[NR], NR }'
}
clone() {
  rm -rf "$scratch/clone"
  git clone --quiet "$repository" "$scratch/clone"
}

# The window, on a private Xvfb that stands for the user's display.
window_case() {
  local started
  clone
  started=$(now)
  # A session of its own, so that the viewer make run starts ends with it.
  (cd "$scratch/clone" && exec setsid make run >/dev/null 2>&1) &
  local run=$!
  local polls=0
  until xwininfo -name Quillmere >/dev/null 2>&1; do
    ((++polls < 600)) || { echo "no window within 60 s" >&2; return 1; }
    sleep 0.1
  done
  elapsed "$started"
  kill -- "-$run" 2>/dev/null || true
  wait "$run" || true
}
export -f window_case clone now elapsed
export scratch repository
windows=()
for ((k = 0; k < runs; k++)); do
  windows+=("$("$top/scripts/with-xvfb.sh" bash -c window_case)")
  echo "window: ${windows[-1]} s"
done

pngs=()
for ((k = 0; k < runs; k++)); do
  clone
  started=$(now)
  (cd "$scratch/clone" && env -u DISPLAY make run >/dev/null)
  test -s "$scratch/clone/build/quillmere.png"
  pngs+=("$(elapsed "$started")")
  echo "png: ${pngs[-1]} s"
done
summary "a display that answers, until the window shows" "${windows[@]}"
summary "no display, until make run has left the PNG and ended" "${pngs[@]}"
