#!/usr/bin/env bash
# Starts what the build produced: the emulator when it is built, else the CP/M runner on the
# processor test program so that something visible runs.
set -euo pipefail
build=${1:-build}
if [ -x "$build/bin/tevrinemu" ]; then
  exec "$build/bin/tevrinemu"
fi
testdata=$(sed -n 's/^TEVRIN_CPU_TESTDATA:PATH=//p' "$build/CMakeCache.txt")
exec "$build/bin/tevrin-cpm" "$testdata/TST8080.COM"
