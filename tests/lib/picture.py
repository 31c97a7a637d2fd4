"""Reading a PNG and comparing a drawn frame with the reference picture, for the
test groups that get their pixels outside the in-process GL tests (a browser, Wine).

The tolerance is the desktop picture test's: per pixel the worst channel may differ
by 6 levels, and at most one pixel in a thousand may differ by more.
"""
import os
import struct
import zlib

REFERENCE = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                         "reference", "frame.png")
WIDTH, HEIGHT = 1280, 720
CHANNEL_SLACK = 6


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(path):
    """(width, height, RGB bytes top row first) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    pos, idat, head = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            head = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
    w, h, depth, colour, _, _, interlace = head
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(f"{path}: only 8-bit non-interlaced RGB or RGBA is read")
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(idat))
    stride = w * bpp
    prev = bytearray(stride)
    out = bytearray()
    for y in range(h):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if kind == 1:
            for i in range(bpp, stride):
                row[i] = (row[i] + row[i - bpp]) & 255
        elif kind == 2:
            row = bytearray((a + b) & 255 for a, b in zip(row, prev))
        elif kind == 3:
            for i in range(stride):
                left = row[i - bpp] if i >= bpp else 0
                row[i] = (row[i] + ((left + prev[i]) >> 1)) & 255
        elif kind == 4:
            for i in range(stride):
                left = row[i - bpp] if i >= bpp else 0
                upleft = prev[i - bpp] if i >= bpp else 0
                row[i] = (row[i] + _paeth(left, prev[i], upleft)) & 255
        out += row if bpp == 3 else bytes(b for i, b in enumerate(row) if i % 4 != 3)
        prev = row
    return w, h, bytes(out)


def compare(rgb, reference=REFERENCE):
    """Compares RGB bytes (top row first, the reference's size) with the reference.
    Returns (within_tolerance, pixels differing by more than the slack, worst
    difference, mean difference per channel)."""
    w, h, want = read_png(reference)
    if len(rgb) != len(want):
        raise ValueError(f"got {len(rgb)} bytes of pixels, the reference has {len(want)}")
    differing = worst = total = 0
    for p in range(0, len(want), 3):
        d0 = abs(rgb[p] - want[p])
        d1 = abs(rgb[p + 1] - want[p + 1])
        d2 = abs(rgb[p + 2] - want[p + 2])
        total += d0 + d1 + d2
        d = max(d0, d1, d2)
        if d > worst:
            worst = d
        if d > CHANNEL_SLACK:
            differing += 1
    return differing <= w * h // 1000, differing, worst, total / len(want)
