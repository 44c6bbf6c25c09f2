#!/usr/bin/env bash
# Reads the finished direct-AVI recordings that avi_output_wintest wrote with
# ffprobe and ffmpeg, programs that share nothing with the writer: each file
# must have a video stream of the recorded time base and number of frames
# (positions, skipped ones included) and a PCM sound stream whose decoded
# samples are exactly the sound fitted to the pictures.
# Usage: check_avi.sh DIR  (DIR/*.manifest, lines "file timebase frames samples samplerate";
# the time base of an AVI stream is its scale / rate, seconds per frame)
set -uo pipefail
dir=$1
manifests=$(ls "$dir"/*.manifest 2>/dev/null)
[ -n "$manifests" ] || { echo "no manifest in $dir"; echo "0 passed, 1 failed"; exit 1; }
pass=0 fail=0
while read -r file timebase frames samples samplerate; do
  f=$dir/$file
  video=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_type,time_base,nb_frames \
    -of default=noprint_wrappers=1 "$f" 2>&1 </dev/null)
  audio=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_type,sample_rate \
    -of default=noprint_wrappers=1 "$f" 2>&1 </dev/null)
  decoded=$(ffmpeg -nostdin -v error -i "$f" -map 0:a:0 -f u8 -acodec pcm_u8 - 2>/dev/null | wc -c)
  want_video=$(printf 'codec_type=video\ntime_base=%s\nnb_frames=%s' "$timebase" "$frames")
  want_audio=$(printf 'codec_type=audio\nsample_rate=%s' "$samplerate")
  if [ "$video" = "$want_video" ] && [ "$audio" = "$want_audio" ] && [ "$decoded" = "$samples" ]; then
    pass=$((pass + 1)); echo "ok   $file: $timebase s per frame, $frames frames, $decoded sound samples"
  else
    fail=$((fail + 1))
    echo "FAIL $file: want $timebase s per frame, $frames frames, $samples samples at $samplerate Hz; got"
    echo "$video"; echo "$audio"; echo "decoded samples=$decoded"
  fi
done < <(cat $manifests)
echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
