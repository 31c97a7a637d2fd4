"""Prints the expected values that tests/unit/test_scene.cpp embeds, computed by the
Python model alone: python3 tests/model/scene_expectations.py"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
from fmodel import f32, bits, from_bits  # noqa: E402
import scene_model as sm  # noqa: E402


def hexes(m):
    return "{" + ", ".join("0x%08x" % bits(x) for x in m) + "}"


def fnv1a(words):
    h = 0xcbf29ce484222325
    for w in words:
        for k in range(4):
            h ^= (w >> (8 * k)) & 0xff
            h = (h * 0x100000001b3) & 0xffffffffffffffff
    return h


def frame_hash(n):
    spin, tilt, scroll = sm.clocks_after(n)
    words = []
    for m in sm.modelviews(spin, tilt, scroll):
        words += [bits(x) for x in m]
        words += [bits(x) for x in sm.normalview(m)]
    return fnv1a(words)


s31 = f32(3.1)
print("// scrollClock 1: A(0,0), B(0,0)")
print(hexes(sm.tile(0, 0, 0, 1.0)), hexes(sm.tile(1, 0, 0, 1.0)))
print("// scrollClock f32(3.1): A(0,0) B(0,0) A(9,9) B(9,9)")
for g, i, j in ((0, 0, 0), (1, 0, 0), (0, 9, 9), (1, 9, 9)):
    m = sm.tile(g, i, j, s31)
    print(g, i, j, hexes(m[12:15]), m[12:15])
print("// y wrap: scroll = 2.7f, A(0,4) y; with the double 2.7 as divisor it would be")
m = sm.tile(0, 0, 4, f32(2.7))
alt = f32(2.7 * 4 - 10 - math.fmod(f32(2.7), 2.7))
print("0x%08x" % bits(m[13]), m[13], "alt 0x%08x" % bits(alt))
print("// spin 0.7 tilt 0.3: draw 203 modelview, normalview; draw 205 modelview, normalview")
m203 = sm.spinning(1, f32(0.7), f32(0.3))
m205 = sm.top(f32(0.7))
for m in (m203, sm.normalview(m203), m205, sm.normalview(m205)):
    print(hexes(m))
print("// frame hashes (modelview and normalview bits of all 205 draws, FNV-1a 64)")
for n in (0, 1, 100, 1234, 100000):
    print(n, "0x%016xull" % frame_hash(n))
