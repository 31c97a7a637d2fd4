// 4x4 single-precision matrices: the elementary shapes and the three operations
// the frame builds its transforms from. Pure values: no GL, no allocation, no state.
#pragma once

// Row-major reading (row r, column c is m[4r+c]), translation in the bottom row;
// sent to GL with the transpose flag set.
struct Mat4 {
    float m[16];
};
