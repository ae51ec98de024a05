#!/usr/bin/env python3
"""A 24-bit uncompressed BMP as an RGB PNG, with the standard library only.

Usage: bmp-to-png.py picture.bmp picture.png
"""
import struct
import sys
import zlib


def main(source: str, target: str) -> None:
    data = open(source, "rb").read()
    if data[:2] != b"BM":
        sys.exit(f"{source}: not a BMP")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0:
        sys.exit(f"{source}: only 24-bit uncompressed BMPs")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        line = y if height < 0 else abs(height) - 1 - y
        start = offset + line * stride
        bgr = data[start:start + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind: bytes, body: bytes) -> bytes:
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    header = struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
    open(target, "wb").write(png + chunk(b"IEND", b""))


if __name__ == "__main__":
    main(*sys.argv[1:3])
