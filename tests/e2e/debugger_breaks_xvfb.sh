#!/usr/bin/env bash
# The debugger's labels, breakpoint marks, breakpoint dialog and call stack with real X mouse and
# key events on the built-in monitor ROM: opens the debugger (Alt+F12), runs to GK1 by its
# address (breakpoint 1, F5), loads the ROM's symbols
# (Ctrl+L and the file dialog), sets breakpoint 1 by the label GK1 (typed into the slot's value
# editor), runs to it (F5), clears and sets it again with clicks on the mark column of the current
# line and runs to it once more; then adds a breakpoint with a condition in the dialog (Ctrl+B),
# refused first for a condition that is none, clears the slot and runs to the conditional one;
# then it steps into the call at GK1 (F7), looks at the call stack list and shows its frame (a
# double click); puts a write watch on the cursor's flag CURVIS in place of the listed
# breakpoint and runs to it (F5); last it removes the watch, runs, enters a program that halts
# (DI, HLT) in the monitor, starts it and opens the debugger on the halted machine.
# Screenshots of each stage stay in WORK_DIR to look at; the checks are the window coming back at
# each breakpoint, the views changing where they must (the code lines with the labels, the mark,
# the call stack list, the listing at the frame, the stop line at the watch, the HALT indicator)
# and the settings written at exit.
#   debugger_breaks_xvfb.sh TEVRINEMU BIN_DIR ROM_SYMBOLS WORK_DIR
set -euo pipefail
program=$1
bin=$2
symbols=$3
work=$4
rm -rf "$work"
mkdir -p "$work"

fail() { echo "FAIL: $*"; cat "$work/program.log" 2>/dev/null; exit 1; }

# "GK1              EQU 0C51BH" -> C51B
gk1=$(awk '$1 == "GK1" { print $3 }' "$symbols" | sed -e 's/H$//' -e 's/^0\(....\)$/\1/')
[[ $gk1 =~ ^[0-9A-F]{4}$ ]] || fail "no address for GK1 in $symbols"
cp "$symbols" "$work/tevrin.sym"

config="$work/TevrinEmu.xml"
sed -e "s|<RomFile>[^<]*</RomFile>|<RomFile>$bin/tevrin.rom</RomFile>|" \
    -e 's|<Debugger x="[0-9-]*" y="[0-9-]*"|<Debugger x="500" y="20"|' \
    -e 's|<Screen |<Screen x="0" y="0" |' \
    "$bin/TevrinEmu.xml" > "$config"

# Positions inside the debugger window, from its top left corner, for the fixed-pitch font the
# window uses: the first breakpoint item's text, the mark column of the current instruction (the
# third code line) and the status line. Keys without a hold time (xdotool's default) as well as
# with one.
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
# First to GK1 by its address: the debugger stopped wherever the monitor was, maybe in code
# without a word operand to name, and GK1's lines call named routines.
xdotool mousemove \$((X + 45)) \$((Y + 179)) click --repeat 2 --delay 80 1
sleep 0.5
xdotool key --delay 20 ctrl+a $(echo "$gk1" | sed 's/./& /g') Return
sleep 0.3
xdotool key F5
sleep 1.8
import -window root "$work/1-opened.png"
# The debugger comes up without the keyboard: a click on its status line gives it.
xdotool mousemove \$((X + 100)) \$((Y + HEIGHT - 12)) click 1
sleep 0.3
xdotool key ctrl+l
f=\$(xdotool search --sync --onlyvisible --name "^Load symbols\$" | head -1)
sleep 0.8
xdotool type --delay 10 "$work/tevrin.sym"
xdotool key Return
sleep 0.8
import -window root "$work/2-symbols.png"
xdotool mousemove \$((X + 45)) \$((Y + 179)) click --repeat 2 --delay 80 1
sleep 0.5
xdotool key --delay 20 ctrl+a BackSpace
xdotool type --delay 20 "GK1"
xdotool key Return
sleep 0.3
xdotool key F5
sleep 1.8
xdotool search --onlyvisible --name "^Debugger\$" > "$work/visible-at-slot" || true
import -window root "$work/3-at-gk1.png"
# The mark column of the current line: off, then on again, each a click without a hold.
xdotool mousemove \$((X + 7)) \$((Y + 64)) click 1
sleep 0.4
import -window root "$work/4-mark-cleared.png"
xdotool click 1
sleep 0.4
import -window root "$work/5-mark-set.png"
xdotool key F5
sleep 1.8
xdotool search --onlyvisible --name "^Debugger\$" > "$work/visible-at-mark" || true
import -window root "$work/6-at-mark.png"
# The dialog: a condition that is none is refused, then one that holds is added.
xdotool key ctrl+b
sleep 0.8
import -window root "$work/7-dialog.png"
xdotool type --delay 20 "GK1"
xdotool key Tab
xdotool type --delay 20 "HL="
xdotool key Return
sleep 0.4
import -window root "$work/7-refused.png"
xdotool key ctrl+a BackSpace
xdotool type --delay 20 "SP<>0"
xdotool key --delay 0 Return
sleep 0.4
import -window root "$work/8-added.png"
# Back in the debugger: the slot's mark off, so that only the listed breakpoint stops it.
xdotool mousemove \$((X + 7)) \$((Y + 64)) click 1
sleep 0.4
xdotool key F5
sleep 1.8
xdotool search --onlyvisible --name "^Debugger\$" > "$work/visible-at-listed" || true
import -window root "$work/9-at-listed.png"
xdotool key --delay 0 F7
sleep 0.6
import -window root "$work/10-stepped-in.png"
# The call stack's frame: a double click shows its call in the listing.
xdotool mousemove \$((X + WIDTH - 200)) \$((Y + HEIGHT - 72)) click --repeat 2 --delay 80 1
sleep 0.6
import -window root "$work/11-frame.png"
# A write watch on the cursor's flag, which the blink writes every 300 ms, in place of the
# listed breakpoint, which the keyboard loop would meet first. Rows, the Remove button and the
# From field from the dialog's top left corner.
xdotool key ctrl+b
b=\$(xdotool search --sync --onlyvisible --name "^Breakpoints and watches\$" | head -1)
sleep 0.8
eval \$(xdotool getwindowgeometry --shell --prefix B \$b)
xdotool mousemove \$((BX + 40)) \$((BY + 45)) click 1
sleep 0.2
xdotool mousemove \$((BX + 622)) \$((BY + 120)) click 1
sleep 0.2
xdotool mousemove \$((BX + 237)) \$((BY + 246)) click 1
xdotool type --delay 20 "CURVIS"
xdotool key --delay 0 Return
sleep 0.4
import -window root "$work/12-watch-added.png"
xdotool mousemove \$((X + 100)) \$((Y + HEIGHT - 12)) click 1
sleep 0.3
xdotool key F5
sleep 1.8
xdotool search --onlyvisible --name "^Debugger\$" > "$work/visible-at-watch" || true
import -window root "$work/13-at-watch.png"
# The watch away again, then a program that halts, entered and started in the monitor (E and
# G); the debugger opened (Alt+F12) on the halted machine shows it.
xdotool key ctrl+b
sleep 0.8
eval \$(xdotool getwindowgeometry --shell --prefix B \$b)
xdotool mousemove \$((BX + 40)) \$((BY + 45)) click 1
sleep 0.2
xdotool mousemove \$((BX + 622)) \$((BY + 120)) click 1
sleep 0.3
xdotool mousemove \$((X + 100)) \$((Y + HEIGHT - 12)) click 1
sleep 0.3
xdotool key F5
sleep 0.8
xdotool mousemove 200 300 click 1
sleep 0.3
xdotool type --delay 60 "e 0100 f3 76"
xdotool key Return
sleep 0.3
xdotool type --delay 60 "g 0100"
xdotool key --delay 0 Return
sleep 0.8
xdotool key alt+F12
sleep 1.2
import -window root "$work/14-halted.png"
kill -TERM \$pid
status=0
wait \$pid || status=\$?
echo \$status > "$work/status"
SESSION
xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/session.sh" || fail "the session failed"

[ "$(cat "$work/status")" = 0 ] || fail "the program ended with status $(cat "$work/status")"
eval "$(cat "$work/geometry")"
differs() {
  [ "$(convert "$work/$1" -crop "$2" +repage -format '%#' info:)" != \
    "$(convert "$work/$3" -crop "$2" +repage -format '%#' info:)" ]
}
code="330x84+$((X + 4))+$((Y + 30))"
mark="8x14+$((X + 4))+$((Y + 58))"
# Nothing runs between the two pictures: only the labels can change the code lines.
differs 1-opened.png "$code" 2-symbols.png || fail "the code lines show no labels"
[ -s "$work/visible-at-slot" ] || fail "the debugger did not come back at GK1"
differs 3-at-gk1.png "$mark" 4-mark-cleared.png || fail "the mark did not go"
differs 4-mark-cleared.png "$mark" 5-mark-set.png || fail "the mark did not come back"
[ -s "$work/visible-at-mark" ] || fail "the debugger did not come back at the mark's breakpoint"
[ -s "$work/visible-at-listed" ] || fail "the debugger did not come back at the listed breakpoint"
# The dialog opens below the debugger; its list's rows: the refused entry added none.
rows="600x40+$((X + 8))+$((Y + HEIGHT + 28))"
differs 7-dialog.png "$rows" 7-refused.png && fail "the refused breakpoint changed the list"
differs 7-refused.png "$rows" 8-added.png || fail "the conditional breakpoint is not listed"
stack="240x54+$((X + WIDTH - 248))+$((Y + HEIGHT - 80))"
differs 9-at-listed.png "$stack" 10-stepped-in.png || fail "the call stack did not change"
listing="330x140+$((X + 8))+$((Y + 204))"
differs 10-stepped-in.png "$listing" 11-frame.png || fail "the frame's double click moved no listing"
[ -s "$work/visible-at-watch" ] || fail "the debugger did not come back at the watch"
# The stop line names the write: it differs from the line before the run.
stopline="420x16+$((X + 4))+$((Y + HEIGHT - 22))"
differs 12-watch-added.png "$stopline" 13-at-watch.png || fail "no stop line at the watch"
# Below the registers, empty while the processor ran: HALT.
halt="48x14+$((X + 346))+$((Y + 114))"
differs 13-at-watch.png "$halt" 14-halted.png || fail "no HALT indicator on the halted machine"
dec=$((16#$gk1))
# The last click on the mark cleared the slot: its address stays, switched off.
grep -q "<BP1 active=\"false\">$dec</BP1>" "$config" ||
  fail "breakpoint 1 not stored as $dec, off: $(grep '<BP1' "$config")"
echo "debugger breakpoints session: GK1 at $gk1, screenshots in $work"
