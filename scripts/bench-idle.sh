#!/usr/bin/env bash
# Host load at speed 1.0, the built-in ROM at its prompt, both ways the program meets it:
#  - no audio device: the run itself, the process's processor time for SECONDS of emulated time
#    less that of a start that runs nothing (--run-ms 0);
#  - a private PulseAudio server with a null sink (a clocked device) as ALSA's default, the
#    desktop's path: the whole process against tevrin-portaudio-floor, which opens the same
#    stream, feeds it silence and sleeps as long.
# Processor time is user + system of the finished child (its rusage), in
# percent of one core over SECONDS; ROUNDS rounds, the two commands of a row alternately, and
# the medians. Usage: scripts/bench-idle.sh [build] [seconds] [rounds]
set -euo pipefail
build=${1:-build}
seconds=${2:-30}
rounds=${3:-3}
bindir="$(cd "$build/bin" && pwd)"
for tool in pulseaudio python3; do
  command -v "$tool" > /dev/null || { echo "bench-idle: $tool is missing (scripts/install-deps.sh)"; exit 0; }
done
[ -x "$bindir/tevrin-portaudio-floor" ] || { echo "bench-idle: build tevrin-portaudio-floor first"; exit 0; }
work=$(mktemp -d)
server=
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2> /dev/null && wait "$server" 2> /dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
cp "$bindir/TevrinEmu.xml" "$work/TevrinEmu.xml"
sed -i "s|<RomFile>\([^/<][^<]*\)</RomFile>|<RomFile>$bindir/\1</RomFile>|" "$work/TevrinEmu.xml"
emu=("$bindir/tevrinemu" --config "$work/TevrinEmu.xml" --headless --speed 1)

# Processor seconds (user + system) of one finished command, from its rusage in microseconds
# (/usr/bin/time rounds to 10 ms, a third of what is measured here).
cpu_of() {
  python3 -c 'import resource, subprocess, sys
with open(sys.argv[1], "wb") as out:
    subprocess.run(sys.argv[2:], stdout=out, stderr=subprocess.STDOUT)
used = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.4f" % (used.ru_utime + used.ru_stime))' "$work/out" "$@"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
percent() { awk -v s="$1" -v t="$seconds" 'BEGIN { printf "%.2f", 100 * s / t }'; }

# No device: no sound server and no ALSA default that reaches one.
export HOME="$work/quiet" XDG_RUNTIME_DIR="$work/quiet/run"
mkdir -p "$HOME/.config/pulse" && mkdir -m 700 "$XDG_RUNTIME_DIR"
echo "autospawn = no" > "$HOME/.config/pulse/client.conf"
: > "$work/quiet.txt"
for round in $(seq "$rounds"); do
  start=$(cpu_of "${emu[@]}" --run-ms 0)
  run=$(cpu_of "${emu[@]}" --run-ms $((seconds * 1000)))
  echo "$start $run" >> "$work/quiet.txt"
  echo "no device, round $round: start $start s, run $run s: the run itself $(percent "$(awk -v a="$run" -v b="$start" 'BEGIN { print a - b }')") %"
done
quiet=$(awk '{ print $2 - $1 }' "$work/quiet.txt" | median)
echo "no device, median of the run itself: $(percent "$quiet") % of a core"

# The null sink.
export HOME="$work/pulse" XDG_RUNTIME_DIR="$work/pulse/run"
mkdir -p "$HOME/.config/pulse" && mkdir -m 700 "$XDG_RUNTIME_DIR"
echo "autospawn = no" > "$HOME/.config/pulse/client.conf"
printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' > "$HOME/.asoundrc"
pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 \
  --load=module-null-sink --load=module-native-protocol-unix > "$work/server.out" 2>&1 &
server=$!
for _ in $(seq 500); do [ -S "$XDG_RUNTIME_DIR/pulse/native" ] && break; sleep 0.01; done
: > "$work/sink.txt"
for round in $(seq "$rounds"); do
  floor=$(cpu_of "$bindir/tevrin-portaudio-floor" "$seconds")
  grep -q "portaudio-floor:" "$work/out" || { echo "bench-idle: the floor program opened no stream"; cat "$work/out"; exit 1; }
  emulator=$(cpu_of "${emu[@]}" --run-ms $((seconds * 1000)) --stats)
  held=$(sed -n 's/.*sound_held=\([0-9]*\).*/\1/p' "$work/out" | head -1)
  echo "$floor $emulator" >> "$work/sink.txt"
  echo "null sink, round $round: floor $(percent "$floor") %, emulator $(percent "$emulator") %${held:+, $held frames held}"
done
floor=$(awk '{ print $1 }' "$work/sink.txt" | median)
emulator=$(awk '{ print $2 }' "$work/sink.txt" | median)
above=$(awk '{ print $2 - $1 }' "$work/sink.txt" | median)
echo "null sink, medians: floor $(percent "$floor") %, emulator $(percent "$emulator") %, emulator above the floor $(percent "$above") % of a core"
