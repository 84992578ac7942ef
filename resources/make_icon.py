#!/usr/bin/env python3
"""Writes nuben.ico, the bootstrapper's icon: a teal tile with a white arrow
dropping into a tray ("install"), at 16x16 and 32x32, 32-bit with alpha.

Standard library only. The generated nuben.ico is committed, so the build
never runs this script; run it again only to change the design:

    python3 resources/make_icon.py resources/nuben.ico
"""
import struct
import sys

TILE = (0x8C, 0x7F, 0x1E)       # teal, as B, G, R
TILE_DARK = (0x5E, 0x55, 0x14)  # its lower edge
GLYPH = (0xFF, 0xFF, 0xFF)
SAMPLES = 4                      # 4x4 supersampling per pixel


def in_tile(x, y):
    """Rounded square covering most of the unit square."""
    lo, hi, r = 0.03, 0.97, 0.20
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_glyph(x, y):
    """A downward arrow above an open tray; y grows downwards."""
    shaft = 0.43 <= x <= 0.57 and 0.16 <= y <= 0.46
    head = False
    if 0.42 <= y <= 0.66:
        half = 0.25 * (0.66 - y) / 0.24  # 0.25 wide at the top, a point at the bottom
        head = abs(x - 0.5) <= half
    bottom = 0.22 <= x <= 0.78 and 0.76 <= y <= 0.84
    left = 0.22 <= x <= 0.30 and 0.60 <= y <= 0.84
    right = 0.70 <= x <= 0.78 and 0.60 <= y <= 0.84
    return shaft or head or bottom or left or right


def render(size):
    """Rows top-down of (b, g, r, a) pixels."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            cover = glyph = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    if in_tile(x, y):
                        cover += 1
                        if in_glyph(x, y):
                            glyph += 1
            n = SAMPLES * SAMPLES
            if cover == 0:
                row.append((0, 0, 0, 0))
                continue
            t = py / max(size - 1, 1)  # vertical gradient of the tile
            base = [round(a + (b - a) * t * t) for a, b in zip(TILE, TILE_DARK)]
            g = glyph / cover
            color = [round(c + (w - c) * g) for c, w in zip(base, GLYPH)]
            row.append((color[0], color[1], color[2], round(255 * cover / n)))
        rows.append(row)
    return rows


def icon_image(size):
    """BITMAPINFOHEADER, bottom-up BGRA pixels, then the AND mask."""
    rows = render(size)
    xor = b"".join(bytes(p) for row in reversed(rows) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] < 128:  # transparent where alpha is not honoured
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def icon_file(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                           len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else "nuben.ico"
    with open(target, "wb") as f:
        f.write(icon_file([16, 32]))


if __name__ == "__main__":
    main()
