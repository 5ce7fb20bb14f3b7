#!/usr/bin/env python3
"""Draws the Corvel command icon and writes it as res/corvel.tif.

The icon is 32 x 32 pixels, 8-bit RGBA with unassociated alpha, written as an uncompressed,
little-endian baseline TIFF in a single strip, so every TIFF reader the host may use can open it.
Only the standard library is used; running the script again reproduces the file byte for byte.

Usage: make_icon.py [OUTPUT]   (default: res/corvel.tif beside this script's parent folder)
"""

import math
import os
import struct
import sys

SIZE = 32
SUPERSAMPLE = 4  # samples per pixel edge, for smooth edges

# Colours (R, G, B)
DISC_INNER = (64, 132, 214)
DISC_OUTER = (22, 52, 110)
RING = (245, 245, 245)
SPARK = (255, 160, 32)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def sample(x, y):
    """Colour and coverage (0 or 1) of one point in icon coordinates (0..32)."""
    cx = cy = SIZE / 2.0
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    if r > 15.0:
        return (0.0, 0.0, 0.0), 0.0
    # A shutter-like "C": an open ring, gap towards the right, around a shaded disc.
    angle = math.degrees(math.atan2(dy, dx))  # 0 points right, y grows downwards
    in_ring = 6.5 <= r <= 10.5 and abs(angle) > 40.0
    # A spark in the ring's opening: the test render.
    spark = math.hypot(x - 23.0, y - 16.0) <= 3.0
    if spark:
        return SPARK, 1.0
    if in_ring:
        return RING, 1.0
    return mix(DISC_INNER, DISC_OUTER, min(1.0, r / 15.0)), 1.0


def render():
    pixels = bytearray()
    n = SUPERSAMPLE * SUPERSAMPLE
    for py in range(SIZE):
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0]
            cover = 0.0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    colour, a = sample(px + (sx + 0.5) / SUPERSAMPLE, py + (sy + 0.5) / SUPERSAMPLE)
                    cover += a
                    for i in range(3):
                        acc[i] += colour[i] * a
            alpha = cover / n
            rgb = [int(round(acc[i] / cover)) if cover else 0 for i in range(3)]
            pixels += bytes(rgb + [int(round(alpha * 255))])
    return bytes(pixels)


def tiff(width, height, rgba):
    """A baseline TIFF: header, pixel strip, then the image file directory and its arrays."""
    SHORT, LONG, RATIONAL = 3, 4, 5
    header_size = 8
    strip_offset = header_size
    strip_size = len(rgba)
    bits_offset = strip_offset + strip_size          # BitsPerSample: four SHORTs
    xres_offset = bits_offset + 8                    # XResolution: one RATIONAL
    yres_offset = xres_offset + 8                    # YResolution: one RATIONAL
    ifd_offset = yres_offset + 8

    entries = [  # (tag, type, count, value or offset), in ascending tag order
        (256, LONG, 1, width),          # ImageWidth
        (257, LONG, 1, height),         # ImageLength
        (258, SHORT, 4, bits_offset),   # BitsPerSample 8,8,8,8
        (259, SHORT, 1, 1),             # Compression: none
        (262, SHORT, 1, 2),             # PhotometricInterpretation: RGB
        (273, LONG, 1, strip_offset),   # StripOffsets
        (277, SHORT, 1, 4),             # SamplesPerPixel
        (278, LONG, 1, height),         # RowsPerStrip: one strip
        (279, LONG, 1, strip_size),     # StripByteCounts
        (282, RATIONAL, 1, xres_offset),  # XResolution 72/1
        (283, RATIONAL, 1, yres_offset),  # YResolution 72/1
        (284, SHORT, 1, 1),             # PlanarConfiguration: contiguous
        (296, SHORT, 1, 2),             # ResolutionUnit: inch
        (338, SHORT, 1, 2),             # ExtraSamples: unassociated alpha
    ]

    out = bytearray(b"II*\x00" + struct.pack("<I", ifd_offset))
    out += rgba
    out += struct.pack("<4H", 8, 8, 8, 8)
    out += struct.pack("<2I", 72, 1)
    out += struct.pack("<2I", 72, 1)
    out += struct.pack("<H", len(entries))
    for tag, typ, count, value in entries:
        if typ == SHORT and count == 1:
            field = struct.pack("<HH", value, 0)
        else:
            field = struct.pack("<I", value)
        out += struct.pack("<HHI", tag, typ, count) + field
    out += struct.pack("<I", 0)  # no further directory
    return bytes(out)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    target = argv[1] if len(argv) > 1 else os.path.join(here, os.pardir, "res", "corvel.tif")
    data = tiff(SIZE, SIZE, render())
    with open(target, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (os.path.normpath(target), len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
