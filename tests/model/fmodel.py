"""A model of the demo's 4x4 matrix arithmetic in plain Python, independent of the
C++ code: Python floats are IEEE doubles, and f32() rounds a double to the nearest
single exactly as a store into a float does.

A matrix is a list of 16 Python floats, each holding a float32 value, read row-major
(row r, column c is m[4r+c]) with the translation in the bottom row.
"""

import math
import struct


def f32(x):
    """The double x rounded to single precision (round to nearest even); values that
    round beyond the float range become infinities, as in C."""
    try:
        return struct.unpack('<f', struct.pack('<f', x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


def bits(x):
    """The single-precision bit pattern of x (x is rounded to single first)."""
    return struct.unpack('<I', struct.pack('<f', x))[0]


def from_bits(u):
    """The float32 value whose bit pattern is u."""
    return struct.unpack('<f', struct.pack('<I', u))[0]


def matrix_bits(m):
    return [bits(x) for x in m]


def identity():
    return [1.0 if i % 5 == 0 else 0.0 for i in range(16)]


def T(x, y, z):
    """Translation; each offset (a double) is rounded to float once, where it is stored."""
    m = identity()
    m[12], m[13], m[14] = f32(x), f32(y), f32(z)
    return m


def _cos_sin(a):
    # The angle is a float; cos and sin are the double functions, rounded once.
    a = f32(a)
    return f32(math.cos(a)), f32(math.sin(a))


def Rx(a):
    c, s = _cos_sin(a)
    m = identity()
    m[5], m[6], m[9], m[10] = c, s, -s, c
    return m


def Ry(a):
    c, s = _cos_sin(a)
    m = identity()
    m[0], m[2], m[8], m[10] = c, -s, s, c
    return m


def Rz(a):
    c, s = _cos_sin(a)
    m = identity()
    m[0], m[1], m[4], m[5] = c, s, -s, c
    return m


def perspective(fovy_deg, aspect, z_near, z_far):
    fovy_deg, aspect, z_near, z_far = f32(fovy_deg), f32(aspect), f32(z_near), f32(z_far)
    cot = f32(1.0 / math.tan(fovy_deg * 3.14159265 / 180.0 * 0.5))
    m = [0.0] * 16
    m[0] = f32(cot / aspect)
    m[5] = cot
    m[10] = f32((z_near + z_far) / (z_near - z_far))
    m[11] = -1.0
    m[14] = f32(z_near * (2.0 * z_far) / (z_near - z_far))
    return m


def multiply(a, b):
    """mat4Multiply(a, b) = b·a: b acts on a point first. Each product is exact in
    double; the running sum starts at 0.0 and is rounded to float after each addition."""
    r = [0.0] * 16
    for i in range(16):
        row, col = divmod(i, 4)
        s = 0.0
        for k in range(4):
            s = f32(s + b[4 * row + k] * a[4 * k + col])
        r[i] = s
    return r


def affine_inverse(m):
    """mat4AffineInverse: cofactor inverse of the 3x3 block, determinant and its
    reciprocal rounded to float, translation carried through the rounded block.
    m[3], m[7], m[11], m[15] are not read. A zero determinant gives inf/NaN."""
    m0, m1, m2 = m[0], m[1], m[2]
    m4, m5, m6 = m[4], m[5], m[6]
    m8, m9, m10 = m[8], m[9], m[10]
    m12, m13, m14 = m[12], m[13], m[14]
    det = f32(m0 * m5 * m10 - m0 * m6 * m9 + m1 * m6 * m8
              - m1 * m4 * m10 + m2 * m4 * m9 - m2 * m5 * m8)
    d = f32(_div(1.0, det))
    r = [0.0] * 16
    r[0] = f32((m5 * m10 - m9 * m6) * d)
    r[1] = f32(-(m1 * m10 - m2 * m9) * d)
    r[2] = f32((m1 * m6 - m2 * m5) * d)
    r[4] = f32(-(m4 * m10 - m6 * m8) * d)
    r[5] = f32((m0 * m10 - m2 * m8) * d)
    r[6] = f32(-(m0 * m6 - m2 * m4) * d)
    r[8] = f32((m4 * m9 - m5 * m8) * d)
    r[9] = f32(-(m0 * m9 - m1 * m8) * d)
    r[10] = f32((m0 * m5 - m1 * m4) * d)
    r[12] = f32(-(m13 * r[4] + m12 * r[0] + m14 * r[8]))
    r[13] = f32(-(m13 * r[5] + m12 * r[1] + m14 * r[9]))
    r[14] = f32(-(m13 * r[6] + m12 * r[2] + m14 * r[10]))
    r[15] = 1.0
    return r


def transpose(m):
    return [m[4 * (i % 4) + i // 4] for i in range(16)]


def _div(x, y):
    # IEEE division: Python raises on a zero divisor where C gives inf or NaN.
    if y == 0.0:
        if x == 0.0 or math.isnan(x):
            return math.nan
        return math.copysign(math.inf, x) * math.copysign(1.0, y)
    return x / y
