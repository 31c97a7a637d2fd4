// The built-in quad mesh: the 20-vertex table and the GL buffers that hold it.
#pragma once

#include <GL/glew.h>
#include <cstddef>

// One vertex as the shader attributes read it: stride 36, offsets 0, 16 and 28.
struct QuadVertex {
    float position[4]; // x, y, z, w ("vertex")
    float normal[3];   // ("vnormal")
    float texcoord[2]; // s, t ("texcoords")
};
static_assert(sizeof(QuadVertex) == 36, "QuadVertex must be 36 bytes, tightly packed");
static_assert(offsetof(QuadVertex, position) == 0, "position at byte 0");
static_assert(offsetof(QuadVertex, normal) == 16, "normal at byte 16");
static_assert(offsetof(QuadVertex, texcoord) == 28, "texcoord at byte 28");

// Five quads of four vertices each; quad k is vertices 4k to 4k+3, counter-clockwise from +z.
extern const QuadVertex quadVertices[20];

// The primitive that draws one quad from its four indices: GL_QUADS on a desktop; a
// fan over the same four where GL has no quads (WebGL). Defined per platform.
extern const GLenum kQuadPrimitive;

// The GL buffers of the mesh: the vertex table, and one element buffer per quad.
struct QuadBuffers {
    GLuint vertexBuffer;
    GLuint quadIndexBuffers[5];
};
// Creates and fills the array buffer and the five element buffers; the last ones stay bound.
QuadBuffers createQuadBuffers();
