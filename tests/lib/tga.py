"""TGA headers for the tests that write image files: the 18 bytes field by field, so
that each case can break exactly one of them."""
import struct


def header(w, h, depth=32, image_type=2, id_length=0, map_type=0, map_length=0,
           map_entry=0, descriptor=8):
    """Id length, colour map type, image type, map start, map length, map entry size,
    x and y origin, width, height, bits per pixel, descriptor (alpha bits, row order)."""
    return struct.pack("<BBBHHBHHHHBB", id_length, map_type, image_type, 0, map_length,
                       map_entry, 0, 0, w, h, depth, descriptor)
