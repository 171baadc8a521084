#!/usr/bin/env bash
# The whole program, headless, on the built-in ROM:
#  1. unthrottled for 20 s of emulated time: emulated MHz;
#  2. at speed 1.0 for 60 s of emulated time: wall time (the emulated clock must keep to the
#     host clock within 0.5 %) and the host processor time the program used.
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
