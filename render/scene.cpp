// Where every quad of the frame stands, as pure functions of the clocks: the
// scrolling tile field, the backdrop, the spinning squares and the top quad.
#include "render/render.h"

#include <cmath>

const FrameLayer kFrameLayers[kFrameLayerCount] = {
    {3, 3, false, true, kTileDraws},
    {4, 4, false, true, 1},
    {1, kQuadPerDraw, true, true, 3},
    // No unit or sampler of its own: both still hold from the spinning squares.
    {2, 3, false, false, 1},
};

Mat4 frameProjection() {
    return mat4Perspective(45, 1.7777778f, 1, -1);
}

Mat4 tileModelview(int grid, int i, int j, float scrollClock) {
    const double xBase = 2.5 * i - 10;
    const double yBase = 2.7 * j - 10;
    // Grid B slides 0.9 times as fast in x and 1.7 times as fast in y; each rate
    // is rounded to a float clock of its own before it wraps.
    const float xClock = grid == 0 ? scrollClock : static_cast<float>(0.9 * scrollClock);
    const float yClock = grid == 0 ? scrollClock : static_cast<float>(1.7 * scrollClock);
    // The y offset wraps at the float nearest 2.7, widened, not at the double 2.7
    // that spaces the rows. A remainder of two floats is itself exactly a float.
    const double xOffset = std::fmod(double(xClock), 2.5);
    const double yOffset = std::fmod(double(yClock), double(2.7f));
    return mat4Translate(static_cast<float>(xBase - xOffset), static_cast<float>(yBase - yOffset),
                         -8);
}

Mat4 backdropModelview() {
    return mat4Translate(2.6f, 0, -5);
}

Mat4 spinningModelview(int k, float spinClock, float tiltClock) {
    const double sigma = k % 2 == 0 ? 1 : -1;
    const float alpha = static_cast<float>((double(-k) * spinClock) * sigma);
    const float beta = static_cast<float>((k / 5.0 + 1) * double(-spinClock));
    // mat4Multiply(A, B) is B·A: each vertex turns about y by -tilt, then about z
    // by beta, then about x by alpha, and is then moved into place.
    const Mat4 r1 = mat4Multiply(mat4RotateX(alpha), mat4RotateZ(beta));
    const Mat4 r2 = mat4Multiply(r1, mat4RotateY(-tiltClock));
    return mat4Multiply(mat4Translate(-1.1f, 0, -5), r2);
}

Mat4 topModelview(float spinClock) {
    return mat4Multiply(mat4Translate(-1.1f, 0, -5), mat4RotateY(spinClock));
}

Mat4 normalviewOf(Mat4 modelview) {
    const Mat4 inv = mat4AffineInverse(modelview);
    Mat4 n;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            n.m[4 * r + c] = inv.m[4 * c + r];
        }
    }
    return n;
}

void frameModelviews(float spinClock, float tiltClock, float scrollClock, Mat4 out[kFrameDraws]) {
    int d = 0;
    // Each cell's grid A tile comes directly before its grid B tile, j fastest.
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 10; ++j) {
            out[d++] = tileModelview(0, i, j, scrollClock);
            out[d++] = tileModelview(1, i, j, scrollClock);
        }
    }
    out[d++] = backdropModelview();
    for (int k = 0; k < 3; ++k) {
        out[d++] = spinningModelview(k, spinClock, tiltClock);
    }
    out[d] = topModelview(spinClock);
}
