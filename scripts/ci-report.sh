#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI's table of steps, from the times scripts/ci-step.sh kept in LOGS: when
# each step began after the first, how long its commands ran, the
# processor time they took, and whether it passed; then the steps' times
# together and CI's from first to last.
# .ci/run prints it at the end, whether CI passed or not.
#   scripts/ci-report.sh LOGS
set -euo pipefail
logs=$1
for file in "$logs"/*.time; do
  [[ -e $file ]] || continue
  name=${file##*/}
  awk -v name="${name%.time}" '
    NR == 1 || $1 < began { began = $1 }
    $2 > ended { ended = $2 }
    { seconds += $2 - $1; cpu += $4; if ($3 != 0) failed = 1 }
    END { printf "%s %.3f %.3f %.1f %.1f %s\n", name, began, ended, seconds, cpu, failed ? "FAILED" : "passed" }
  ' "$file"
done | sort -k2,2n | awk '
  NR == 1 { first = $2 }
  { rows[NR] = $0; if ($3 > last) last = $3; together += $4; cpu += $5 }
  END {
    printf "\n%-20s %8s %8s %8s  %s\n", "step", "began at", "seconds", "cpu s", "result"
    for (k = 1; k <= NR; ++k) {
      split(rows[k], f, " ")
      printf "%-20s %8.0f %8.0f %8.0f  %s\n", f[1], f[2] - first, f[4], f[5], f[6]
    }
    printf "%-20s %8s %8.0f %8.0f\n", "steps together", "", together, cpu
    printf "%-20s %8s %8.0f\n", "CI, first to last", "", last - first
  }'
