// The quad mesh: the vertex table and, once at start-up, its array buffer and the
// five element buffers that each select one quad.
#include "geometry/geometry.h"

#include <GL/glew.h>

// Every vertex lies at z = 0 with w = 1 and faces +z. Quads 2 and 3 share their
// square and differ only in t, which runs the other way on quad 3.
const QuadVertex quadVertices[20] = {
    // quad 0: half-size 2
    {{2.0f, 2.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f}},
    {{-2.0f, 2.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f}},
    {{-2.0f, -2.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 1.0f}},
    {{2.0f, -2.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 1.0f}},
    // quad 1: half-size 1.7
    {{1.7f, 1.7f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f}},
    {{-1.7f, 1.7f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f}},
    {{-1.7f, -1.7f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 1.0f}},
    {{1.7f, -1.7f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 1.0f}},
    // quad 2: half-size 1.4
    {{1.4f, 1.4f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f}},
    {{-1.4f, 1.4f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f}},
    {{-1.4f, -1.4f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 1.0f}},
    {{1.4f, -1.4f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 1.0f}},
    // quad 3: quad 2's square with t mirrored
    {{1.4f, 1.4f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 1.0f}},
    {{-1.4f, 1.4f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 1.0f}},
    {{-1.4f, -1.4f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f}},
    {{1.4f, -1.4f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f}},
    // quad 4: upright 2 by 4 rectangle, s towards +x and t towards +y
    {{-1.0f, -2.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f}},
    {{1.0f, -2.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f}},
    {{1.0f, 2.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 1.0f}},
    {{-1.0f, 2.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 1.0f}},
};
static_assert(sizeof(quadVertices) == 720, "the vertex buffer is 720 bytes");

QuadBuffers createQuadBuffers() {
    QuadBuffers b;
    glGenBuffers(1, &b.vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, b.vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof quadVertices, quadVertices, GL_STATIC_DRAW);

    for (GLushort k = 0; k < 5; ++k) {
        const GLushort first = static_cast<GLushort>(4 * k);
        const GLushort indices[4] = {first, static_cast<GLushort>(first + 1),
                                     static_cast<GLushort>(first + 2),
                                     static_cast<GLushort>(first + 3)};
        glGenBuffers(1, &b.quadIndexBuffers[k]);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.quadIndexBuffers[k]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW);
    }
    // Both bindings are left as they are: the frame rebinds them before it draws.
    return b;
}
