#!/usr/bin/env python3
"""Writes the click sounds mc1.wav .. mc8.wav that the recorder mixes into a
recording's sound where the user clicked: one short click in each of the
recorder's formats (mono PCM, 44-byte header), 8 bits for mc1-mc4 and 16 bits
for mc5-mc8, at 8000, 11025, 22050 and 44100 Hz each.

The click is a 1.5 kHz tone that starts at full strength and dies away within
30 ms (a time constant of 5 ms): a dry tick, well inside every rate's band.

Usage: make_clicks.py OUTPUT_FOLDER
"""
import math
import os
import struct
import sys

RATES = (8000, 11025, 22050, 44100)
LENGTH_S = 0.030
TONE_HZ = 1500.0
DECAY_S = 0.005
PEAK = 0.8  # of full scale


def click_samples(rate):
    n = int(rate * LENGTH_S)
    return [PEAK * math.exp(-i / rate / DECAY_S) * math.sin(2 * math.pi * TONE_HZ * i / rate)
            for i in range(n)]


def wav_bytes(rate, bits):
    values = click_samples(rate)
    if bits == 8:
        data = bytes(max(0, min(255, 128 + round(127 * v))) for v in values)
    else:
        data = b"".join(struct.pack("<h", max(-32768, min(32767, round(32767 * v)))) for v in values)
    block = bits // 8
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(data), b"WAVE", b"fmt ", 16, 1, 1,
                         rate, rate * block, block, bits, b"data", len(data))
    return header + data


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for number, (bits, rate) in enumerate(((b, r) for b in (8, 16) for r in RATES), start=1):
        path = os.path.join(out, "mc%d.wav" % number)
        # Written under another name first: a half-written file never carries
        # the name the recorder looks for.
        with open(path + ".part", "wb") as f:
            f.write(wav_bytes(rate, bits))
        os.replace(path + ".part", path)


if __name__ == "__main__":
    main()
