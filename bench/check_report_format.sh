#!/bin/sh
# SPDX-License-Identifier: MIT
# code_bench keeps Google Benchmark's report formats: with
# --benchmark_format=csv, standard output holds the CSV report alone, and
# the closing line (a frame as a share of the fill) goes to standard error.
#   check_report_format.sh CODE_BENCH SCRATCH_DIR
set -eu
bench=$1
scratch=$2
mkdir -p "$scratch"
"$bench" --benchmark_format=csv --benchmark_filter='BM_ColorBitmapFill|BM_Frame/0$' \
  >"$scratch/out.csv" 2>"$scratch/err.txt"
head -n 1 "$scratch/out.csv" | grep -q '^name,iterations,' || { echo "FAIL: no CSV header"; exit 1; }
[ "$(grep -c ',' "$scratch/out.csv")" -eq 3 ] || { echo "FAIL: not the header and two rows:"; cat "$scratch/out.csv"; exit 1; }
[ "$(wc -l <"$scratch/out.csv")" -eq 3 ] || { echo "FAIL: more than CSV on standard output:"; cat "$scratch/out.csv"; exit 1; }
grep -q 'costs [0-9.]* of a colour-table fill' "$scratch/err.txt" || { echo "FAIL: no closing line"; exit 1; }
echo "code_bench: CSV on standard output, its closing line on standard error"
