#!/usr/bin/env bash
# One debugging session with real X mouse and key events on the built-in monitor ROM: opens the
# debugger (Alt+F12), sets a breakpoint at the keyboard loop GK1 through the breakpoint list,
# runs to it (F5), steps over the call there (F8), edits BC and runs on, to stop there again;
# then searches memory and steps with F7 at once, and steps out of the keyboard loop, which
# does not come back without a key, to stop it with Break (Esc).
# Screenshots of each stage stay in WORK_DIR to look at; the checks are the window showing up
# again at the breakpoint, the register label changing, and the settings written at exit.
#   debugger_xvfb.sh TEVRINEMU BIN_DIR ROM_SYMBOLS WORK_DIR
set -euo pipefail
program=$1
bin=$2
symbols=$3
work=$4
rm -rf "$work"
mkdir -p "$work"

fail() { echo "FAIL: $*"; cat "$work/program.log" 2>/dev/null; exit 1; }

# "GK1              EQU 0C50CH" -> C50C
gk1=$(awk '$1 == "GK1" { print $3 }' "$symbols" | sed -e 's/H$//' -e 's/^0\(....\)$/\1/')
[[ $gk1 =~ ^[0-9A-F]{4}$ ]] || fail "no address for GK1 in $symbols"

config="$work/TevrinEmu.xml"
sed -e "s|<RomFile>[^<]*</RomFile>|<RomFile>$bin/tevrin.rom</RomFile>|" \
    -e 's|<Debugger x="[0-9-]*" y="[0-9-]*"|<Debugger x="560" y="20"|' \
    -e 's|<Screen |<Screen x="0" y="0" |' \
    "$bin/TevrinEmu.xml" > "$config"

# Positions inside the debugger window, from its top left corner, for the fixed-pitch font the
# window uses: the first breakpoint item's text and the BC label.
cat > "$work/session.sh" <<SESSION
set -e
"$program" --config "$config" > "$work/program.log" 2>&1 &
pid=\$!
xdotool search --sync --name "Tevrin Emulator" > /dev/null
sleep 2
xdotool key alt+F12
d=\$(xdotool search --sync --onlyvisible --name "^Debugger\$" | head -1)
sleep 1
eval \$(xdotool getwindowgeometry --shell \$d)
xdotool getwindowgeometry --shell \$d > "$work/geometry"
import -window root "$work/1-opened.png"
xdotool mousemove \$((X + 45)) \$((Y + 179)) click --repeat 2 --delay 80 1
sleep 0.5
xdotool key --delay 20 ctrl+a $(echo "$gk1" | sed 's/./& /g') Return
sleep 0.3
xdotool key F5
sleep 1.8
xdotool search --onlyvisible --name "^Debugger\$" > "$work/visible-at-break" || true
import -window root "$work/2-at-breakpoint.png"
xdotool key F8
sleep 1
import -window root "$work/3-stepped-over.png"
xdotool mousemove \$((X + 350)) \$((Y + 57)) click --repeat 2 --delay 80 1
sleep 0.5
xdotool key --delay 20 ctrl+a 1 2 3 4 Return
sleep 0.5
import -window root "$work/4-bc-edited.png"
xdotool key F5
sleep 1.5
xdotool search --onlyvisible --name "^Debugger\$" > "$work/visible-at-end" || true
import -window root "$work/5-running-on.png"
# A search for RET (C9), then F7 at once: the keys work after the search dialog closed.
xdotool key ctrl+f
sleep 0.8
xdotool key --delay 40 c 9 Return
sleep 0.8
import -window root "$work/6-found.png"
xdotool key F7
sleep 0.6
import -window root "$work/7-stepped-after-find.png"
# Step out of the routine F7 went into, back to the keyboard loop; then step out of the loop's
# routine, which waits for a key that never comes: the debugger stays, says that the machine
# runs, and Break (Esc) stops it.
xdotool key shift+F8
sleep 0.6
# The breakpoint in the loop would stop it at once: off for now.
xdotool mousemove \$((X + 15)) \$((Y + 179)) click 1
sleep 0.3
xdotool key shift+F8
sleep 1.2
xdotool search --onlyvisible --name "^Debugger\$" > "$work/visible-while-running" || true
import -window root "$work/8-running-for-step-out.png"
xdotool key Escape
sleep 0.8
import -window root "$work/9-broken.png"
xdotool key F7
sleep 0.6
import -window root "$work/10-stepped-after-break.png"
xdotool mousemove \$((X + 15)) \$((Y + 179)) click 1
sleep 0.3
kill -TERM \$pid
status=0
wait \$pid || status=\$?
echo \$status > "$work/status"
SESSION
xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/session.sh" || fail "the session failed"

[ "$(cat "$work/status")" = 0 ] || fail "the program ended with status $(cat "$work/status")"
[ -s "$work/visible-at-break" ] || fail "the debugger did not come back at the breakpoint"
# The keyboard loop comes round again at once: the breakpoint stops it there once more.
[ -s "$work/visible-at-end" ] || fail "the debugger did not come back after running on"
# The instruction and register panels, from the window's top left corner.
eval "$(cat "$work/geometry")"
differs() {
  [ "$(convert "$work/$1" -crop "$2" +repage -format '%#' info:)" != \
    "$(convert "$work/$3" -crop "$2" +repage -format '%#' info:)" ]
}
# The BC label (the second register row) before and after the edit; only BC: the DE label
# below it is as it was.
differs 3-stepped-over.png "60x12+$((X + 346))+$((Y + 51))" 4-bc-edited.png ||
  fail "the BC label did not change"
differs 3-stepped-over.png "60x12+$((X + 346))+$((Y + 68))" 4-bc-edited.png &&
  fail "the DE label changed too"
panels="420x100+$((X + 4))+$((Y + 32))"
differs 6-found.png "$panels" 7-stepped-after-find.png || fail "F7 did nothing after the search"
[ -s "$work/visible-while-running" ] || fail "the debugger went away while stepping out"
# The status line at the window's bottom says "running", then "stopped".
status="300x16+$((X + 4))+$((Y + HEIGHT - 20))"
differs 8-running-for-step-out.png "$status" 9-broken.png || fail "the status line did not change"
differs 9-broken.png "$panels" 10-stepped-after-break.png || fail "F7 did nothing after Break"
dec=$((16#$gk1))
grep -q "<BP1 active=\"true\">$dec</BP1>" "$config" ||
  fail "breakpoint 1 not stored as $dec: $(grep '<BP1' "$config")"
echo "debugger session: breakpoint at $gk1, screenshots in $work"
