// 4x4 single-precision matrices: the elementary shapes and the three operations
// the frame builds its transforms from. Pure values: no GL, no allocation, no state.
#pragma once

// Row-major reading (row r, column c is m[4r+c]), translation in the bottom row;
// sent to GL with the transpose flag set.
struct Mat4 {
    float m[16];
};

// The identity.
Mat4 mat4Identity();
// T(x, y, z): the identity with the translation x, y, z in m[12], m[13], m[14].
Mat4 mat4Translate(float x, float y, float z);
// Rx(a): turn by a about x; cos and sin of the widened angle, each rounded to float once.
Mat4 mat4RotateX(float a);
// Ry(a): turn by a about y; cos and sin of the widened angle, each rounded to float once.
Mat4 mat4RotateY(float a);
// Rz(a): turn by a about z; cos and sin of the widened angle, each rounded to float once.
Mat4 mat4RotateZ(float a);
// Perspective projection with pi taken as 3.14159265 and the cotangent rounded to float.
Mat4 mat4Perspective(float fovyDeg, float aspect, float zNear, float zFar);
// b·a (b acts on a point first); products in double, each partial sum rounded to float.
Mat4 mat4Multiply(Mat4 a, Mat4 b);
// Inverse of the 3x3 block and bottom-row translation; m[3], m[7], m[11], m[15] unread.
Mat4 mat4AffineInverse(Mat4 m);
