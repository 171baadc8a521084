#!/usr/bin/env bash
# Three starts of the window under a real window manager (Openbox draws a title bar): the first,
# with no stored position, puts the whole frame in the middle of the screen; every later start
# puts the frame back where it was left, so the window neither creeps up by the title bar's
# height nor hides the title bar above the screen.
#   window_place_xvfb.sh TEVRINEMU BIN_DIR WORK_DIR
set -euo pipefail
program=$1
bin=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
config="$work/TevrinEmu.xml"
sed -e "s|<RomFile>[^<]*</RomFile>|<RomFile>$bin/tevrin.rom</RomFile>|" \
    -e '/<Screen /s| x="[0-9-]*"||; /<Screen /s| y="[0-9-]*"||' "$bin/TevrinEmu.xml" > "$config"

cat > "$work/session.sh" <<SESSION
openbox > "$work/openbox.log" 2>&1 &
# The window manager announces itself on the root window once it manages windows.
for i in \$(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done
for start in 1 2 3; do
  "$program" --config "$config" > "$work/program-\$start.log" 2>&1 &
  pid=\$!
  window=\$(xdotool search --sync --name "^Tevrin Emulator\\\$" | head -1)
  # Settled: the same place three samples running (a loaded machine frames windows late).
  last=; same=0
  for i in \$(seq 100); do
    eval \$(xdotool getwindowgeometry --shell "\$window")
    now="\$X \$Y \$WIDTH \$HEIGHT"
    if [ "\$now" = "\$last" ]; then same=\$((same + 1)); else same=0; fi
    last=\$now
    [ \$same -ge 3 ] && break
    sleep 0.3
  done
  echo "\$now" > "$work/client-\$start"
  kill -TERM \$pid
  wait \$pid || true
  sed -n 's|.*<Screen [^>]*x="\([0-9-]*\)" y="\([0-9-]*\)".*|\1 \2|p' "$config" > "$work/stored-\$start"
done
SESSION
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/session.sh"

fail() { echo "FAIL: $*"; cat "$work"/program-*.log; exit 1; }
for start in 1 2 3; do
  [ -s "$work/client-$start" ] || fail "start $start showed no window"
  [ -s "$work/stored-$start" ] || fail "start $start stored no position"
done
read -r x1 y1 < "$work/stored-1"
read -r cx cy w h < "$work/client-1"
# The stored corner is the frame's: the client lies below it by the title bar, which is on the
# screen.
[ "$y1" -ge 0 ] && [ "$cy" -gt "$y1" ] ||
  fail "the title bar is off the screen: frame at $x1,$y1, client at $cx,$cy"
centre_x=$(( (1280 - w) / 2 )); centre_y=$(( (1024 - h) / 2 ))
[ $(( x1 - centre_x )) -le 40 ] && [ $(( centre_x - x1 )) -le 40 ] &&
  [ $(( y1 - centre_y )) -le 40 ] && [ $(( centre_y - y1 )) -le 40 ] ||
  fail "the first start is not centred: frame at $x1,$y1 for a ${w}x$h client"
for start in 2 3; do
  [ "$(cat "$work/stored-$start")" = "$x1 $y1" ] ||
    fail "start $start left the frame at $(cat "$work/stored-$start"), not at $x1 $y1"
  read -r cx cy w h < "$work/client-$start"
  [ "$cy" -gt "$y1" ] || fail "start $start put the title bar off the screen (client at $cx,$cy)"
done
echo "the frame stayed at $x1,$y1 over three starts"
