#!/usr/bin/env python3
"""Draws the program's icon, a yellow swirl, as 32 x 32 and 48 x 48 RGBA PNGs.

Usage: make_icons.py [OUTPUT_DIR]. Only the standard library is needed.
"""
import math
import struct
import sys
import zlib
from pathlib import Path

ARMS = 3
TWIST = 2.6  # how far an arm turns per e-fold of the radius
SUPERSAMPLE = 4


def coverage(u, v):
    """Opacity and shade of the swirl at (u, v), with the centre at (0, 0)."""
    r = math.hypot(u, v)
    if r > 0.47:
        return 0.0, 0.0
    theta = math.atan2(v, u)
    phase = ARMS * theta + TWIST * ARMS * math.log(max(r, 1e-3) / 0.47)
    band = 0.5 + 0.5 * math.cos(phase)
    arm = max(0.0, min(1.0, (band - 0.35) / 0.3))
    core = max(0.0, 1.0 - r / 0.12)
    alpha = max(arm, core)
    return alpha, 0.55 + 0.45 * (1.0 - r / 0.47)


def render(size):
    rows = []
    for y in range(size):
        row = bytearray([0])  # PNG filter type: none
        for x in range(size):
            a_sum = shade_sum = 0.0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    u = (x + (sx + 0.5) / SUPERSAMPLE) / size - 0.5
                    v = (y + (sy + 0.5) / SUPERSAMPLE) / size - 0.5
                    a, shade = coverage(u, v)
                    a_sum += a
                    shade_sum += a * shade
            n = SUPERSAMPLE * SUPERSAMPLE
            alpha = a_sum / n
            shade = shade_sum / a_sum if a_sum else 0.0
            row += bytes([round(255 * shade), round(215 * shade), 0, round(255 * alpha)])
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    for size in (32, 48):
        (out / f"quenthar-{size}.png").write_bytes(png(size, render(size)))


if __name__ == "__main__":
    main()
