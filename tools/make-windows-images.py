#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Packs the Windows window's icons and splash bitmap from the PNGs in res/.

Icons hold their PNG images unchanged (as Windows reads them since Vista);
the bitmap is the splash picture as a 24-bit BMP, which dialogs show. Only
the standard library: the images are re-made without ImageMagick.
"""
import struct
import sys
import zlib
from pathlib import Path

RES = Path(__file__).resolve().parent.parent / "res"


def png_size(data: bytes) -> tuple[int, int]:
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        sys.exit("not a PNG")
    return struct.unpack(">II", data[16:24])


def write_ico(target: Path, sources: list[str]) -> None:
    images = [(RES / s).read_bytes() for s in sources]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for data in images:
        width, height = png_size(data)
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    target.write_bytes(header + entries + b"".join(images))


def png_rgb_rows(data: bytes) -> tuple[int, int, list[bytes]]:
    """The rows of an 8-bit RGB, non-interlaced PNG."""
    width, height = png_size(data)
    depth, colour, _, _, interlace = data[24:29]
    if depth != 8 or colour != 2 or interlace != 0:
        sys.exit("the splash picture must be 8-bit RGB, not interlaced")
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride, rows, prev = width * 3, [], bytearray(width * 3)
    for y in range(height):
        base = y * (stride + 1)
        kind, line = raw[base], bytearray(raw[base + 1:base + 1 + stride])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return width, height, rows


def write_bmp(target: Path, source: str) -> None:
    width, height, rows = png_rgb_rows((RES / source).read_bytes())
    padding = b"\0" * ((4 - width * 3 % 4) % 4)
    pixels = b""
    for row in reversed(rows):  # bottom-up, BGR
        pixels += b"".join(row[i:i + 3][::-1] for i in range(0, len(row), 3)) + padding
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    target.write_bytes(header + info + pixels)


write_ico(RES / "icons/check.ico", ["icons/check.png"])
write_ico(RES / "icons/cross.ico", ["icons/cross.png"])
write_ico(RES / "icons/warning.ico", ["icons/tevra-16.png", "icons/warning.png", "icons/tevra.png"])
write_bmp(RES / "pictures/splash.bmp", "pictures/splash.png")
