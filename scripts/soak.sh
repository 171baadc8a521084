#!/usr/bin/env bash
# A long run of the program as a user runs it: the window on a virtual X display at normal speed,
# its sound on a private PulseAudio server's null sink (a device with the host's clock that plays
# nothing), running scripts/soak.asm, which keeps the timer interrupts, the speaker, the Muse and
# the serial line busy and counts the P key, typed at the window every ten seconds. At the end it
# prints what was measured and whether each figure passes:
#   - held or lost frames after the first seconds: none (read from the recorded sink: the
#     program's speaker edges lie exactly 880 frames apart, so a frame held or lost moves one)
#   - resident memory growth from the tenth minute (the rewind history settled) to the end:
#     at most 2 MB
#   - no fault: the program's interrupt count keeps up with the whole run, every P is counted
#   - the emulated clock (the speaker's edges, 20 ms of machine time apart) against the host's
#     (the sink's frames, checked against the wall clock): within 0.01 %; normal speed keeps the
#     machine to the audio device, which it feeds 44,100 frames a second of machine time
# Not part of the test suite: it takes an hour by default.
#   scripts/soak.sh [--minutes N] [--build BUILD_DIR] [--work WORK_DIR] [--keep]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
minutes=60
build="$here/../build"
work=""
keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) minutes=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "usage: $0 [--minutes N] [--build BUILD_DIR] [--work WORK_DIR] [--keep]" >&2; exit 2 ;;
  esac
done
bin=$(cd "$build/bin" && pwd)
for tool in Xvfb xdotool pulseaudio parec pacat python3; do
  command -v "$tool" > /dev/null || { echo "soak: $tool is needed (scripts/install-deps.sh)" >&2; exit 2; }
done
[ -x "$bin/tevrinemu" ] && [ -x "$bin/tevrin-asm" ] || { echo "soak: no build in $build" >&2; exit 2; }
if [ -z "$work" ]; then work=$(mktemp -d /tmp/tevrin-soak-XXXXXX); fi
mkdir -p "$work"
work=$(cd "$work" && pwd)

pids=()
cleanup() {
  # Everything started here ends by its own id, the emulator first and never by SIGKILL.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -TERM "${pids[i]}" 2> /dev/null || true; done
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do wait "${pids[i]}" 2> /dev/null || true; done
  if [ "$keep" = 0 ]; then rm -f "$work/sink.raw"; fi
}
trap cleanup EXIT

# A home of its own: ALSA's default device goes to the private PulseAudio server.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_CONFIG_HOME/pulse" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' > "$HOME/.asoundrc"
echo "autospawn = no" > "$XDG_CONFIG_HOME/pulse/client.conf"
# Without shared memory: this PulseAudio aborts on a memfd block when a recorder leaves.
pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 --disable-shm=yes \
  --load="module-null-sink rate=44100" --load=module-native-protocol-unix \
  > "$work/pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 500); do [ -S "$XDG_RUNTIME_DIR/pulse/native" ] && break; sleep 0.01; done
[ -S "$XDG_RUNTIME_DIR/pulse/native" ] || { echo "soak: PulseAudio did not start" >&2; exit 1; }

"$bin/tevrin-asm" "$here/soak.asm" -o "$work/soak.rom" --size 16384 --fill 0FFH
sed -e "s|<RomFile>[^<]*</RomFile>|<RomFile>$work/soak.rom</RomFile>|" \
  -e 's|chain-timer01="false"|chain-timer01="true"|' -e 's|muse="false"|muse="true"|' \
  "$bin/TevrinEmu.xml" > "$work/TevrinEmu.xml"
grep -q 'chain-timer01="true"' "$work/TevrinEmu.xml" && grep -q 'muse="true"' "$work/TevrinEmu.xml"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
pids+=($!)
for _ in $(seq 500); do [ -s "$work/display" ] && break; sleep 0.01; done
export DISPLAY=":$(cat "$work/display")"

parec -d null.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=20 \
  > "$work/sink.raw" 2> "$work/parec.log" &
pids+=($!)
recordStart=$(date +%s.%N)
# The first stream after a recorder attaches waits about 1.5 s before the sink takes from it.
head -c 8820 /dev/zero | pacat --format=s16le --rate=44100 --channels=2

"$bin/tevrinemu" --config "$work/TevrinEmu.xml" --dump-mem "0x8000:16:$work/counters.bin" \
  > "$work/emu.log" 2>&1 &
emu=$!
pids+=("$emu")
start=$(date +%s.%N)
xdotool search --sync --name "Tevrin Emulator" > /dev/null
end=$(awk -v s="$start" -v m="$minutes" 'BEGIN { printf "%.3f", s + m * 60 }')
: > "$work/rss.txt"
typed=0
echo "soak: $minutes minutes from $(date -u +%H:%M:%S) UTC, files in $work"
while awk -v e="$end" -v n="$(date +%s.%N)" 'BEGIN { exit !(n < e) }'; do
  kill -0 "$emu" 2> /dev/null || { echo "soak: the program ended early" >&2; break; }
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$emu/status")
  echo "$(date +%s.%N) $rss" >> "$work/rss.txt"
  # Held for 150 ms: the program reads column 0 only every other 20 ms.
  if xdotool keydown p && sleep 0.15 && xdotool keyup p; then typed=$((typed + 1)); fi
  sleep 9.85
done
stop=$(date +%s.%N)
kill -TERM "$emu"
wait "$emu" || true
sleep 0.5
kill -TERM "${pids[2]}" 2> /dev/null || true  # the recorder
wait "${pids[2]}" 2> /dev/null || true
recordEnd=$(date +%s.%N)

python3 "$here/soak_figures.py" --sink "$work/sink.raw" --counters "$work/counters.bin" \
  --rss "$work/rss.txt" --typed "$typed" --start "$start" --stop "$stop" \
  --record-start "$recordStart" --record-end "$recordEnd" | tee "$work/figures.txt"
