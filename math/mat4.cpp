// The matrix shapes and operations. Every intermediate is a double; a value is
// rounded to float only where it is stored, or where a later step must see the
// rounded value (the product's partial sums, the inverse's determinant and reciprocal).
#include "math/mat4.h"

#include <cmath>

Mat4 mat4Identity() {
    Mat4 r = {};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
}

Mat4 mat4Translate(float x, float y, float z) {
    Mat4 r = mat4Identity();
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
}

namespace {

// The double cosine and sine of the float angle, rounded once: std::cos(float) would
// be the float function, whose last bit differs for some angles.
float roundedCos(float a) {
    return static_cast<float>(std::cos(static_cast<double>(a)));
}
float roundedSin(float a) {
    return static_cast<float>(std::sin(static_cast<double>(a)));
}

} // namespace

Mat4 mat4RotateX(float a) {
    const float c = roundedCos(a);
    const float s = roundedSin(a);
    Mat4 r = mat4Identity();
    r.m[5] = c;
    r.m[6] = s;
    r.m[9] = -s;
    r.m[10] = c;
    return r;
}

Mat4 mat4RotateY(float a) {
    const float c = roundedCos(a);
    const float s = roundedSin(a);
    Mat4 r = mat4Identity();
    r.m[0] = c;
    r.m[2] = -s;
    r.m[8] = s;
    r.m[10] = c;
    return r;
}

Mat4 mat4RotateZ(float a) {
    const float c = roundedCos(a);
    const float s = roundedSin(a);
    Mat4 r = mat4Identity();
    r.m[0] = c;
    r.m[1] = s;
    r.m[4] = -s;
    r.m[5] = c;
    return r;
}

Mat4 mat4Perspective(float fovyDeg, float aspect, float zNear, float zFar) {
    // Pi is the eight-decimal literal, not the full constant: some angles round differently.
    const double halfAngle = static_cast<double>(fovyDeg) * 3.14159265 / 180.0 * 0.5;
    const float cot = static_cast<float>(1.0 / std::tan(halfAngle));
    const double n = zNear;
    const double f = zFar;
    Mat4 r = {};
    r.m[0] = static_cast<float>(static_cast<double>(cot) / aspect);
    r.m[5] = cot;
    r.m[10] = static_cast<float>((n + f) / (n - f));
    r.m[11] = -1.0f;
    r.m[14] = static_cast<float>(n * (2.0 * f) / (n - f));
    return r;
}

Mat4 mat4Multiply(Mat4 a, Mat4 b) {
    Mat4 r;
    for (int i = 0; i < 16; ++i) {
        const int row = i / 4;
        const int col = i % 4;
        // The running sum is a float: each step adds an exact double product to it
        // and rounds again, which is not the same as one rounding of the whole sum.
        float sum = 0.0f;
        for (int k = 0; k < 4; ++k) {
            sum = static_cast<float>(static_cast<double>(sum) +
                                     static_cast<double>(b.m[4 * row + k]) * a.m[4 * k + col]);
        }
        r.m[i] = sum;
    }
    return r;
}

Mat4 mat4AffineInverse(Mat4 m) {
    const double m0 = m.m[0], m1 = m.m[1], m2 = m.m[2];
    const double m4 = m.m[4], m5 = m.m[5], m6 = m.m[6];
    const double m8 = m.m[8], m9 = m.m[9], m10 = m.m[10];
    const double m12 = m.m[12], m13 = m.m[13], m14 = m.m[14];

    // No test for zero: a singular block gives infinities and NaNs.
    const float det = static_cast<float>(m0 * m5 * m10 - m0 * m6 * m9 + m1 * m6 * m8 -
                                         m1 * m4 * m10 + m2 * m4 * m9 - m2 * m5 * m8);
    const double d = static_cast<float>(1.0 / det);

    Mat4 r;
    r.m[0] = static_cast<float>((m5 * m10 - m9 * m6) * d);
    r.m[1] = static_cast<float>(-(m1 * m10 - m2 * m9) * d);
    r.m[2] = static_cast<float>((m1 * m6 - m2 * m5) * d);
    r.m[4] = static_cast<float>(-(m4 * m10 - m6 * m8) * d);
    r.m[5] = static_cast<float>((m0 * m10 - m2 * m8) * d);
    r.m[6] = static_cast<float>(-(m0 * m6 - m2 * m4) * d);
    r.m[8] = static_cast<float>((m4 * m9 - m5 * m8) * d);
    r.m[9] = static_cast<float>(-(m0 * m9 - m1 * m8) * d);
    r.m[10] = static_cast<float>((m0 * m5 - m1 * m4) * d);

    // The translation goes through the block as stored, already rounded to float.
    r.m[12] = static_cast<float>(-(m13 * r.m[4] + m12 * r.m[0] + m14 * r.m[8]));
    r.m[13] = static_cast<float>(-(m13 * r.m[5] + m12 * r.m[1] + m14 * r.m[9]));
    r.m[14] = static_cast<float>(-(m13 * r.m[6] + m12 * r.m[2] + m14 * r.m[10]));

    r.m[3] = r.m[7] = r.m[11] = 0.0f;
    r.m[15] = 1.0f;
    return r;
}
