#!/usr/bin/env bash
# Types into the emulator's window on a virtual X display with real X key events and reads
# back what the built-in monitor ROM printed (its text buffer at 9C00, dumped when the window
# closes): six times "c" and Return as taps with no hold time, all sent at once, must each reach
# the machine (six "c" lines, each answered), and Shift with a digit must reach it as Shift and
# that digit. (Other layouts are checked in-process, from their key symbols: this Xvfb keeps its
# US keymap whatever setxkbmap or xmodmap ask.)
#   window_keys_xvfb.sh TEVRINEMU PROGRAM_FOLDER WORK_DIR
set -euo pipefail
program=$1
bin=$2
work=$3
rm -rf "$work"
mkdir -p "$work"

sed "s|<RomFile>tevrin.rom</RomFile>|<RomFile>$bin/tevrin.rom</RomFile>|" "$bin/TevrinEmu.xml" \
  > "$work/TevrinEmu.xml"
grep -q "<RomFile>$bin/tevrin.rom</RomFile>" "$work/TevrinEmu.xml"

fail() { echo "FAIL: $*"; cat "$work"/*.log 2>/dev/null || true; exit 1; }

# The monitor's 32 x 32 text buffer as lines, trailing blanks and blank lines left out.
screen_text() {
  od -An -v -tu1 -w32 "$1" | while read -r -a row; do
    line=""
    for code in "${row[@]}"; do line+=$(printf "\\$(printf '%03o' "$code")"); done
    printf '%s\n' "${line%"${line##*[! ]}"}"
  done | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}'
}

# session NAME KEYS...: one run of the window with those keys typed at the prompt.
session() {
  local name=$1
  shift
  cat > "$work/$name.sh" <<SESSION
"$program" --config "$work/TevrinEmu.xml" --dump-mem 0x9C00:1024:$work/$name.bin \
  > "$work/$name.log" 2>&1 &
pid=\$!
xdotool search --sync --name "Tevrin Emulator" > /dev/null
# The window maps before the ROM has printed its banner; on a loaded machine that takes longer.
sleep 4
xdotool key --delay 0 $*
sleep 3
kill -TERM \$pid
wait \$pid
SESSION
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/$name.sh" || fail "$name: the program failed"
  [ -s "$work/$name.bin" ] || fail "$name: no text dump"
  screen_text "$work/$name.bin" > "$work/$name.txt"
}

session taps c Return c Return c Return c Return c Return c Return
commands=$(grep -c '^> c$' "$work/taps.txt" || true)
answers=$(grep -c '^BAD ARGUMENT$' "$work/taps.txt" || true)
[ "$commands" = 6 ] && [ "$answers" = 6 ] ||
  fail "taps: $commands of 6 commands and $answers answers reached the machine: $(cat "$work/taps.txt")"

# The monitor's own Shift row: Shift+2 is "@", Shift+3 "#", Shift+6 "^".
session shifted shift+2 shift+3 shift+6 y z semicolon minus
prompt=$(tail -n 1 "$work/shifted.txt")
[ "$prompt" = '> @#^yz;-' ] || fail "shifted: the machine printed '$prompt', not '> @#^yz;-'"
echo "taps: 6 of 6; shifted digits: '$prompt'"
