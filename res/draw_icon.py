#!/usr/bin/env python3
"""Draws Quorvel's icon: a disc seen from above, with a folder tab behind it.

Writes quorvel.ico (one 32x32, 256-colour image, for the Windows resources) and PNG images of
32, 48, 128 and 256 pixels (for the Linux desktop). Standard library only; run it again after
changing the drawing: `python3 res/draw_icon.py`.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SUPERSAMPLE = 4

FOLDER = (232, 176, 56)
FOLDER_EDGE = (176, 122, 28)
DISC_EDGE = (60, 70, 96)
HOLE_RIM = (120, 130, 150)


def disc_colour(dx, dy, r):
    """Rainbow-tinted silver, as light plays on a disc's recorded side."""
    angle = math.atan2(dy, dx)
    shine = 0.5 + 0.5 * math.cos(2 * angle - 0.8)
    tint = 0.5 + 0.5 * math.sin(3 * angle + r * 4)
    base = 150 + 90 * shine
    return (int(base * (0.82 + 0.18 * tint)), int(base * 0.9), int(min(255, base * (1.05 + 0.1 * (1 - tint)))))


def sample(x, y):
    """Colour and coverage of the point (x, y) in a unit square, y downwards."""
    cx, cy = 0.56, 0.56
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    if r <= 0.42:
        if r < 0.07:
            return None
        if r < 0.13:
            return HOLE_RIM
        if r > 0.40:
            return DISC_EDGE
        return disc_colour(dx, dy, r)
    # Folder behind the disc, top left.
    if 0.06 <= x <= 0.70 and 0.16 <= y <= 0.70:
        edge = x < 0.09 or y < 0.19 or x > 0.67 or y > 0.67
        return FOLDER_EDGE if edge else FOLDER
    if 0.06 <= x <= 0.32 and 0.08 <= y <= 0.16:
        return FOLDER_EDGE if y < 0.11 or x < 0.09 or x > 0.29 else FOLDER
    return None


def render(size):
    """RGBA rows, each point averaged over SUPERSAMPLE x SUPERSAMPLE samples."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(n):
                for sx in range(n):
                    colour = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if colour:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered:
                row.append(tuple(t // covered for t in total) + (255 * covered // (n * n),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def write_png(path, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def palette_256(colours):
    """Black for the transparent pixels, then at most 255 colours fitted to the image's own
    (k-means from the most common ones). A transparent pixel must be black: its colour is
    XOR-ed onto the screen."""
    counts = {}
    for colour in colours:
        counts[colour] = counts.get(colour, 0) + 1
    palette = sorted(counts, key=counts.get, reverse=True)[:255]
    for _ in range(8):
        sums = [[0, 0, 0, 0] for _ in palette]
        for colour, count in counts.items():
            s = sums[nearest(palette, colour)]
            for i in range(3):
                s[i] += colour[i] * count
            s[3] += count
        palette = [tuple(s[i] // s[3] for i in range(3)) if s[3] else p for s, p in zip(sums, palette)]
    return [(0, 0, 0)] + palette + [(0, 0, 0)] * (255 - len(palette))


def nearest(palette, colour):
    return min(range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))


def write_ico(path, rows):
    size = len(rows)
    palette = palette_256([pixel[:3] for row in rows for pixel in row if pixel[3] >= 128])
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        bits = 0
        for x, (r, g, b, a) in enumerate(row):
            pixels.append(1 + nearest(palette[1:], (r, g, b)) if a >= 128 else 0)
            if a < 128:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(pixels) + len(mask), 0, 0, 256, 0)
    image = header + b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette) + pixels + mask
    with open(path, "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, 1))
        out.write(struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), 22))
        out.write(image)


def main():
    write_ico(os.path.join(HERE, "quorvel.ico"), render(32))
    for size in (32, 48, 128, 256):
        write_png(os.path.join(HERE, "quorvel-%d.png" % size), render(size))


if __name__ == "__main__":
    main()
