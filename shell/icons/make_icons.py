#!/usr/bin/env python3
"""Writes the program's icons (32 x 32, 32-bit with alpha) beside this file:
the application icon and the pictures the tray icon takes while recording
(RECORD, PAUSE, and the blink's sound / no-sound signs). Plain shapes drawn
pixel by pixel, so that they can be remade without any image tool."""
import os
import struct

SIZE = 32


def circle(cx, cy, r):
    return lambda x, y: (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r


def box(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def icon(layers):
    """layers: (shape, (r, g, b)) from bottom to top; rows top-down."""
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            px = (0, 0, 0, 0)
            for shape, (r, g, b) in layers:
                if shape(x, y):
                    px = (b, g, r, 255)
            row.append(px)
        rows.append(row)
    return rows


def ico_bytes(rows):
    xor = b"".join(bytes(p) for row in reversed(rows) for p in row)  # bottom-up BGRA
    mask = bytes(4 * SIZE)  # the alpha channel decides; the AND mask is clear
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 22) + image


RED, DARK, WHITE, YELLOW, GREEN, GREY = (220, 30, 30), (30, 40, 90), (255, 255, 255), (240, 190, 20), (40, 170, 60), (140, 140, 140)
ICONS = {
    "main.ico": [(box(2, 6, 30, 26), DARK), (circle(16, 16, 7), RED)],
    "record.ico": [(circle(16, 16, 12), RED)],
    "pause.ico": [(box(8, 6, 14, 26), YELLOW), (box(18, 6, 24, 26), YELLOW)],
    "sound.ico": [(circle(16, 16, 12), GREEN), (box(10, 14, 12, 18), WHITE), (box(15, 10, 17, 22), WHITE), (box(20, 12, 22, 20), WHITE)],
    "nosound.ico": [(circle(16, 16, 12), GREY), (box(9, 15, 23, 17), WHITE)],
}

if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, layers in ICONS.items():
        with open(os.path.join(here, name), "wb") as f:
            f.write(ico_bytes(icon(layers)))
