#!/usr/bin/env bash
# Every writer the command-line programs have, killed with SIGKILL at many points of its write
# and then run on a full disk: the target is always the old file or the complete new one, and a
# full disk gives a message, a failing status and the old file untouched, with no temporary
# file left beside it.
#   writers_killed_and_full.sh BIN_DIR WORK_DIR
# The full-disk half mounts a small tmpfs, so it needs root; without root the test is skipped
# (status 77) after the killed half has run.
set -euo pipefail
# A SIGKILL can land while the emulator's audio library holds JACK's lock in /dev/shm, and the
# lock then stays held for every later program on the host. As root the test runs in a mount
# namespace of its own with a private /dev/shm; otherwise the emulator's writers are left out
# of the killed half.
if [ "$(id -u)" -eq 0 ] && [ -z "${TEVRIN_PRIVATE_SHM:-}" ] &&
  unshare --mount --propagation private true 2> /dev/null; then
  TEVRIN_PRIVATE_SHM=1 exec unshare --mount --propagation private "$0" "$@"
fi
if [ -n "${TEVRIN_PRIVATE_SHM:-}" ]; then mount -t tmpfs -o size=16m tmpfs /dev/shm; fi
bin=$1
work=$2
rm -rf "$work"
mkdir -p "$work/kill"
config="$work/TevrinEmu.xml"
sed -e "s|<RomFile>[^<]*</RomFile>|<RomFile>$bin/tevrin.rom</RomFile>|" "$bin/TevrinEmu.xml" > "$config"
fail() { echo "FAIL: $*"; exit 1; }

# Inputs: a tape with a record, a file for a second one, a BASIC listing, a source.
head -c 60000 /dev/urandom > "$work/payload.bin"
"$bin/tevrin-tape" add "$work/tape.pta" "$work/payload.bin" > /dev/null
head -c 100 /dev/urandom > "$work/small.bin"
"$bin/tevrin-tape" add "$work/small.pta" "$work/small.bin" > /dev/null
printf '10 PRINT "HELLO"\n20 GOTO 10\n' > "$work/listing.txt"
{
  echo "        ORG 100H"
  for i in $(seq 2000); do echo "L$i:    LXI H,$i"; done
  echo "        DS 8000H"
} > "$work/big.asm"

# Two writers of the machine's own: the configuration, which keeps the SD-ROM module's folder
# when the monitor changes it, and the module's file write (the monitor's SAVESD, 16 KB of RAM).
# Their commands take spaces, so each is a script of its own.
mkdir -p "$work/card/games"
sed -e 's|<RomSD connected="false">|<RomSD connected="true">|' \
  -e "s|<RootPath></RootPath>|<RootPath>$work/card</RootPath>|" "$config" > "$work/config-old.xml"
grep -q "<RootPath>$work/card</RootPath>" "$work/config-old.xml"
cat > "$work/config-writer.sh" <<WRITER
exec "$bin/tevrinemu" --headless --config "\$1" --speed max --run-ms 3000 --type-after 500 \\
  --type 'cd games
'
WRITER
cat > "$work/sdrom-writer.sh" <<WRITER
# The card is the target's folder.
sed "s|<RootPath>$work/card</RootPath>|<RootPath>\$(dirname "\$1")</RootPath>|" \\
  "$work/config-old.xml" > "$work/sdrom-\$\$.xml"
exec "$bin/tevrinemu" --headless --config "$work/sdrom-\$\$.xml" --speed max --run-ms 8000 \\
  --type-after 500 --dump-mem "0x9C00:1024:$work/sdrom-screen.bin" --type "savesd \$(basename "\$1") 1000 4000
"
WRITER

# name | output file | command (OUT stands for the output). TEVRIN_EXTRA_WRITER adds one, e.g.
# a writer that writes in place, to see the check catch it.
writers=(
  ${TEVRIN_EXTRA_WRITER:+"$TEVRIN_EXTRA_WRITER"}
  "tape-add|t.pta|$bin/tevrin-tape add OUT $work/payload.bin"
  "tape-wav|t.flac|$bin/tevrin-tape wav $work/tape.pta OUT"
  "tape-basic|b.pta|$bin/tevrin-tape basic-import $work/listing.txt OUT"
  "tape-from-audio|r.pta|$bin/tevrin-tape from-audio $work/tape.flac OUT"
  "asm-image|a.bin|$bin/tevrin-asm -o OUT $work/big.asm"
  "asm-listing|a.lst|$bin/tevrin-asm -o $work/kill/scratch.bin --listing OUT $work/big.asm"
  "snapshot|s.tvs|$bin/tevrinemu --headless --config $config --speed max --run-ms 300 --save-snapshot OUT"
  "memory|m.bin|$bin/tevrinemu --headless --config $config --speed max --run-ms 300 --dump-mem 0:65536:OUT"
  "picture|p.png|$bin/tevrinemu --headless --config $config --speed max --run-ms 300 --screenshot OUT"
  "bitmap|p.bmp|$bin/tevrinemu --headless --config $config --speed max --run-ms 300 --screenshot OUT"
  "planes|v.raw|$bin/tevrinemu --headless --config $config --speed max --run-ms 300 --dump-vram OUT"
  "config|c.xml|bash $work/config-writer.sh OUT"
  "sdrom-save|sd.dat|bash $work/sdrom-writer.sh OUT"
  "video|r.mkv|$bin/tevrinemu --headless --config $config --speed max --run-ms 300 --record-video OUT"
  "sound|r.flac|$bin/tevrinemu --headless --config $config --speed max --run-ms 300 --record-audio OUT"
)
"$bin/tevrin-tape" wav "$work/tape.pta" "$work/tape.flac" > /dev/null

old() {  # old NAME TARGET: what is there before; a tape for the writer that adds to one
  case $1 in
    tape-add) cp "$work/small.pta" "$2" ;;
    config) cp "$work/config-old.xml" "$2" ;;
    *) printf 'old %s\n' "$1" > "$2" ;;
  esac
}

run() {  # run COMMAND-WITH-OUT TARGET
  local command=${1//OUT/$2}
  # shellcheck disable=SC2086
  exec $command
}

kills=${TEVRIN_WRITER_KILLS:-12}
ended_old=0
ended_new=0
for entry in "${writers[@]}"; do
  IFS='|' read -r name file command <<< "$entry"
  target="$work/kill/$file"
  if [ -z "${TEVRIN_PRIVATE_SHM:-}" ] && [[ $command == *tevrinemu* ]]; then
    echo "$name: not killed here (no private /dev/shm for its audio library)"
    continue
  fi
  # The old file, and the complete new one the writer makes of it (a tape grows by a record).
  old "$name" "$work/kill/$name.old"
  cp "$work/kill/$name.old" "$target"
  start=$(date +%s%N)
  ( run "$command" "$target" ) > "$work/kill/$name.log" 2>&1 || fail "$name does not run: $(cat "$work/kill/$name.log")"
  took=$(( ($(date +%s%N) - start) / 1000 ))  # microseconds
  cp "$target" "$work/kill/$name.new"
  for k in $(seq "$kills"); do
    cp "$work/kill/$name.old" "$target"
    ( run "$command" "$target" ) > /dev/null 2>&1 &
    pid=$!
    # Spread over the whole run, the end included, where the file is written.
    sleep "$(awk -v t="$took" -v k="$k" -v n="$kills" 'BEGIN { printf "%.6f", t * k / n / 1e6 }')"
    kill -KILL "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
    # A kill inside the audio library's start leaves JACK's lock held in this private /dev/shm,
    # and every later start would wait 8 s for it: the lock goes with the killed process.
    if [ -n "${TEVRIN_PRIVATE_SHM:-}" ]; then rm -rf /dev/shm/jack_db* 2> /dev/null || true; fi
    if cmp -s "$target" "$work/kill/$name.old"; then
      ended_old=$((ended_old + 1))
    elif cmp -s "$target" "$work/kill/$name.new"; then
      ended_new=$((ended_new + 1))
    else
      fail "$name killed after $k/$kills of its run left a file that is neither the old nor the new one ($(stat -c %s "$target") bytes)"
    fi
  done
  rm -f "$work"/kill/.*"$file"*  # temporaries a killed process could not remove
done
echo "killed: ${#writers[@]} writers, $kills kills each, every target whole" \
  "($ended_old left the old file, $ended_new the new one)"
# Kills that all fell before or all after the writes would prove nothing.
[ "$ended_old" -gt 0 ] && [ "$ended_new" -gt 0 ] || fail "the kills missed the writes"

if [ "$(id -u)" -ne 0 ]; then
  echo "not root: the full-disk half needs a tmpfs of its own"
  exit 77
fi
disk="$work/full"
mkdir -p "$disk"
mount -t tmpfs -o size=256k tmpfs "$disk"
trap 'umount "$disk" 2> /dev/null || true' EXIT
for entry in "${writers[@]}"; do
  IFS='|' read -r name file command <<< "$entry"
  target="$disk/$file"
  old "$name" "$target"
  cp "$target" "$work/$name.before"
  # Fill what is left but a few blocks: every new file is larger.
  dd if=/dev/zero of="$disk/filler" bs=1k count=1024 2> /dev/null || true
  rm -f "$disk/filler"
  free=$(( $(stat -f -c '%a*%S' "$disk") - 2048 ))
  head -c "$free" /dev/zero > "$disk/filler" 2> /dev/null || true
  status=0
  ( run "$command" "$target" ) > "$work/$name.full.log" 2>&1 || status=$?
  if [ "$name" = sdrom-save ]; then
    # The module answers the machine's software, which tells its user; the run itself went well.
    [ "$status" -eq 0 ] || fail "$name on a full disk exited $status: $(cat "$work/$name.full.log")"
    grep -q "SD ERROR" "$work/sdrom-screen.bin" ||
      fail "$name on a full disk: the monitor showed no error: $(tr -s ' ' < "$work/sdrom-screen.bin")"
  else
    [ "$status" -ne 0 ] || fail "$name on a full disk exited 0"
    grep -qiE "space|cannot|write|fail" "$work/$name.full.log" ||
      fail "$name on a full disk said nothing: $(cat "$work/$name.full.log")"
  fi
  cmp -s "$target" "$work/$name.before" || fail "$name on a full disk changed the old file"
  left=$(find "$disk" -mindepth 1 ! -name filler ! -name "$file" | head -1)
  [ -z "$left" ] || fail "$name on a full disk left $left behind"
  rm -f "$disk/filler" "$target"
done
echo "full disk: ${#writers[@]} writers, each refused with a message, the old file intact"
