#!/usr/bin/env python3
"""Renders tabulo.svg's shapes (rectangles and straight lines on a 128 grid) as PNG files of the
given sizes, so the committed PNGs follow the drawing without an SVG renderer. Usage: render_png.py 48 128 256"""
import struct, sys, zlib

def hexrgb(h):
    return tuple(int(h[i:i + 2], 16) for i in (1, 3, 5))

BLUE, PAPER, PALE, MARK = hexrgb("#2f5d8a"), hexrgb("#f7f9fc"), hexrgb("#dbe6f2"), hexrgb("#f2a93b")

def inside_round(x, y, x0, y0, x1, y1, r):
    if not (x0 <= x < x1 and y0 <= y < y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

def colour(x, y):
    """The colour at (x, y) in the 128 grid, or None where the icon is transparent (as in the SVG)."""
    if not inside_round(x, y, 5, 9, 123, 119, 13):          # outer edge of the 6-wide frame
        return None
    if not inside_round(x, y, 11, 15, 117, 113, 7):
        return BLUE
    c = PAPER
    if 11 <= x < 117 and 15 <= y < 40: c = BLUE
    if 14 <= x < 44 and 40 <= y < 113: c = PALE
    if y >= 40 and (42.5 <= x < 45.5 or 80.5 <= x < 83.5): c = BLUE
    if 62.5 <= y < 65.5 or 86.5 <= y < 89.5: c = BLUE
    if 47 <= x < 79 and 67 <= y < 85: c = MARK
    return c

def render(size, ss=4):
    rows = []
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(ss):
                for sx in range(ss):
                    c = colour((px + (sx + .5) / ss) * 128 / size, (py + (sy + .5) / ss) * 128 / size)
                    if c:
                        acc[0] += c[0]; acc[1] += c[1]; acc[2] += c[2]; acc[3] += 1
            n = acc[3]
            row += bytes([acc[0] // n, acc[1] // n, acc[2] // n, 255 * n // (ss * ss)] if n else [0, 0, 0, 0])
        rows.append(bytes(row))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))

for s in sys.argv[1:]:
    with open(f"tabulo-{s}.png", "wb") as f:
        f.write(render(int(s)))
