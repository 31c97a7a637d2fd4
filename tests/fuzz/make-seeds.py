#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus (tests/fuzz/seeds): small TGA files the loader
must accept, and ones it must refuse at each of its checks. Rerun after editing."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "seeds")
sys.path.insert(0, os.path.join(HERE, "..", "lib"))
from tga import header  # noqa: E402


def pixels(w, h, bpp):
    return bytes((i * 37 + i // 7) & 0xFF for i in range(w * h * bpp))


def image(w, h, depth=32, id_length=0, trailer=b"", **kw):
    return (header(w, h, depth, id_length=id_length, **kw) + b"\xee" * id_length
            + pixels(w, h, depth // 8) + trailer)


FOOTER = b"\0" * 8 + b"TRUEVISION-XFILE.\0"
SEEDS = {
    # accepted
    "rgb-3x2.tga": image(3, 2, 24),
    "rgb-7x3-top-first.tga": image(7, 3, 24, descriptor=0x20),
    "rgba-4x4.tga": image(4, 4),
    "rgba-2x2-no-alpha-bits.tga": image(2, 2, descriptor=0),
    "rgba-id20.tga": image(2, 3, id_length=20),
    "rgba-footer.tga": image(3, 3, trailer=FOOTER),
    "empty-width.tga": image(0, 5),
    "empty-height-id.tga": image(9, 0, 24, id_length=4),
    "map-length-0.tga": image(2, 2, map_type=1, map_entry=24),
    "map-entries-7-bits.tga": image(2, 2, map_type=1, map_length=256, map_entry=7),
    # refused
    "short-header.tga": header(2, 2)[:17],
    "rle.tga": image(2, 2, image_type=10),
    "colour-mapped.tga": header(2, 2, 8, image_type=1, map_type=1, map_length=256,
                                map_entry=24) + bytes(768 + 4),
    "grey.tga": image(2, 2, 8, image_type=3),
    "depth-16.tga": header(2, 2, 16) + bytes(8),
    "depth-15.tga": header(2, 2, 15) + bytes(8),
    "map-256x24.tga": image(2, 2, map_length=256, map_entry=24),
    "short-by-one.tga": image(5, 3, 24)[:-1],
    "ends-in-id.tga": image(2, 2, id_length=20)[:30],
    "huge-24.tga": (header(65535, 65535, 24) + bytes(12)),
    "huge-32.tga": (header(65535, 65535, 32) + bytes(12)),
    "wraps-32bit.tga": (header(32768, 32768, 32) + bytes(12)),
    "width-40000.tga": header(40000, 1, 24) + bytes(100),
}

if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
