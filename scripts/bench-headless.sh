#!/usr/bin/env bash
# The whole program, headless, on the built-in ROM:
#  1. unthrottled for 20 s of emulated time: emulated MHz;
#  2. at speed 1.0 for 60 s of emulated time: wall time (the emulated clock must keep to the
#     host clock within 0.5 %) and the host processor time the program used;
#  3. unthrottled again while the monitor loads a 16 KB record from tape (it takes the first
#     60 s of the record's ten minutes), against the same LOAD waiting with no tape: playing a
#     tape must keep the machine on its fast path (at least half the speed).
set -euo pipefail
build=${1:-build}
bin="$build/bin/tevrinemu"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/bin/TevrinEmu.xml" "$work/TevrinEmu.xml"
# The configuration names the ROM relative to the program folder; make it absolute here.
sed -i "s|<RomFile>\([^/<][^<]*\)</RomFile>|<RomFile>$(cd "$build/bin" && pwd)/\1</RomFile>|" "$work/TevrinEmu.xml"

echo "-- unthrottled, 20 s of emulated time"
"$bin" --config "$work/TevrinEmu.xml" --headless --speed max --run-ms 20000 --stats

echo "-- speed 1.0, 60 s of emulated time"
/usr/bin/time -f "process: wall %e s, user %U s, system %S s, cpu %P" \
  "$bin" --config "$work/TevrinEmu.xml" --headless --speed 1 --run-ms 60000 --stats

echo "-- tape loading at --speed max, 60 s of emulated time; then the same LOAD with no tape"
"$bin" --config "$work/TevrinEmu.xml" --headless --speed max --run-ms 60000 \
  --type-at 1000 $'save 1000 4000\n' --record "$work/bench.pta" > /dev/null
"$bin" --config "$work/TevrinEmu.xml" --headless --speed max --run-ms 60000 \
  --type-at 500 $'load 1000\n' --tape "$work/bench.pta" --stats
"$bin" --config "$work/TevrinEmu.xml" --headless --speed max --run-ms 60000 \
  --type-at 500 $'load 1000\n' --stats
