#!/usr/bin/env bash
# Makes every picture the user's manual shows (docs/manual/*.png) from the real program: the
# window under a private X server (Xvfb), driven with real key events, at one fixed emulated
# moment (a snapshot the headless runner saves after typing a command, restored into a paused
# window, so the pictures do not depend on how fast the host is); the keyboard map is drawn from
# the program's own key table (src/frontend/KeyTable.h).
#   scripts/manual-pictures.sh [BUILD-DIR]     (default: build; needs xvfb-run, xdotool, ImageMagick)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
bin=$build/bin
out=$root/docs/manual
for tool in xvfb-run xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "manual-pictures: $tool is missing" >&2; exit 2; }
done
for program in tevrinemu tevrin-tape tevrin.rom TevrinEmu.xml; do
  [ -e "$bin/$program" ] || { echo "manual-pictures: $bin/$program is missing: build first" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# A configuration of its own: the built-in ROM, English, fixed window places.
config=$work/TevrinEmu.xml
sed -e "s|<RomFile>[^<]*</RomFile>|<RomFile>$bin/tevrin.rom</RomFile>|" \
    -e 's|<General language="[a-z]*"|<General language="english"|' \
    -e 's|<Screen |<Screen x="0" y="0" |' \
    -e 's|<Debugger x="[0-9-]*" y="[0-9-]*"|<Debugger x="40" y="40"|' \
    -e 's|<TapeBrowser x="[0-9-]*" y="[0-9-]*"|<TapeBrowser x="40" y="40"|' \
    "$bin/TevrinEmu.xml" >"$config"

# The moment every window picture shows: the monitor after a dump command.
"$bin/tevrinemu" --headless --config "$config" --speed max --type $'d f000 20\n' --run-ms 4000 \
  --save-snapshot "$work/moment.tvs" >/dev/null

# A small tape: a BASIC program, a data record and an info record.
printf '10 REM A SMALL GAME\r\n20 FOR I=1 TO 10\r\n30 PRINT "HELLO ";I\r\n40 NEXT I\r\n' \
  >"$work/game.txt"
"$bin/tevrin-tape" basic-import "$work/game.txt" "$work/game.pta" >/dev/null
head -c 700 "$bin/tevrin.rom" >"$work/sprites.bin"
"$bin/tevrin-tape" add "$work/game.pta" "$work/sprites.bin" --number 02 --type data >/dev/null
"$bin/tevrin-tape" info "$work/game.pta" "Side A: GAME" >/dev/null

cat >"$work/session.sh" <<SESSION
set -euo pipefail
"$bin/tevrinemu" --config "$config" >"$work/program.log" 2>&1 &
pid=\$!
main=\$(xdotool search --sync --onlyvisible --name "^Tevrin Emulator\$" | head -1)
sleep 2
xdotool windowfocus --sync \$main
xdotool key alt+F3
sleep 0.5
# A second start hands the snapshot to the paused window, which stays paused at its moment.
"$bin/tevrinemu" --config "$config" "$work/moment.tvs"
# The status bar's line about the restored snapshot names a scratch folder: it goes after 8 s.
sleep 9
import -window \$main "$out/main-window.png"

"$bin/tevrinemu" --config "$config" "$work/game.pta"
browser=\$(xdotool search --sync --onlyvisible --name "^Tape browser" | head -1)
sleep 1
import -window \$browser "$out/tape-browser.png"
xdotool windowfocus --sync \$main
xdotool key alt+t
sleep 0.5

xdotool key alt+F12
debugger=\$(xdotool search --sync --onlyvisible --name "^Debugger\$" | head -1)
sleep 1
import -window \$debugger "$out/debugger.png"
xdotool windowfocus --sync \$debugger
xdotool key F5
sleep 0.5
xdotool windowfocus --sync \$main
xdotool key alt+F3
sleep 0.3

xdotool key alt+h
settings=\$(xdotool search --sync --onlyvisible --name "^Settings\$" | head -1)
sleep 1
import -window \$settings "$out/settings.png"
xdotool key Escape
sleep 0.3
kill \$pid
wait \$pid || true
SESSION
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/session.sh"

# The keyboard map: a US PC keyboard, each key that reaches the machine marked with its matrix
# place (column/row) from the key table; Shift and Ctrl are the machine's own; grey keys do not
# reach it. Keys: name|label|width in quarter keys (4 = one key, "_" a blank in a label), or
# "gap|width".
declare -A place
while IFS= read -r entry; do
  column=$(sed -E 's/.*, *([0-9]+), *0x.*/\1/' <<<"$entry")
  mask=$(sed -E 's/.*(0x[0-9A-F]+).*/\1/' <<<"$entry")
  case $mask in 0x01) row=0 ;; 0x02) row=1 ;; 0x04) row=2 ;; 0x08) row=3 ;; 0x10) row=4 ;; 0x20) row=5 ;; esac
  case $entry in
    *"vk::Char('"*) key=$(sed -E "s/.*Char\('(.)'\).*/\1/" <<<"$entry") ;;
    *vk::Numpad*) key=pad$(sed -E 's/.*Numpad\(([0-9])\).*/\1/' <<<"$entry") ;;
    *vk::Function*) key=F$(sed -E 's/.*Function\(([0-9]+)\).*/\1/' <<<"$entry") ;;
    *) key=$(sed -E 's/.*vk::(k[A-Za-z0-9]+).*/\1/' <<<"$entry") ;;
  esac
  place[$key]="$column/$row"
done < <(grep -oE '\{vk::[A-Za-z0-9]+(\([^)]*\))?, *[0-9]+, *0x[0-9A-F]+\}' "$root/src/frontend/KeyTable.h")
[ "${#place[@]}" -eq 90 ] || { echo "manual-pictures: read ${#place[@]} keys from the key table, not 90" >&2; exit 1; }
# Host keys that stand in for machine keys (the host rules of the front end).
place[kBack]="= Left"
place[kInsert]="Ctrl+F"
place[kEnd]="Ctrl+K"
place[kShift]="Shift"
place[kControl]="Ctrl"

rows=(
  "kEscape|Esc|4 gap|4 F1|F1|4 F2|F2|4 F3|F3|4 F4|F4|4 gap|2 F5|F5|4 F6|F6|4 F7|F7|4 F8|F8|4 gap|2 F9|F9|4 F10|F10|4 F11|F11|4 F12|F12|4 gap|2 kPrint|PrtSc|4 kScroll|ScrLk|4 kPause|Pause|4"
  "kOem3|\`|4 1|1|4 2|2|4 3|3|4 4|4|4 5|5|4 6|6|4 7|7|4 8|8|4 9|9|4 0|0|4 kOemMinus|-|4 kOemPlus|=|4 kBack|Backspace|8 gap|2 kInsert|Ins|4 kHome|Home|4 kPrior|PgUp|4 gap|2 kNumLock|Num|4 kDivide|/|4 kMultiply|*|4 kSubtract|-|4"
  "kTab|Tab|6 Q|Q|4 W|W|4 E|E|4 R|R|4 T|T|4 Y|Y|4 U|U|4 I|I|4 O|O|4 P|P|4 kOem4|[|4 kOem6|]|4 kOem5|\\\\|6 gap|2 kDelete|Del|4 kEnd|End|4 kNext|PgDn|4 gap|2 pad7|7|4 pad8|8|4 pad9|9|4 kAdd|+|4"
  "kCapital|Caps_Lock|7 A|A|4 S|S|4 D|D|4 F|F|4 G|G|4 H|H|4 J|J|4 K|K|4 L|L|4 kOem1|;|4 kOem7|'|4 kReturn|Enter|9 gap|16 pad4|4|4 pad5|5|4 pad6|6|4"
  "kShift|Shift|9 Z|Z|4 X|X|4 C|C|4 V|V|4 B|B|4 N|N|4 M|M|4 kOemComma|,|4 kOemPeriod|.|4 kOem2|/|4 kShift|Shift|11 gap|6 kUp|Up|4 gap|6 pad1|1|4 pad2|2|4 pad3|3|4 kReturn|Enter|4"
  "kControl|Ctrl|5 kWin|Win|5 kMenu|Alt|5 kSpace|Space|25 kMenu|AltGr|5 kWin|Win|5 kApps|Menu|5 kControl|Ctrl|5 gap|2 kLeft|Left|4 kDown|Down|4 kRight|Right|4 gap|2 pad0|0|8 kDecimal|.|4"
)
unit=12
keyh=52
draw=()
y=14
for row in "${rows[@]}"; do
  x=14
  for key in $row; do
    IFS='|' read -r name label width <<<"$key"
    label=${label//_/ }
    if [ "$name" = gap ]; then
      x=$((x + label * unit))
      continue
    fi
    w=$((width * unit - 4))
    if [ -n "${place[$name]:-}" ]; then
      fill='#dfe9f7'
      mark=${place[$name]}
      ink=black
    else
      fill='#d0d0d0'
      mark=''
      ink='#707070'
    fi
    # Not machine keys, but the program's: Alt lets every machine key go, Pause pauses.
    [ "$name" = kMenu ] && mark='all up'
    [ "$name" = kPause ] && mark='pauses'
    draw+=(-fill "$fill" -stroke '#404040' -draw "roundrectangle $x,$y $((x + w)),$((y + keyh)) 5,5")
    draw+=(-stroke none -fill "$ink" -pointsize 13 -annotate "+$((x + 5))+$((y + 17))" "$label")
    [ -n "$mark" ] && draw+=(-fill '#1a4f9c' -pointsize 12 -annotate "+$((x + 5))+$((y + keyh - 8))" "$mark")
    x=$((x + width * unit))
  done
  y=$((y + keyh + 6))
  [ "$y" -eq $((14 + keyh + 6)) ] && y=$((y + 10))
done
convert -size 1130x$((y + 40)) xc:white "${draw[@]}" -fill black -pointsize 14 \
  -annotate "+14+$((y + 22))" "Blue: the machine key (matrix column/row) a host key reaches. F13 and F14 are keys 7/1 and 7/0 too." \
  "$out/keyboard.png"
echo "manual-pictures: $(ls "$out" | tr '\n' ' ')"
