#!/bin/bash
# Records the monitor beeping at maximum speed and checks the files with FFmpeg's own tools:
# the video's length, picture count and streams, a picture against the screenshot of the same
# moment, the beep's pitch in both sound tracks, and the sound file's length to the frame.
#   $1 tevrinemu   $2 the program folder (TevrinEmu.xml, tevrin.rom)   $3 a scratch folder
set -euo pipefail
tool=$(realpath "$1") bin=$(realpath "$2") work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work"
sed "s|<RomFile>tevrin.rom</RomFile>|<RomFile>$bin/tevrin.rom</RomFile>|" "$bin/TevrinEmu.xml" >cfg.xml
fail() { echo "FAIL: $*" >&2; exit 1; }

# 440 Hz (1B8) for two seconds (7D0), typed from 1 s on.
beep=$'b 1b8 7d0\n'
run() { "$tool" --headless --config cfg.xml --speed max --type "$beep" "$@"; }

run --run-ms 10000 --record-video beep.mkv --record-audio beep.wav
run --run-ms 5000 --screenshot shot.png
[ -f beep.mkv ] && [ -f beep.wav ] || fail "no recording written"
ls .beep.*.part 2>/dev/null && fail "a temporary was left behind"

duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 beep.mkv)
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
         -of csv=p=0 beep.mkv)
audio=$(ffprobe -v error -select_streams a -show_entries stream=index -of csv=p=0 beep.mkv | wc -l)
codecs=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 beep.mkv | tr '\n' ' ')
echo "video: $duration s, $frames pictures, $audio sound streams, codecs $codecs"
awk -v d="$duration" 'BEGIN { exit !(d >= 9.96 && d <= 10.04) }' || fail "length $duration s"
[ "$frames" = 500 ] || fail "$frames pictures, not 500"
[ "$audio" = 1 ] || fail "$audio sound streams, not 1"
[ "$codecs" = "ffv1 flac " ] || fail "codecs $codecs"

# The picture at 5 s and the screenshot of 5 s, doubled pixel for pixel: the same RGB bytes.
ffmpeg -v error -ss 5 -i beep.mkv -frames:v 1 -f rawvideo -pix_fmt rgb24 frame5.rgb
ffmpeg -v error -i shot.png -vf scale=512:512:flags=neighbor -f rawvideo -pix_fmt rgb24 shot5.rgb
ffmpeg -v error -i beep.mkv -map 0:a -ac 1 -f s16le track.pcm
python3 - <<'PY' || fail "picture or sound differs"
import struct, sys, wave

frame = open("frame5.rgb", "rb").read()
shot = open("shot5.rgb", "rb").read()
assert len(frame) == len(shot) == 512 * 512 * 3, (len(frame), len(shot))
colours = {frame[i:i + 3] for i in range(0, len(frame), 3)}
assert len(colours) > 1, "the picture at 5 s is blank"
differing = sum(1 for i in range(0, len(frame), 3) if frame[i:i + 3] != shot[i:i + 3])
assert differing == 0, f"{differing} pixels differ from the screenshot"

def pitch(samples, rate, start_s, end_s):
    part = samples[int(start_s * rate):int(end_s * rate)]
    mean = sum(part) / len(part)
    rises = []
    for i in range(1, len(part)):
        a, b = part[i - 1] - mean, part[i] - mean
        if a < 0 <= b:
            rises.append(i - 1 + (-a) / (b - a))
    assert len(rises) > 100, f"only {len(rises)} rises: no beep"
    return (len(rises) - 1) * rate / (rises[-1] - rises[0])

with wave.open("beep.wav") as w:
    assert w.getframerate() == 44000 and w.getnchannels() == 2, w.getparams()
    count = w.getnframes()
    assert count == 440000, f"{count} frames in 10 s of emulated time, not 440000"
    raw = w.readframes(count)
left = list(struct.unpack(f"<{2 * count}h", raw))[0::2]
track = list(struct.unpack(f"<{len(open('track.pcm','rb').read()) // 2}h",
                           open("track.pcm", "rb").read()))
for name, samples, rate in (("wav", left, 44000), ("video", track, 48000)):
    f = pitch(samples, rate, 2.4, 3.4)
    print(f"{name}: {f:.2f} Hz")
    assert abs(f - 440) <= 440 * 0.005, f"{name} beep at {f:.2f} Hz"
PY

# The first picture after 5 s that differs from the one at 5 s (the cursor blinks every 300 ms)
# equals the screenshot of its own moment: a picture taken a period early or late would not.
ffmpeg -v error -ss 5 -i beep.mkv -frames:v 30 -f rawvideo -pix_fmt rgb24 after5.rgb
k=$(python3 -c '
data = open("after5.rgb", "rb").read(); size = 512 * 512 * 3
frames = [data[i:i + size] for i in range(0, len(data), size)]
print(next(250 + n for n, f in enumerate(frames) if f != frames[0]))')
run --run-ms $((k * 20)) --screenshot change.png
ffmpeg -v error -ss "$(awk -v k="$k" 'BEGIN { printf "%.2f", k / 50 }')" -i beep.mkv -frames:v 1 \
    -f rawvideo -pix_fmt rgb24 framek.rgb
ffmpeg -v error -i change.png -vf scale=512:512:flags=neighbor -f rawvideo -pix_fmt rgb24 shotk.rgb
cmp -s framek.rgb shotk.rgb || fail "picture $k differs from the screenshot at $((k * 20)) ms"
echo "picture $k, the first change after 5 s, is the screenshot at $((k * 20)) ms"

# The other containers carry their own codecs; a name without a known format is refused.
run --run-ms 2000 --record-video short.mp4
run --run-ms 2000 --record-video short.webm
for file in short.mp4 short.webm; do
    got=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$file" | tr '\n' ' ')
    echo "$file: $got"
    case $file:$got in
        short.mp4:"h264 aac "|short.webm:"vp9 opus ") ;;
        *) fail "$file holds $got" ;;
    esac
done
if run --run-ms 100 --record-video wrong.avi 2>err.txt; then fail "an .avi name was taken"; fi
grep -q "\.mkv" err.txt || fail "the refusal does not name the formats: $(cat err.txt)"
[ ! -e wrong.avi ] && ! ls .wrong.avi.part 2>/dev/null || fail "a refused recording left a file"
echo "recordings: all checks passed"
