#!/usr/bin/env python3
"""Writes the small seed corpora of the codec and .lx fuzz targets into
tests/fuzz/codec_decode_fuzz/ and tests/fuzz/lx_read_fuzz/, built here from
the byte layouts (hand token streams, zlib), not by the code under test."""
import os
import struct
import zlib

here = os.path.dirname(os.path.abspath(__file__))
fuzz = os.path.join(here, '..', 'fuzz')


def bmp16(w, h, pixel):
    stride = (2 * w + 3) & ~3
    head = b'BM' + struct.pack('<IHHI', 66 + stride * h, 0, 0, 66)
    head += struct.pack('<IiiHHIIiiII', 40, w, h, 1, 16, 3, 0, 0, 0, 0, 0)
    head += struct.pack('<III', 0xF800, 0x07E0, 0x001F)
    rows = b''.join(struct.pack('<H', (pixel + x * 33 + y) & 0xFFFF) for y in range(h) for x in range(w)
                    ) if stride == 2 * w else b''.join(
        b''.join(struct.pack('<H', (pixel + x * 33 + y) & 0xFFFF) for x in range(w)) + b'\0' * (stride - 2 * w)
        for y in range(h))
    return head + rows


def rle(words, first_literal=True):
    out, i, n = [], 0, len(words)
    if first_literal and n:
        out.append(words[0])
        i = 1
    while i < n:
        if i == n - 1 or words[i] == words[i + 1]:
            j = i + 1
            while j < n and j - i < 65535 and words[j] == words[i]:
                j += 1
            out += [0, 0, j - i, words[i]]
            i = j
        else:
            out.append(words[i])
            i += 1
    return struct.pack('<%dH' % len(out), *out)


def words(b):
    return list(struct.unpack('<%dH' % (len(b) // 2), b[:len(b) // 2 * 2]))


def word_image(bmp, codec_type):
    tokens = rle(words(bmp))
    if codec_type == 1:
        return tokens
    return struct.pack('<i', len(tokens)) + zlib.compress(tokens, 9 if codec_type == 2 else 5)


def extended(mode, raw, tokens):
    if mode % 10 == 1 or mode == 10:
        payload = tokens
    else:
        payload = struct.pack('<i', len(tokens)) + zlib.compress(tokens, 5)
    return struct.pack('<iiiii', -1, -1, mode, raw, len(payload)) + payload


def write(name, files):
    d = os.path.join(fuzz, name)
    os.makedirs(d, exist_ok=True)
    for fname, data in files.items():
        with open(os.path.join(d, fname), 'wb') as f:
            f.write(data)


bmp = bmp16(5, 3, 0x1234)
codec = {}
for t in (1, 2, 3):
    codec['word%d' % t] = bytes([t - 1]) + word_image(bmp, t)
    codec['stream%d' % t] = bytes([0x80 | (t - 1)]) + word_image(bmp, t)
head, px = bmp[:66], bmp[66:]
codec['ext3'] = bytes([2]) + extended(3, len(bmp), rle(words(head)) + rle(words(px), False))
indexed = struct.pack('<hhhh', 5, 3, 0, 64) + bytes([0, 4, 20, 148, 252] * 3) + b'\0'
codec['ext10'] = bytes([0]) + extended(10, len(indexed), rle(words(indexed)))
codec['ext30'] = bytes([0x80]) + extended(30, len(indexed), rle(words(indexed)))
write('codec_decode_fuzz', codec)


def lx_file(frames, index_lines, with_cursor):
    hdr = struct.pack('<10i', 1, 5, 3, len(index_lines), 5, 100, 0, 0, 0, 1 if with_cursor else 0)
    body, offsets = b'', []
    icon = struct.pack('<HHH', 0, 1, 1) + bytes([1, 1, 0, 0]) + struct.pack('<HHII', 1, 24, 48, 22)
    icon += struct.pack('<IiiHHIIiiII', 40, 1, 2, 1, 24, 0, 0, 0, 0, 0, 0) + b'\0\0\xff\0' + b'\0' * 4
    for k, pixel in enumerate(frames):
        offsets.append(40 + len(body))
        image = word_image(bmp16(5, 3, pixel), 3)
        if with_cursor and k % 2 == 0:
            body += struct.pack('<iiii', 1, 2, 1, len(icon)) + icon
        elif with_cursor:
            body += struct.pack('<iiii', 1, -1000, -1000, 0)
        else:
            body += struct.pack('<i', 0)
        body += struct.pack('<i', len(image)) + image
    mouse = b'0\r\n1\r\n2\r\n1\r\n0\r\n0\r\n0\r\n0\r\n'
    index = b''.join(b'%d\r\n' % offsets[i] for i in index_lines)
    trailer = b'\0' * 20 + struct.pack('<ii', 8, 6) + b'qorvimlxs' + b'\0' * 3
    return hdr + body + mouse + struct.pack('<i', len(mouse)) + index + struct.pack('<i', len(index)) + trailer


write('lx_read_fuzz', {
    'cursor': lx_file([0x1111, 0x2222], [0, 0, 1], True),
    'plain': lx_file([0x3333], [0], False),
})
