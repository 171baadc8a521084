#!/usr/bin/env bash
# Starts the emulator's window on a virtual X display with a small ROM that draws two bands,
# takes a screenshot of the whole display and checks that the bands show in their colours, in
# their places and at 200 %; then closes the program as a session would (SIGTERM) and checks
# that it ended cleanly and stored its window settings.
#   window_xvfb.sh TEVRINEMU DELIVERED_CONFIG WORK_DIR
set -euo pipefail
program=$1
delivered=$2
work=$3
rm -rf "$work"
mkdir -p "$work"

# The ROM: execution starts at offset 0 of the last 4 KB page (file offset 3000h), mirrored
# over the whole address space until paging goes on.
#   MVI A,FFh / OUT E0h      window 0 keeps the ROM page, so the code runs on after paging
#   MVI A,EAh / OUT E8h      8000h: the green plane, rows 0-127
#   MVI A,E7h / OUT E9h      9000h: the red plane, rows 128-255
#   OUT D8h                  paging on
#   fill 8800h-8BFFh with FFh: green rows 64-95
#   fill 9400h-97FFh with FFh: red rows 160-191
#   JMP $
code='\x3e\xff\xd3\xe0\x3e\xea\xd3\xe8\x3e\xe7\xd3\xe9\xd3\xd8'
code+='\x21\x00\x88\x36\xff\x23\x7c\xfe\x8c\xc2\x11\x00'
code+='\x21\x00\x94\x36\xff\x23\x7c\xfe\x98\xc2\x1d\x00'
code+='\xc3\x26\x00'
{
  head -c 12288 /dev/zero | tr '\0' '\377'
  printf "$code"
} > "$work/band.rom"
truncate -s 16384 "$work/band.rom"

config="$work/TevrinEmu.xml"
sed -e "s|<RomFile>[^<]*</RomFile>|<RomFile>$work/band.rom</RomFile>|" \
    -e 's|<Screen size="[a-z]*"|<Screen x="-50" y="30" size="double"|' \
    "$delivered" > "$config"
grep -q "<RomFile>$work/band.rom</RomFile>" "$config"

cat > "$work/session.sh" <<SESSION
"$program" --config "$config" > "$work/program.log" 2>&1 &
pid=\$!
sleep 4
import -window root "$work/screen.png"
kill -TERM \$pid
status=0
wait \$pid || status=\$?
echo \$status > "$work/status"
SESSION
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/session.sh"

fail() { echo "FAIL: $*"; cat "$work/program.log"; exit 1; }

[ "$(cat "$work/status")" = 0 ] || fail "the program ended with status $(cat "$work/status")"

# The bounding box of the pixels of one colour, and how many there are.
band() {
  local colour=$1
  local box count
  box=$(convert "$work/screen.png" -fill black +opaque "$colour" -trim -format '%wx%h%O' info:)
  count=$(convert "$work/screen.png" -fill black +opaque "$colour" -fill white -opaque "$colour" \
          -format '%[fx:int(mean*w*h+0.5)]' info:)
  echo "$box $count"
}
read -r green green_count <<<"$(band '#00FF00')"
read -r red red_count <<<"$(band '#FF0000')"
echo "green band: $green ($green_count pixels); red band: $red ($red_count pixels)"

# 32 machine rows × 256 pixels, each pixel 2 × 2 at 200 %, and nothing else in that colour.
[ "$green_count" = 32768 ] || fail "green pixels: $green_count"
[ "$red_count" = 32768 ] || fail "red pixels: $red_count"
[[ $green =~ ^512x64\+([0-9]+)\+([0-9]+)$ ]] || fail "green band $green"
gx=${BASH_REMATCH[1]}; gy=${BASH_REMATCH[2]}
[[ $red =~ ^512x64\+([0-9]+)\+([0-9]+)$ ]] || fail "red band $red"
rx=${BASH_REMATCH[1]}; ry=${BASH_REMATCH[2]}
# Red starts 96 machine rows below green, in the same columns.
[ "$rx" = "$gx" ] || fail "the bands start in different columns: $gx and $rx"
[ $((ry - gy)) = 192 ] || fail "the red band is $((ry - gy)) pixels below the green one"
# Stored at x -50, the window was pulled onto the desktop, 2 pixels from its edge (there is no
# window manager to add a frame), and the picture starts after the 8-pixel border.
[ "$gx" = 10 ] || fail "the green band starts at x=$gx"
# Inside the border, between the bands and round them, the picture is black.
[ "$(convert "$work/screen.png" -format '%[hex:p{'$gx','$((gy - 1))'}]' info:)" = 000000 ] ||
  fail "the row above the green band is not black"
[ "$(convert "$work/screen.png" -format '%[hex:p{'$((gx - 1))','$gy'}]' info:)" = 000000 ] ||
  fail "the border left of the green band is not black"

# Closing stored the place the window was moved to, and its size.
grep -q '<Screen x="2" y="30" size="double"' "$config" || fail "window settings not stored: $(grep '<Screen' "$config")"
echo "window shows the ROM's picture; closed cleanly"

# A configuration file the program cannot use: the fixed message, then exit status 1 once it is
# closed.
echo "<TevrinEmu" > "$work/broken.xml"
cat > "$work/broken.sh" <<SESSION
"$program" --config "$work/broken.xml" > "$work/broken.log" 2>&1 &
pid=\$!
sleep 2
import -window root "$work/broken.png"
kill -TERM \$pid
status=0
wait \$pid || status=\$?
echo \$status > "$work/broken-status"
SESSION
xvfb-run -a -s "-screen 0 800x600x24" bash "$work/broken.sh"
[ "$(cat "$work/broken-status")" = 1 ] || fail "an unusable configuration ended with $(cat "$work/broken-status")"
# The message box is the only thing on the display: a light box on black.
[ "$(convert "$work/broken.png" -fill black -opaque black -trim -format '%w' info:)" -gt 100 ] ||
  fail "no message on the display"
echo "an unusable configuration is refused with status 1"
