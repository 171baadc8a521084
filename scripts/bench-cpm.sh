#!/usr/bin/env bash
# The processor alone, as a user runs it: every CP/M test program in the processor test folder
# (the one the build was configured with, TEVRIN_CPU_TESTDATA) through tevrin-cpm, whole
# process, five runs each; prints the median wall time and the instruction count. A larger
# exerciser dropped into that folder is measured the same way (five runs of one that takes
# 8 s add well under a minute).
set -euo pipefail
build=${1:-build}
tool="$build/bin/tevrin-cpm"
folder=${TEVRIN_CPU_TESTDATA:-$(sed -n 's/^TEVRIN_CPU_TESTDATA:PATH=//p' "$build/CMakeCache.txt" 2>/dev/null)}
# Else where the project's shared files sit beside the checkout.
for candidate in "$(dirname "$0")/../../shared/testdata/cpu"; do
  if [ -z "$folder" ] && [ -f "$candidate/TST8080.COM" ]; then folder=$candidate; fi
done
if [ ! -x "$tool" ] || [ -z "$folder" ] || [ ! -d "$folder" ]; then
  echo "tevrin-cpm or the processor test folder not found: skipped"
  exit 0
fi
for program in "$folder"/*.COM; do
  times=()
  last=""
  for _ in 1 2 3 4 5; do
    start=$(date +%s.%N)
    last=$("$tool" "$program" | tail -n 1)
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc)")
  done
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
  printf '%-14s median wall %.3f s  (%s)\n' "$(basename "$program")" "$median" "$last"
done
