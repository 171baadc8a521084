#!/usr/bin/env bash
# Host load at speed 1.0 with sound, the way a Linux desktop plays it: a private PulseAudio
# server with a null sink (a clocked device) as ALSA's default, the built-in ROM at its prompt
# for 60 s of emulated time. Prints the process's processor time and each thread's share, read
# from /proc just before the program ends.
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
bin="$(cd "$build/bin" && pwd)/tevrinemu"
for tool in pulseaudio /usr/bin/time; do
  command -v "$tool" > /dev/null || { echo "bench-hostload: $tool is missing (scripts/install-deps.sh)"; exit 0; }
done
work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2> /dev/null && wait "$server" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cp "$build/bin/TevrinEmu.xml" "$work/TevrinEmu.xml"
sed -i "s|<RomFile>\([^/<][^<]*\)</RomFile>|<RomFile>$(cd "$build/bin" && pwd)/\1</RomFile>|" "$work/TevrinEmu.xml"

export HOME="$work" XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$HOME/.config/pulse"
echo "autospawn = no" > "$HOME/.config/pulse/client.conf"
printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' > "$HOME/.asoundrc"
pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 \
  --load=module-null-sink --load=module-native-protocol-unix > "$work/server.out" 2>&1 &
server=$!
for _ in $(seq 500); do [ -S "$XDG_RUNTIME_DIR/pulse/native" ] && break; sleep 0.01; done

# Each thread's user and system ticks, sampled a little before the run ends.
(
  sleep $((seconds - 2))
  pid=$(pgrep -n -f "tevrinemu --config $work" || true)
  [ -z "$pid" ] && exit 0
  hz=$(getconf CLK_TCK)
  for task in /proc/"$pid"/task/*; do
    wakes=$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$task/status")
    awk -v hz="$hz" -v wakes="$wakes" '{ sub(/^[^(]*\(/, ""); name = $0; sub(/\).*/, "", name); sub(/^[^)]*\) /, "");
      printf "  thread %-16s user %.2f s, system %.2f s, %s sleeps\n", name, $12 / hz, $13 / hz, wakes }' "$task/stat"
  done
) &
sampler=$!
/usr/bin/time -f "process: wall %e s, user %U s, system %S s, cpu %P" \
  "$bin" --config "$work/TevrinEmu.xml" --headless --speed 1 --run-ms $((seconds * 1000)) --stats
wait "$sampler"
