#!/usr/bin/env python3
"""Draws the program icon (32 x 32, 24-bit colour) and writes window/app.ico.

A green rice sprout over a photo frame, with a white stroke wiping its corner: the
program's name (青禾) and its job (wiping what a photo carries)."""
import math
import struct
import sys

W = H = 32


def pixel(x, y):
    # Photo frame: a sky-blue picture with a white border.
    bg = (244, 240, 232)
    if 3 <= x <= 28 and 5 <= y <= 26:
        if x in (3, 28) or y in (5, 26):
            return (90, 90, 90)
        if 4 <= x <= 27 and 6 <= y <= 25:
            c = (156, 206, 238) if y < 18 else (120, 170, 95)
            # Sprout: a stem and two leaves.
            if 15 <= x <= 16 and 9 <= y <= 24:
                c = (30, 120, 40)
            for cx, cy, r in ((11.5, 12.0, 4.2), (20.0, 10.5, 4.2)):
                if math.hypot((x - cx) * 0.8, y - cy) <= r:
                    c = (46, 160, 60)
            # The wiping stroke across the lower right corner.
            if 0 <= (x + y) - 42 <= 3:
                c = (255, 255, 255)
            return c
    return bg


def main(path):
    rows = []
    for y in range(H - 1, -1, -1):  # bottom-up DIB
        row = b"".join(struct.pack("BBB", *reversed(pixel(x, y))) for x in range(W))
        rows.append(row)
    xor = b"".join(rows)
    and_mask = b"\x00" * (4 * H)  # fully opaque; each row padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 24, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", W, H, 0, 0, 1, 24, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "window/app.ico")
