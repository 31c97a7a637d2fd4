// The display callback: one frame drawn from the clocks and the start-up
// resources, 205 quads blended in draw order. GL errors are not queried, and a
// texture name of 0 or a location of -1 is passed to GL unchanged.
#include "render/render.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <cstdint>

#include "geometry/geometry.h"
#include "render/state.h"

namespace {

const void* byteOffset(unsigned n) {
    return reinterpret_cast<const void*>(std::uintptr_t(n));
}

void drawTileField(const RenderResources& r) {
    glBindTexture(GL_TEXTURE_2D, r.texture3);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.quads.quadIndexBuffers[3]);
    glUniform1i(r.shader.uniformTexture, 0);
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 10; ++j) {
            drawWithModelview(tileModelview(0, i, j, scrollClock));
            drawWithModelview(tileModelview(1, i, j, scrollClock));
        }
    }
}

void drawBackdrop(const RenderResources& r) {
    glBindTexture(GL_TEXTURE_2D, r.texture4);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.quads.quadIndexBuffers[4]);
    glUniform1i(r.shader.uniformTexture, 0);
    drawWithModelview(backdropModelview());
}

void drawSpinningQuads(const RenderResources& r) {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, r.texture1);
    glUniform1i(r.shader.uniformTexture, 0);
    for (int k = 0; k < 3; ++k) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.quads.quadIndexBuffers[k]);
        drawWithModelview(spinningModelview(k, spinClock, tiltClock));
    }
}

// No glUniform1i or glActiveTexture here: both still hold from the spinning quads.
void drawTopQuad(const RenderResources& r) {
    glBindTexture(GL_TEXTURE_2D, r.texture2);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.quads.quadIndexBuffers[3]);
    drawWithModelview(topModelview(spinClock));
}

} // namespace

void drawWithModelview(Mat4 m) {
    const RenderResources& r = renderResources;
    glUniformMatrix4fv(r.shader.uniformModelview, 1, GL_TRUE, m.m);
    const Mat4 n = normalviewOf(m);
    glUniformMatrix4fv(r.shader.uniformNormalview, 1, GL_TRUE, n.m);
    glDrawElements(kQuadPrimitive, 4, GL_UNSIGNED_SHORT, nullptr);
}

void drawFrame() {
    const RenderResources& r = renderResources;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glUseProgram(r.shader.program);
    const Mat4 projection = frameProjection();
    glUniformMatrix4fv(r.shader.uniformProjection, 1, GL_TRUE, projection.m);

    glBindBuffer(GL_ARRAY_BUFFER, r.quads.vertexBuffer);
    glVertexAttribPointer(GLuint(r.shader.attribVertex), 4, GL_FLOAT, GL_FALSE, 36, byteOffset(0));
    glEnableVertexAttribArray(GLuint(r.shader.attribVertex));
    glVertexAttribPointer(GLuint(r.shader.attribNormal), 3, GL_FLOAT, GL_FALSE, 36, byteOffset(16));
    glEnableVertexAttribArray(GLuint(r.shader.attribNormal));
    glVertexAttribPointer(GLuint(r.shader.attribTexcoords), 2, GL_FLOAT, GL_FALSE, 36,
                          byteOffset(28));
    glEnableVertexAttribArray(GLuint(r.shader.attribTexcoords));
    glActiveTexture(GL_TEXTURE0);

    // Depth testing is off: the draw order alone stacks the layers.
    drawTileField(r);
    drawBackdrop(r);
    drawSpinningQuads(r);
    drawTopQuad(r);

    glDisableVertexAttribArray(GLuint(r.shader.attribVertex));
    glDisableVertexAttribArray(GLuint(r.shader.attribNormal));
    glDisableVertexAttribArray(GLuint(r.shader.attribTexcoords));
}

void onDisplay() {
    drawFrame();
    glutSwapBuffers();
}
