"""A model of one frame's matrices in plain Python, independent of the C++ code:
the clocks after n ticks, the projection, and the 205 modelviews and normalviews
in draw order. Built on fmodel's float-exact arithmetic."""

import math

from fmodel import T, Rx, Ry, Rz, f32, multiply, affine_inverse, transpose, perspective

SPIN_STEP, TILT_STEP, SCROLL_STEP = 0.02, 0.035, 0.03


def clocks_after(n):
    """(spin, tilt, scroll) after n ticks: each tick adds a double step to the float
    clock and rounds the sum to float."""
    spin = tilt = scroll = 0.0
    for _ in range(n):
        spin, tilt, scroll = f32(spin + SPIN_STEP), f32(tilt + TILT_STEP), f32(scroll + SCROLL_STEP)
    return spin, tilt, scroll


def projection():
    return perspective(45.0, f32(1.7777778), 1.0, -1.0)


def tile(grid, i, j, scroll):
    x_base = 2.5 * i - 10
    y_base = 2.7 * j - 10
    x_clock = scroll if grid == 0 else f32(0.9 * scroll)
    y_clock = scroll if grid == 0 else f32(1.7 * scroll)
    # The y remainder wraps at the float nearest 2.7, widened to double.
    return T(x_base - math.fmod(x_clock, 2.5), y_base - math.fmod(y_clock, f32(2.7)), -8.0)


def backdrop():
    return T(f32(2.6), 0.0, -5.0)


def spinning(k, spin, tilt):
    sigma = 1.0 if k % 2 == 0 else -1.0
    alpha = f32((float(-k) * spin) * sigma)
    beta = f32((k / 5.0 + 1.0) * (-spin))
    r1 = multiply(Rx(alpha), Rz(beta))
    r2 = multiply(r1, Ry(-tilt))
    return multiply(T(f32(-1.1), 0.0, -5.0), r2)


def top(spin):
    return multiply(T(f32(-1.1), 0.0, -5.0), Ry(spin))


def normalview(m):
    return transpose(affine_inverse(m))


def modelviews(spin, tilt, scroll):
    """The frame's 205 modelviews in draw order: A(i,j), B(i,j) with j fastest, the
    backdrop, spinning squares 0..2, the top quad."""
    out = []
    for i in range(10):
        for j in range(10):
            out.append(tile(0, i, j, scroll))
            out.append(tile(1, i, j, scroll))
    out.append(backdrop())
    out.extend(spinning(k, spin, tilt) for k in range(3))
    out.append(top(spin))
    return out
