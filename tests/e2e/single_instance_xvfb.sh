#!/usr/bin/env bash
# Two starts of the same program on the same configuration under a virtual X display: the
# second hands its tape (a path relative to its own folder) to the first and ends with 0, a
# third without a file only brings the first forward; the first opens the tape as if it had
# been given on its own command line, which its recent files show once it has closed. A memory
# file handed over opens the memory dialog in the first; closing that dialog leaves it running.
#   single_instance_xvfb.sh TEVRINEMU PROGRAM_FOLDER WORK_DIR
set -euo pipefail
program=$1
bin=$2
work=$3
rm -rf "$work"
mkdir -p "$work/tapes"

sed -e "s|<RomFile>tevrin.rom</RomFile>|<RomFile>$bin/tevrin.rom</RomFile>|" \
    "$bin/TevrinEmu.xml" > "$work/TevrinEmu.xml"
# One information record: length 6, type 0, "hello".
printf '\x06\x00\x00\x00\x00hello' > "$work/tapes/handed over.pta"
printf '\x3e\x41\x76' > "$work/tapes/program.bin"

cat > "$work/session.sh" <<SESSION
"$program" --config "$work/TevrinEmu.xml" > "$work/first.log" 2>&1 &
first=\$!
sleep 4
cd "$work/tapes"
second=0
timeout 20 "$program" --config "$work/TevrinEmu.xml" "handed over.pta" > "$work/second.log" 2>&1 || second=\$?
echo \$second > "$work/second-status"
third=0
timeout 20 "$program" --config "$work/TevrinEmu.xml" > "$work/third.log" 2>&1 || third=\$?
echo \$third > "$work/third-status"
fourth=0
timeout 20 "$program" --config "$work/TevrinEmu.xml" program.bin > "$work/fourth.log" 2>&1 || fourth=\$?
echo \$fourth > "$work/fourth-status"
dialog=\$(xdotool search --sync --onlyvisible --name "^Load file to memory\$" | head -1)
echo "\$dialog" > "$work/dialog-window"
xdotool windowfocus --sync "\$dialog" key --delay 50 Escape
sleep 2
if kill -0 \$first 2>/dev/null; then echo alive > "$work/first-alive"; fi
kill -TERM \$first
status=0
wait \$first || status=\$?
echo \$status > "$work/first-status"
SESSION
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/session.sh"

fail() { echo "FAIL: $*"; cat "$work"/*.log; exit 1; }
[ "$(cat "$work/second-status")" = 0 ] || fail "the second start ended with $(cat "$work/second-status")"
[ "$(cat "$work/third-status")" = 0 ] || fail "the third start ended with $(cat "$work/third-status")"
[ "$(cat "$work/fourth-status")" = 0 ] || fail "the fourth start ended with $(cat "$work/fourth-status")"
[ -n "$(cat "$work/dialog-window")" ] || fail "the handed-over memory file opened no memory dialog"
[ -f "$work/first-alive" ] || fail "the first instance did not keep running"
[ "$(cat "$work/first-status")" = 0 ] || fail "the first instance ended with $(cat "$work/first-status")"
grep -q "$work/tapes/handed over.pta" "$work/TevrinEmu.xml" ||
  fail "the first instance did not open the handed-over tape: $(grep -i recent "$work/TevrinEmu.xml")"
echo "the second start handed its tape to the first and ended with 0"
