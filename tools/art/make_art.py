#!/usr/bin/env python3
"""Draws the program's two pictures into app/res/ (run it again after changing a shape).

logo.bmp  - 216 x 95, 8 bits per pixel with a 256-colour palette, uncompressed: the maker's
            sign (a dose-rate dial) with the names KESTA and ВИРЕЛ-1 on a blue field.
glyph.bmp - 32 x 16, 16 colours: two 16 x 16 pictures side by side, normal and greyed, of a
            red arrow pointing into a sheet of paper; olive is the transparent colour.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "..", "app", "res")


def bmp(width, height, bits, palette, rows):
    """rows: top row first, each a list of palette indexes."""
    stride = ((width * bits + 31) // 32) * 4
    data = bytearray()
    for row in reversed(rows):  # a BMP stores the bottom row first
        line = bytearray()
        if bits == 8:
            line.extend(row)
        else:  # 4 bits: two pixels per byte, the left one in the high nibble
            for x in range(0, width, 2):
                line.append((row[x] << 4) | row[x + 1])
        line.extend(b"\0" * (stride - len(line)))
        data.extend(line)
    colours = bytearray()
    for r, g, b in palette:
        colours.extend((b, g, r, 0))
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835,
                       len(palette), 0)
    return header + info + bytes(colours) + bytes(data)


# 5 x 7 letters, '#' drawn.
FONT = {
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "В": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "И": ["#...#", "#...#", "#..##", "#.#.#", "##..#", "#...#", "#...#"],
    "Р": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Е": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "Л": ["..###", ".#..#", ".#..#", ".#..#", ".#..#", "#...#", "#...#"],
    "-": [".....", ".....", ".....", "####.", ".....", ".....", "....."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
}


def logo():
    w, h = 216, 95
    palette = []
    # 0..159: the field, dark to light blue from left to right
    for i in range(160):
        t = i / 159
        palette.append((int(10 + 40 * t), int(40 + 90 * t), int(110 + 110 * t)))
    white, yellow, dark, red, grey = 160, 161, 162, 163, 164
    palette += [(255, 255, 255), (255, 214, 0), (8, 24, 64), (220, 30, 30), (200, 210, 225)]
    palette += [(0, 0, 0)] * (256 - len(palette))
    px = [[int(159 * x / (w - 1)) for x in range(w)] for _ in range(h)]

    def put(x, y, c):
        if 0 <= x < w and 0 <= y < h:
            px[y][x] = c

    # The dial: a ring, ticks along its upper arc and a needle.
    cx, cy, r = 46, 50, 36
    for y in range(h):
        for x in range(w):
            d = math.hypot(x - cx, y - cy)
            if r - 3 <= d <= r:
                put(x, y, white)
            elif d < r - 3:
                put(x, y, dark)
    for k in range(11):
        a = math.radians(200 - k * 22)
        for s in range(r - 10, r - 4):
            put(round(cx + s * math.cos(a)), round(cy - s * math.sin(a)),
                red if k >= 8 else yellow)
    a = math.radians(55)
    for s in range(0, r - 8):
        for t in (-1, 0, 1):
            put(round(cx + s * math.cos(a) + t * math.sin(a)),
                round(cy - s * math.sin(a) + t * math.cos(a)), white)
    for y in range(cy - 4, cy + 5):
        for x in range(cx - 4, cx + 5):
            if math.hypot(x - cx, y - cy) <= 4:
                put(x, y, red)

    def text(s, x0, y0, scale, colour, gap):
        x = x0
        for ch in s:
            for j, row in enumerate(FONT[ch]):
                for i, c in enumerate(row):
                    if c == "#":
                        for dy in range(scale):
                            for dx in range(scale):
                                put(x + i * scale + dx, y0 + j * scale + dy, colour)
            x += 5 * scale + gap

    text("KESTA", 92, 14, 4, white, 4)
    for x in range(92, 208):  # underline between the two names
        put(x, 48, yellow)
        put(x, 49, yellow)
    text("ВИРЕЛ-1", 94, 60, 2, grey, 4)
    return bmp(w, h, 8, palette, px)


def glyph():
    # The standard 16 colours; 3 is olive, the transparent one.
    palette = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
               (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
               (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    O, K, W, R, M, G, S = 3, 0, 15, 9, 1, 8, 7
    paper = [
        "................",
        "......KKKKKK....",
        "......KWWWWKK...",
        "......KWWWWKWK..",
        "......KWWWWKKKK.",
        "......KWWWWWWWK.",
        "......KWWWKKKWK.",
        "......KWWWWWWWK.",
        "......KWWWKKKWK.",
        "......KWWWWWWWK.",
        "......KWWWKKKWK.",
        "......KWWWWWWWK.",
        "......KWWWKKKWK.",
        "......KWWWWWWWK.",
        "......KKKKKKKKK.",
        "................",
    ]
    rows = [list(r) for r in paper]
    # The arrow: a shaft from the left edge and a head whose tip lies inside the sheet.
    for y in (7, 8):
        for x in range(0, 6):
            rows[y][x] = "R"
    for x, (top, bottom) in zip(range(5, 10), ((3, 12), (4, 11), (5, 10), (6, 9), (7, 8))):
        for y in range(top, bottom + 1):
            rows[y][x] = "R"
    normal = [[{".": O, "K": K, "W": W, "R": R}[c] for c in r] for r in rows]
    greyed = [[{".": O, "K": G, "W": S, "R": G}[c] for c in r] for r in rows]
    # The greyed picture gets the usual white shadow below and right of its dark pixels.
    for y in range(15, -1, -1):
        for x in range(15, -1, -1):
            if greyed[y][x] == G and y + 1 < 16 and x + 1 < 16 and greyed[y + 1][x + 1] == O:
                greyed[y + 1][x + 1] = W
    pixels = [normal[y] + greyed[y] for y in range(16)]
    return bmp(32, 16, 4, palette, pixels)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    with open(os.path.join(OUT, "logo.bmp"), "wb") as f:
        f.write(logo())
    with open(os.path.join(OUT, "glyph.bmp"), "wb") as f:
        f.write(glyph())
