#!/usr/bin/env bash
# An input movie recorded in the window replays headless to the window's own end: under
# Openbox on a virtual X display, File > Record inputs (Alt+I) is chosen, the file named in its
# dialog, a monitor command typed with real X key events, and the program ended (which writes the
# movie, and the window's memory and video planes as it closes). The movie played headless at
# full speed ends with the same memory and video planes, and its screen shows the command's
# answer.
#   window_movie_xvfb.sh TEVRINEMU BIN_DIR WORK_DIR
set -euo pipefail
program=$1
bin=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
config="$work/TevrinEmu.xml"
sed "s|<RomFile>[^<]*</RomFile>|<RomFile>$bin/tevrin.rom</RomFile>|" "$bin/TevrinEmu.xml" > "$config"
grep -q "<RomFile>$bin/tevrin.rom</RomFile>" "$config"

fail() { echo "FAIL: $*"; cat "$work"/*.log 2>/dev/null || true; exit 1; }

cat > "$work/session.sh" <<SESSION
openbox > "$work/openbox.log" 2>&1 &
for i in \$(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done
"$program" --config "$config" --dump-mem 0:65536:$work/window.bin --dump-vram $work/window.raw \
  > "$work/window.log" 2>&1 &
pid=\$!
window=\$(xdotool search --sync --name "^Tevrin Emulator\\\$" | head -1)
# The window maps before the ROM has printed its banner; on a loaded machine that takes longer.
sleep 4
xdotool windowactivate --sync "\$window"
xdotool key alt+i
dialog=\$(xdotool search --sync --onlyvisible --name "^Record inputs" | head -1)
xdotool windowactivate --sync "\$dialog"
sleep 1
xdotool type --delay 20 "$work/movie.tvm"
xdotool key Return
for i in \$(seq 50); do
  xdotool search --onlyvisible --name "^Record inputs" > /dev/null || break
  sleep 0.2
done
xdotool windowactivate --sync "\$window"
sleep 1
xdotool key --delay 80 d space f 0 0 0 space 1 0 Return
sleep 3
kill -TERM \$pid
wait \$pid
SESSION
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/session.sh" || fail "the window session failed"
[ -s "$work/movie.tvm" ] || fail "the window wrote no movie"
[ -s "$work/window.bin" ] && [ -s "$work/window.raw" ] || fail "the window wrote no dumps"

"$program" --headless --config "$config" --play-inputs "$work/movie.tvm" --speed max \
  --dump-mem 0:65536:"$work/played.bin" --dump-mem 0x9C00:1024:"$work/screen.bin" \
  --dump-vram "$work/played.raw" --screenshot "$work/played.png" > "$work/played.log" 2>&1 ||
  fail "the headless playback failed"

# The typed command reached the machine while it was recorded: the dump's first line.
od -An -v -c -w1024 "$work/screen.bin" | tr -d ' \n' | grep -q '>df00010' ||
  fail "the played screen does not show the typed command"
grep -aq 'F000' "$work/screen.bin" || fail "the played screen does not show the dump's answer"
cmp "$work/window.bin" "$work/played.bin" || fail "the played memory differs from the window's"
cmp "$work/window.raw" "$work/played.raw" || fail "the played picture differs from the window's"
[ -s "$work/played.png" ] || fail "no screenshot of the playback"
echo "movie $(stat -c %s "$work/movie.tvm") bytes: memory and video planes equal"
