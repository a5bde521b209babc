#!/usr/bin/env python3
"""Draws the command-bar picture, a grey 5.25-inch floppy disk, as a 225 x 225 8-bit palette
PNG, and writes it as the C++ source that embeds it in the program.

    tools/draw_floppy_picture.py src/shell/window/floppy_picture_png.cpp [--png out.png]

Only the Python standard library is used. The picture is drawn with 4 x 4 samples per pixel;
each pixel's grey and coverage are then matched to a fixed palette of 32 greys at 4 opacities
(plus one fully transparent entry); the opacities travel in a tRNS chunk.
"""

import argparse
import math
import struct
import zlib

SIZE = 225
SAMPLES = 4  # per axis, per pixel
CENTRE = SIZE / 2.0

GREY_LEVELS = 32
ALPHA_LEVELS = (64, 128, 192, 255)

# Shades of the drawing (0 black .. 255 white).
JACKET_TOP = 112
JACKET_BOTTOM = 78
JACKET_RIM_LIGHT = 150
JACKET_RIM_DARK = 52
MEDIUM = 44
HUB_RING = 92
LABEL = 228
LABEL_LINE = 150


def rounded_rect(x, y, left, top, right, bottom, radius):
    """True when (x, y) lies in the rectangle with rounded corners."""
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def circle(x, y, cx, cy, radius):
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


# The jacket and the holes cut into it, in jacket coordinates.
JACKET = (12.0, 12.0, 213.0, 213.0, 7.0)
RIM = 2.5
LABEL_BOX = (40.0, 22.0, 185.0, 64.0, 3.0)
LABEL_LINES = (36.0, 46.0, 56.0)
WRITE_PROTECT_NOTCH = (205.0, 48.0, 214.0, 66.0)
HUB_WINDOW_RADIUS = 36.0
HUB_RING_RADII = (21.0, 28.0)
HUB_HOLE_RADIUS = 20.0
INDEX_HOLE = (151.0, 128.0, 5.0)
HEAD_SLOT = (101.0, 148.0, 124.0, 204.0, 11.5)
STRAIN_NOTCHES = ((84.0, 213.0, 4.0), (141.0, 213.0, 4.0))


def sample(x, y):
    """Grey and opacity (0..1) of the drawing at one point."""
    left, top, right, bottom, radius = JACKET
    if not rounded_rect(x, y, left, top, right, bottom, radius):
        return 0.0, 0.0
    nl, nt, nr, nb = WRITE_PROTECT_NOTCH
    if nl <= x <= nr and nt <= y <= nb:
        return 0.0, 0.0
    for cx, cy, r in STRAIN_NOTCHES:
        if circle(x, y, cx, cy, r):
            return 0.0, 0.0

    if circle(x, y, CENTRE, CENTRE, HUB_WINDOW_RADIUS):
        if circle(x, y, CENTRE, CENTRE, HUB_HOLE_RADIUS):
            return 0.0, 0.0
        inner, outer = HUB_RING_RADII
        if circle(x, y, CENTRE, CENTRE, outer) and not circle(x, y, CENTRE, CENTRE, inner):
            return HUB_RING, 1.0
        return MEDIUM, 1.0
    ix, iy, ir = INDEX_HOLE
    if circle(x, y, ix, iy, ir):
        return MEDIUM, 1.0
    if rounded_rect(x, y, *HEAD_SLOT):
        return MEDIUM, 1.0

    if rounded_rect(x, y, *LABEL_BOX):
        for line_y in LABEL_LINES:
            if abs(y - line_y) <= 0.8 and 48.0 <= x <= 177.0:
                return LABEL_LINE, 1.0
        return LABEL, 1.0

    # A light rim on the top and left edges, a dark one on the bottom and right.
    if x - left < RIM or y - top < RIM:
        return JACKET_RIM_LIGHT, 1.0
    if right - x < RIM or bottom - y < RIM:
        return JACKET_RIM_DARK, 1.0
    t = (y - top) / (bottom - top)
    return JACKET_TOP + (JACKET_BOTTOM - JACKET_TOP) * t, 1.0


def palette():
    """Entry 0 transparent, then 32 greys at each opacity, the opaque ones last."""
    entries = [(0, 0)]
    for alpha in ALPHA_LEVELS:
        for level in range(GREY_LEVELS):
            entries.append((round(level * 255 / (GREY_LEVELS - 1)), alpha))
    return entries


# Ordered dither over the grey steps, so that the jacket's shading shows no bands.
BAYER = ((0, 8, 2, 10), (12, 4, 14, 6), (3, 11, 1, 9), (15, 7, 13, 5))


def palette_index(grey, alpha, px, py):
    if alpha < ALPHA_LEVELS[0] / 2:
        return 0
    alpha_slot = min(range(len(ALPHA_LEVELS)), key=lambda i: abs(ALPHA_LEVELS[i] - alpha))
    threshold = (BAYER[py % 4][px % 4] + 0.5) / 16
    level = min(GREY_LEVELS - 1, math.floor(grey * (GREY_LEVELS - 1) / 255 + threshold))
    return 1 + alpha_slot * GREY_LEVELS + level


def draw():
    rows = []
    step = 1.0 / SAMPLES
    for py in range(SIZE):
        row = bytearray()
        for px in range(SIZE):
            grey_sum = 0.0
            cover = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    grey, opacity = sample(px + (sx + 0.5) * step, py + (sy + 0.5) * step)
                    grey_sum += grey * opacity
                    cover += opacity
            count = SAMPLES * SAMPLES
            grey = grey_sum / cover if cover > 0 else 0.0
            row.append(palette_index(grey, 255.0 * cover / count, px, py))
        rows.append(bytes(row))
    return rows


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def encode_png(rows):
    entries = palette()
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 3, 0, 0, 0)
    plte = b"".join(bytes((grey, grey, grey)) for grey, _ in entries)
    last_translucent = max(i for i, (_, alpha) in enumerate(entries) if alpha < 255)
    trns = bytes(alpha for _, alpha in entries[: last_translucent + 1])
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", plte) +
            chunk(b"tRNS", trns) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def cpp_source(png):
    lines = []
    for offset in range(0, len(png), 16):
        lines.append("    " + ", ".join("0x%02X" % b for b in png[offset:offset + 16]) + ",")
    return (
        "// Generated by tools/draw_floppy_picture.py: the command-bar picture, a grey 5.25-inch\n"
        "// floppy disk, as a 225 x 225 8-bit palette PNG. Do not edit; run the tool again.\n"
        "\n"
        "#include \"shell/window/floppy_picture.h\"\n"
        "\n"
        "#include <array>\n"
        "#include <cstdint>\n"
        "\n"
        "namespace dw {\n"
        "\n"
        "namespace {\n"
        "\n"
        "// clang-format off\n"
        "constexpr std::array<uint8_t, %d> kFloppyPicturePng = {\n" % len(png) +
        "\n".join(lines) + "\n"
        "};\n"
        "// clang-format on\n"
        "\n"
        "}  // namespace\n"
        "\n"
        "std::span<const uint8_t> FloppyPicturePng() {\n"
        "  return kFloppyPicturePng;\n"
        "}\n"
        "\n"
        "}  // namespace dw\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cpp", help="C++ source to write")
    parser.add_argument("--png", help="also write the PNG file here")
    args = parser.parse_args()
    png = encode_png(draw())
    with open(args.cpp, "w", encoding="ascii") as out:
        out.write(cpp_source(png))
    if args.png:
        with open(args.png, "wb") as out:
            out.write(png)


if __name__ == "__main__":
    main()
