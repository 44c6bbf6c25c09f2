#!/usr/bin/env bash
# Reads the direct-AVI recordings that direct_avi_wintest left with ffprobe
# and ffmpeg, which share nothing with the writer: the video stream must have
# the time base of its frame interval, as many frames as the stream counts
# positions, and a PCM sound stream whose decoded sample count is the length
# the recorder fits the sound to: byte rate x frames x ms / 1000 in single
# precision, truncated, down to an even number of bytes.
# Usage: check_direct_avi.sh DIR  (DIR/*.manifest, lines "file ms byterate blockalign")
set -uo pipefail
dir=$1
manifests=$(ls "$dir"/*.manifest 2>/dev/null)
[ -n "$manifests" ] || { echo "no manifest in $dir"; exit 1; }
pass=0 fail=0
while read -r file ms byterate align; do
  f=$dir/$file
  vals=$(ffprobe -v error -select_streams v:0 -show_entries stream=time_base,nb_frames \
    -of default=noprint_wrappers=1 "$f" </dev/null)
  timebase=$(sed -n 's/^time_base=//p' <<<"$vals")
  frames=$(sed -n 's/^nb_frames=//p' <<<"$vals")
  rate=$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate \
    -of default=noprint_wrappers=1:nokey=1 "$f" </dev/null)
  samples=$(( $(ffmpeg -nostdin -v error -i "$f" -map 0:a:0 -f s16le -acodec pcm_s16le -ac 1 - 2>/dev/null | wc -c) / 2 ))
  want_tb=$(python3 -c "from fractions import Fraction as F; f=F($ms,1000); print(f'{f.numerator}/{f.denominator}')")
  want_samples=$(python3 -c "
import struct
t = int(struct.unpack('f', struct.pack('f', $byterate * ${frames:-0} * $ms * 0.001))[0])
print((t - t % 2) // $align)")
  if [ -n "$frames" ] && [ "$frames" -gt 0 ] && [ "$timebase" = "$want_tb" ] && [ "$samples" = "$want_samples" ]; then
    pass=$((pass + 1)); echo "ok   $file: $timebase s per frame, $frames frames, $samples sound samples at $rate Hz"
  else
    fail=$((fail + 1))
    echo "FAIL $file: want $want_tb s per frame and $want_samples samples for ${frames:-no} frames; got"
    echo "time_base=$timebase nb_frames=$frames sample_rate=$rate samples=$samples"
  fi
done < <(cat $manifests)
echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
