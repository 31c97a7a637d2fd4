// The quad mesh in a real GL context: what the buffers hold, read back, and which
// vertices a draw through each index buffer actually reaches.
#include <GL/glew.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "app/app.h"
#include "gl_context.h"
#include "geometry/geometry.h"

namespace {

// The vertex table as written down for the mesh: x, y, s, t (z = 0, w = 1, normal +z).
const float kTable[20][4] = {
    {2, 2, 0, 0},       {-2, 2, 1, 0},       {-2, -2, 1, 1},       {2, -2, 0, 1},
    {1.7f, 1.7f, 0, 0}, {-1.7f, 1.7f, 1, 0}, {-1.7f, -1.7f, 1, 1}, {1.7f, -1.7f, 0, 1},
    {1.4f, 1.4f, 0, 0}, {-1.4f, 1.4f, 1, 0}, {-1.4f, -1.4f, 1, 1}, {1.4f, -1.4f, 0, 1},
    {1.4f, 1.4f, 0, 1}, {-1.4f, 1.4f, 1, 1}, {-1.4f, -1.4f, 1, 0}, {1.4f, -1.4f, 0, 0},
    {-1, -2, 0, 0},     {1, -2, 1, 0},       {1, 2, 1, 1},         {-1, 2, 0, 1},
};

// The buffers under test, made afresh for each test.
QuadBuffers quads;

// A state the mesh draws need regardless of what earlier tests in this process left:
// a fresh vertex array object (no stray enabled arrays), no blending, culling off.
struct MeshFixture : testing::Test {
    GLuint vao = 0;
    void SetUp() override {
        ensureGlContext();
        glGenVertexArrays(1, &vao);
        glBindVertexArray(vao);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glDisable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        quads = createQuadBuffers();
    }
    void TearDown() override {
        glUseProgram(0);
        glBindVertexArray(0);
        glDeleteVertexArrays(1, &vao);
        glDisable(GL_CULL_FACE);
    }
};

GLuint compile(GLenum type, const char* source) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        ADD_FAILURE() << "test shader does not compile: " << log;
    }
    return shader;
}

// A program reading the three attributes under the names the demo's shaders use,
// laid out as the frame lays them out: stride 36, offsets 0, 16 and 28.
GLuint makeProgram(const char* vertexSource, const char* fragmentSource) {
    GLuint program = glCreateProgram();
    glAttachShader(program, compile(GL_VERTEX_SHADER, vertexSource));
    glAttachShader(program, compile(GL_FRAGMENT_SHADER, fragmentSource));
    glBindAttribLocation(program, 0, "vertex");
    glBindAttribLocation(program, 1, "vnormal");
    glBindAttribLocation(program, 2, "texcoords");
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    EXPECT_TRUE(ok) << "test program does not link";
    glUseProgram(program);
    glBindBuffer(GL_ARRAY_BUFFER, quads.vertexBuffer);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 36, reinterpret_cast<const void*>(0));
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 36, reinterpret_cast<const void*>(16));
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 36, reinterpret_cast<const void*>(28));
    for (GLuint i = 0; i < 3; ++i) {
        glEnableVertexAttribArray(i);
    }
    return program;
}

std::vector<uint8_t> readPixels(int w, int h) {
    std::vector<uint8_t> rgba(4 * w * h);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

uint8_t toByte(float v) {
    return static_cast<uint8_t>(std::lround(v * 255.0f));
}

} // namespace

TEST_F(MeshFixture, BuffersHoldTheTableAndOneQuadEach) {
    const QuadBuffers& rr = quads;
    // The last buffers made stay bound.
    GLint bound = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), rr.vertexBuffer);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), rr.quadIndexBuffers[4]);

    GLint size = 0, usage = 0;
    glBindBuffer(GL_ARRAY_BUFFER, rr.vertexBuffer);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_USAGE, &usage);
    ASSERT_EQ(size, 720);
    EXPECT_EQ(usage, GL_STATIC_DRAW);
    QuadVertex stored[20];
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, sizeof stored, stored);
    EXPECT_EQ(std::memcmp(stored, quadVertices, sizeof stored), 0);
    for (int v = 0; v < 20; ++v) {
        const QuadVertex& q = stored[v];
        const float want[9] = {kTable[v][0], kTable[v][1], 0, 1, 0, 0, 1,
                               kTable[v][2], kTable[v][3]};
        const float got[9] = {q.position[0], q.position[1], q.position[2],
                              q.position[3], q.normal[0],   q.normal[1],
                              q.normal[2],   q.texcoord[0], q.texcoord[1]};
        EXPECT_EQ(std::memcmp(got, want, sizeof got), 0) << "vertex " << v;
    }

    for (int k = 0; k < 5; ++k) {
        EXPECT_NE(rr.quadIndexBuffers[k], rr.vertexBuffer);
        for (int j = 0; j < k; ++j) {
            EXPECT_NE(rr.quadIndexBuffers[k], rr.quadIndexBuffers[j]);
        }
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, rr.quadIndexBuffers[k]);
        glGetBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
        glGetBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER, GL_BUFFER_USAGE, &usage);
        ASSERT_EQ(size, 8) << "quad " << k;
        EXPECT_EQ(usage, GL_STATIC_DRAW);
        GLushort indices[4] = {};
        glGetBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, sizeof indices, indices);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(indices[i], 4 * k + i) << "quad " << k << ", index " << i;
        }
    }
}

TEST_F(MeshFixture, EachIndexBufferReachesExactlyItsFourVertices) {
    // Every vertex the draw fetches becomes one point at pixel (index, 0) of a 20 x 1
    // target, coloured from its attributes: red (s, t) coded, green x, blue y, alpha 1
    // only if z = 0, w = 1 and the normal is +z.
    const char* vs =
        "#version 130\n"
        "in vec4 vertex; in vec3 vnormal; in vec2 texcoords;\n"
        "out vec4 colour;\n"
        "void main() {\n"
        "  gl_Position = vec4((float(gl_VertexID) + 0.5) / 10.0 - 1.0, 0.0, 0.0, 1.0);\n"
        "  bool plain = vertex.z == 0.0 && vertex.w == 1.0 && vnormal == vec3(0, 0, 1);\n"
        "  colour = vec4(0.125 + 0.5 * texcoords.s + 0.25 * texcoords.t,\n"
        "                (vertex.x + 2.0) / 4.0, (vertex.y + 2.0) / 4.0, plain ? 1.0 : 0.5);\n"
        "}\n";
    const char* fs = "#version 130\n"
                     "in vec4 colour; out vec4 fragColour;\n"
                     "void main() { fragColour = colour; }\n";
    makeFramebuffer(20, 1);
    makeProgram(vs, fs);
    glPointSize(1.0f);
    for (int k = 0; k < 5; ++k) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quads.quadIndexBuffers[k]);
        glDrawElements(GL_POINTS, 4, GL_UNSIGNED_SHORT, nullptr);
        const std::vector<uint8_t> px = readPixels(20, 1);
        for (int v = 0; v < 20; ++v) {
            const uint8_t* p = &px[4 * v];
            if (v / 4 != k) {
                EXPECT_EQ(p[3], 0) << "quad " << k << " reached vertex " << v;
                continue;
            }
            const uint8_t want[4] = {toByte(0.125f + 0.5f * kTable[v][2] + 0.25f * kTable[v][3]),
                                     toByte((kTable[v][0] + 2) / 4), toByte((kTable[v][1] + 2) / 4),
                                     255};
            for (int c = 0; c < 4; ++c) {
                EXPECT_NEAR(p[c], want[c], 1)
                    << "quad " << k << ", vertex " << v << ", channel " << c;
            }
        }
    }
}

TEST_F(MeshFixture, QuadsCoverTheirSquaresFacingTheViewer) {
    // Drawn as the frame draws them (GL_QUADS), with x and y scaled by 1 / 2.5 onto a
    // 50 x 50 target: one pixel is 0.1 units, the colour is (s, t). Back faces are
    // culled, so a quad listed clockwise would vanish.
    const char* vs = "#version 130\n"
                     "in vec4 vertex; in vec3 vnormal; in vec2 texcoords;\n"
                     "out vec2 st;\n"
                     "void main() {\n"
                     "  gl_Position = vec4(vertex.xy / 2.5, vertex.z, vertex.w);\n"
                     "  st = texcoords;\n"
                     "}\n";
    const char* fs = "#version 130\n"
                     "in vec2 st; out vec4 fragColour;\n"
                     "void main() { fragColour = vec4(st, 0.0, 1.0); }\n";
    makeFramebuffer(50, 50);
    makeProgram(vs, fs);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    // Half-widths and half-heights in pixels of quads 0 to 4.
    const int halfW[5] = {20, 17, 14, 14, 10};
    const int halfH[5] = {20, 17, 14, 14, 20};
    for (int k = 0; k < 5; ++k) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quads.quadIndexBuffers[k]);
        glDrawElements(GL_QUADS, 4, GL_UNSIGNED_SHORT, nullptr);
        const std::vector<uint8_t> px = readPixels(50, 50);
        const int x0 = 25 - halfW[k], x1 = 25 + halfW[k], y0 = 25 - halfH[k], y1 = 25 + halfH[k];
        int wrong = 0;
        for (int y = 0; y < 50; ++y) {
            for (int x = 0; x < 50; ++x) {
                const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
                wrong += (px[4 * (50 * y + x) + 3] == 255) != inside;
            }
        }
        EXPECT_EQ(wrong, 0) << "pixels covered wrongly by quad " << k;
        // Near each corner the colour is that corner vertex's (s, t).
        for (int v = 4 * k; v < 4 * k + 4; ++v) {
            const int x = kTable[v][0] > 0 ? x1 - 1 : x0;
            const int y = kTable[v][1] > 0 ? y1 - 1 : y0;
            const uint8_t* p = &px[4 * (50 * y + x)];
            EXPECT_NEAR(p[0], toByte(kTable[v][2]), 12) << "s near vertex " << v;
            EXPECT_NEAR(p[1], toByte(kTable[v][3]), 12) << "t near vertex " << v;
        }
    }
}
