#!/usr/bin/env bash
# Reads the MP3 files that Mp3Acm_wintest encoded through our ACM driver with
# ffprobe and ffmpeg, programs that share nothing with the encoder. Each file
# must be an MP3 stream of the rate and channels it was made from and decode
# back to the original tone: the tone starts after the codec delay (LAME's 576
# samples plus the decoder's 529; a streamed ACM conversion has no place for an
# info frame that would tell a decoder to skip them), ends where the original
# ended, and what follows is padding of less than one MP3 frame (1,152 samples
# from 32 kHz up, 576 below).
# Usage: check_mp3.sh DIR  (DIR/manifest.txt: "file rate channels samples")
set -uo pipefail
dir=$1
[ -s "$dir/manifest.txt" ] || { echo "no manifest in $dir"; echo "0 passed, 1 failed"; exit 1; }
pass=0 fail=0
while read -r file rate channels samples; do
  f=$dir/$file
  probe=$(ffprobe -v error -show_entries format=format_name:stream=codec_name,sample_rate,channels \
    -of default=noprint_wrappers=1 "$f" 2>&1 </dev/null)
  want=$(printf 'codec_name=mp3\nsample_rate=%s\nchannels=%s\nformat_name=mp3' "$rate" "$channels")
  verdict=$(ffmpeg -nostdin -v error -i "$f" -f s16le -acodec pcm_s16le - 2>/dev/null | python3 -c '
import struct, sys
rate, channels, samples = (int(a) for a in sys.argv[1:4])
data = sys.stdin.buffer.read()
first = struct.unpack("<%dh" % (len(data) // 2), data)[::channels]
loud = [i for i, v in enumerate(first) if abs(v) > 1500]  # the tone peaks at 10000
delay, frame = 576 + 529, (1152 if rate >= 32000 else 576)
if not loud:
    print("no tone decoded"); sys.exit()
start, end, pad = loud[0], loud[-1] + 1, len(first) - delay - samples
ok = delay <= start <= delay + 8 and abs(end - delay - samples) <= 8 and 0 <= pad < frame
print("%s: %d samples in, %d decoded, tone from %d to %d, padding %d" %
      ("ok" if ok else "bad", samples, len(first), start, end, pad))
' "$rate" "$channels" "$samples")
  if [ "$probe" = "$want" ] && [ "${verdict%%:*}" = ok ]; then
    pass=$((pass + 1)); echo "ok   $file: ${verdict#*: }"
  else
    fail=$((fail + 1)); echo "FAIL $file: $verdict; ffprobe says:"; echo "$probe"
  fi
done <"$dir/manifest.txt"
echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
