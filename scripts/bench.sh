#!/usr/bin/env bash
# Runs the benchmarks of the Release build. Results are recorded by hand in docs/PERFORMANCE.md,
# with the machine they were taken on.
set -euo pipefail
build=${1:-build}
echo "== tevrin-bench (Google Benchmark; emulated_MHz = emulated ticks per second of host time)"
"$build/bin/tevrin-bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
echo
echo "== the processor test programs, whole process (tevrin-cpm)"
scripts/bench-cpm.sh "$build"
if [ -x "$build/bin/tevrinemu" ] && [ -x scripts/bench-headless.sh ]; then
  echo
  echo "== whole program, headless"
  scripts/bench-headless.sh "$build"
fi
if [ -x "$build/bin/tevrinemu" ] && [ -x scripts/bench-hostload.sh ]; then
  echo
  echo "== host load at speed 1.0 with sound (PulseAudio null sink), 60 s"
  scripts/bench-hostload.sh "$build" 60
fi
if [ -x "$build/bin/tevrinemu" ] && [ -x scripts/bench-idle.sh ]; then
  echo
  echo "== host load at speed 1.0, no device and on a null sink against the audio library's floor"
  scripts/bench-idle.sh "$build" 30 3
fi
