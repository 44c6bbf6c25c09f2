#!/usr/bin/env bash
# Decodes the MP3 sound of the program's EXE recording that
# direct_exe_wintest left, with ffmpeg, which shares nothing with the encoder
# or the recorder. The recorder fitted the sound to the pictures and mixed a
# click sound into it at the start of each clicked second, over silence:
#  - the decoded length is the fitted length after the codec delay (LAME's
#    576 samples plus the decoder's 529; a streamed ACM conversion has no
#    info frame to tell a decoder to skip them), plus the encoder's padding
#    at the end: its flush leaves room for the decoder's delay and fills the
#    last frame, less than two frames (of 576 samples below 32 kHz);
#  - each clicked second starts with a click (a loud onset within its first
#    50 ms), ten times louder than anything in the seconds without a click.
# Usage: check_direct_mp3.sh DIR  (DIR/program_mp3.txt: "file rate samples second...")
set -uo pipefail
dir=$1
[ -s "$dir/program_mp3.txt" ] || { echo "no program_mp3.txt in $dir"; exit 1; }
read -r file rate samples seconds <"$dir/program_mp3.txt"
codec=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate \
  -of default=noprint_wrappers=1 "$dir/$file" </dev/null | tr '\n' ' ')
verdict=$(ffmpeg -nostdin -v error -i "$dir/$file" -f s16le -acodec pcm_s16le -ac 1 - 2>/dev/null | python3 -c '
import struct, sys
rate, samples = int(sys.argv[1]), int(sys.argv[2])
clicked = [int(s) for s in sys.argv[3:]]
data = sys.stdin.buffer.read()
pcm = struct.unpack("<%dh" % (len(data) // 2), data)
delay = 576 + 529
sound = pcm[delay:]
pad = len(sound) - samples
problems = []
if not 0 <= pad < 2 * 576:
    problems.append("%d samples decoded for %d fitted (padding %d)" % (len(pcm), samples, pad))
peaks = []
for s in range((samples + rate - 1) // rate):
    part = sound[s * rate:(s + 1) * rate]
    peaks.append(max((abs(v) for v in part), default=0))
quiet = max((p for s, p in enumerate(peaks) if s not in clicked), default=0)
for s in clicked:
    part = sound[s * rate:(s + 1) * rate]
    peak = peaks[s] if s < len(peaks) else 0
    onset = next((i for i, v in enumerate(part) if abs(v) > peak // 4), None)
    if peak < 4000 or peak < 10 * max(quiet, 1) or onset is None or onset > rate // 20:
        problems.append("second %d: peak %d (quiet seconds up to %d), onset at sample %s" % (s, peak, quiet, onset))
print(("bad: " + "; ".join(problems)) if problems else
      "ok: %d samples after the codec delay, clicks at seconds %s peak %s, other seconds up to %d" %
      (len(sound), clicked, [peaks[s] for s in clicked if s < len(peaks)], quiet))
' "$rate" "$samples" $seconds)
echo "$file ($codec): $verdict"
case "$codec" in *codec_name=mp3*"sample_rate=$rate"*) ;; *) echo "FAIL: not an MP3 stream at $rate Hz"; exit 1 ;; esac
[ "${verdict%%:*}" = ok ]
