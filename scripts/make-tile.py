#!/usr/bin/env python3
"""Draws the main window's background tile, src/controls/glimmer-tile.bmp.

A pale grey ground (239,239,239) with a few faint four-pointed sparkles in a
light teal, the program's own "glimmer". The tile is 150 x 64 pixels, 24 bits
per pixel, and repeats without seams: every sparkle is drawn on a torus, so
one that crosses an edge comes back on the other side. The bottom-left pixel
is left as plain ground, because the tile control takes its see-through
colour from there.

Run once; the picture is committed. Needs nothing but Python 3.
"""
import math
import struct
import sys

W, H = 150, 64
GROUND = (239, 239, 239)
TINT = (176, 212, 212)       # light teal, reached only at a sparkle's centre
SHADE = (226, 232, 232)      # the faint dots between the sparkles
SS = 4                       # supersampling per axis

# (x, y, arm length, strength)
SPARKLES = [
    (31.5, 17.5, 11.0, 0.55),
    (104.5, 42.5, 13.0, 0.60),
    (71.5, 9.5, 6.0, 0.40),
    (132.5, 12.5, 5.0, 0.35),
    (52.5, 47.5, 7.0, 0.42),
    (10.5, 37.5, 4.0, 0.30),
]
DOTS = [(88.5, 27.5), (20.5, 55.5), (142.5, 33.5), (62.5, 28.5), (118.5, 58.5)]


def wrap(d, period):
    d = d % period
    return d - period if d > period / 2 else d


def sparkle(px, py, cx, cy, arm):
    dx, dy = abs(wrap(px - cx, W)), abs(wrap(py - cy, H))
    # Two thin tapering arms, the diagonal ones shorter, and a soft core.
    horiz = max(0.0, 1 - dx / arm) * max(0.0, 1 - dy / (0.9 + 0.08 * arm * (1 - dx / arm)))
    vert = max(0.0, 1 - dy / arm) * max(0.0, 1 - dx / (0.9 + 0.08 * arm * (1 - dy / arm)))
    u, v = (dx + dy) / math.sqrt(2), abs(dx - dy) / math.sqrt(2)
    diag_arm = arm * 0.45
    diag = max(0.0, 1 - u / diag_arm) * max(0.0, 1 - v / 0.8) * 0.6
    core = max(0.0, 1 - math.hypot(dx, dy) / (arm * 0.22))
    return min(1.0, max(horiz, vert, diag, core))


def dot(px, py, cx, cy):
    d = math.hypot(wrap(px - cx, W), wrap(py - cy, H))
    return max(0.0, 1 - d / 1.6)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def pixel(x, y):
    acc = [0.0, 0.0, 0.0]
    for sy in range(SS):
        for sx in range(SS):
            px, py = x + (sx + 0.5) / SS, y + (sy + 0.5) / SS
            c = GROUND
            for (cx, cy, arm, strength) in SPARKLES:
                t = sparkle(px, py, cx, cy, arm) * strength
                if t > 0:
                    c = mix(c, TINT, t)
            for (cx, cy) in DOTS:
                t = dot(px, py, cx, cy) * 0.8
                if t > 0:
                    c = mix(c, SHADE, t)
            for i in range(3):
                acc[i] += c[i]
    return tuple(int(round(v / (SS * SS))) for v in acc)


def bmp24(rows):
    stride = (W * 3 + 3) & ~3
    data = bytearray()
    for y in range(H - 1, -1, -1):          # bottom-up
        row = bytearray()
        for (r, g, b) in rows[y]:
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        data += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "src/controls/glimmer-tile.bmp"
    rows = [[pixel(x, y) for x in range(W)] for y in range(H)]
    assert rows[H - 1][0] == GROUND, rows[H - 1][0]
    with open(out, "wb") as f:
        f.write(bmp24(rows))


if __name__ == "__main__":
    main()
