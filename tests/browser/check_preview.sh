#!/usr/bin/env bash
# The first frame that the recording browser showed of an AVI, as browser_wintest
# grabbed it from the screen (w640-preview.ppm, the part the preview shows),
# against ffmpeg's decode of the same file: every pixel within what a 16-bit
# preview keeps of each channel (8 levels).
# Usage: check_preview.sh DIR
set -uo pipefail
dir=$1
grab=$dir/w640-preview.ppm avi=$dir/w640.avi
[ -s "$grab" ] && [ -s "$avi" ] || { echo "no preview or AVI in $dir"; exit 1; }
decoded=$(mktemp)
trap 'rm -f "$decoded"' EXIT
ffmpeg -nostdin -v error -i "$avi" -frames:v 1 -f rawvideo -pix_fmt rgb24 -y "$decoded" || exit 1
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$avi")
python3 - "$grab" "$decoded" "${size%,*}" "${size#*,}" <<'PY'
import sys
grab, decoded, width, height = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
data = open(grab, 'rb').read()
parts = data.split(b'\n', 3)
gw, gh = map(int, parts[1].split())
pixels = parts[3]
frame = open(decoded, 'rb').read()
if len(frame) != width * height * 3:
    sys.exit(f"ffmpeg gave {len(frame)} bytes for {width}x{height}")
if gw < 64 or gh < 48 or gw > width or gh > height:
    sys.exit(f"the preview shows {gw}x{gh} of a {width}x{height} frame")
bad = 0
for y in range(gh):
    for x in range(gw):
        g = pixels[(y * gw + x) * 3:(y * gw + x) * 3 + 3]
        f = frame[(y * width + x) * 3:(y * width + x) * 3 + 3]
        if any(abs(a - b) > 8 for a, b in zip(g, f)):
            if bad < 5:
                print(f"pixel ({x},{y}): preview {g.hex()} ffmpeg {f.hex()}")
            bad += 1
print(f"{gw}x{gh} preview pixels compared with ffmpeg's frame 0 of {width}x{height}: {bad} differ")
sys.exit(1 if bad else 0)
PY
