#!/usr/bin/env python3
"""Packs the program's PNG icons into one Windows .ico for the resource file.

Usage: make_ico.py OUTPUT.ico INPUT.png...  (8-bit RGBA PNGs, as make_icons.py
writes them). Each image is stored as a 32-bit BGRA bitmap with its AND mask,
the form every version of Windows reads. Only the standard library is needed.
"""
import struct
import sys
import zlib
from pathlib import Path


def read_png(path):
    """Width, height and RGBA rows of a non-interlaced 8-bit RGBA PNG."""
    data = Path(path).read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    if (depth, colour, interlace) != (8, 6, 0):
        raise ValueError(f"{path}: only 8-bit RGBA, non-interlaced PNGs are supported")

    raw, stride, bpp = zlib.decompress(idat), width * 4, 4
    rows, prev = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else b if pb <= pc else c
                line[i] = (line[i] + pred) & 0xFF
            elif kind != 0:
                raise ValueError(f"{path}: unknown filter {kind}")
        rows.append(bytes(line))
        prev = line
    return width, height, rows


def dib(width, height, rows):
    """The icon image: header, bottom-up BGRA pixels, then the AND mask."""
    pixels = b"".join(
        bytes(px for i in range(0, len(row), 4) for px in (row[i + 2], row[i + 1], row[i], row[i + 3]))
        for row in reversed(rows))
    mask_stride = (width + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x in range(width):
            if row[4 * x + 3] == 0:  # fully transparent
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + bytes(mask)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    images = []
    for path in sys.argv[2:]:
        width, height, rows = read_png(path)
        if width > 256 or height > 256:
            raise ValueError(f"{path}: an icon image is at most 256 x 256")
        images.append((width, height, dib(width, height, rows)))

    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for width, height, image in images:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b"".join(image for _, _, image in images)
    Path(sys.argv[1]).write_bytes(out)


if __name__ == "__main__":
    main()
