// The display callback: one frame drawn from the clocks and the start-up
// resources, 205 quads blended in draw order. GL errors are not queried, and a
// texture name of 0 or a location of -1 is passed to GL unchanged.
#include "render/render.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <cstddef>
#include <cstdint>

#include "geometry/geometry.h"
#include "render/state.h"

namespace {

const void* byteOffset(std::size_t n) {
    return reinterpret_cast<const void*>(std::uintptr_t(n));
}

GLuint layerTexture(const RenderResources& r, int texture) {
    const GLuint names[] = {r.texture1, r.texture2, r.texture3, r.texture4};
    return names[texture - 1];
}

void pointAttribute(GLint location, GLint size, std::size_t offset) {
    glVertexAttribPointer(GLuint(location), size, GL_FLOAT, GL_FALSE, GLsizei(sizeof(QuadVertex)),
                          byteOffset(offset));
    glEnableVertexAttribArray(GLuint(location));
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
    pointAttribute(r.shader.attribVertex, 4, offsetof(QuadVertex, position));
    pointAttribute(r.shader.attribNormal, 3, offsetof(QuadVertex, normal));
    pointAttribute(r.shader.attribTexcoords, 2, offsetof(QuadVertex, texcoord));
    glActiveTexture(GL_TEXTURE0);

    // On the stack: the frame allocates nothing.
    Mat4 modelviews[kFrameDraws];
    frameModelviews(spinClock, tiltClock, scrollClock, modelviews);
    // Depth testing is off: the draw order alone stacks the layers.
    const Mat4* next = modelviews;
    for (const FrameLayer& layer : kFrameLayers) {
        if (layer.selectsUnit) {
            glActiveTexture(GL_TEXTURE0);
        }
        glBindTexture(GL_TEXTURE_2D, layerTexture(r, layer.texture));
        if (layer.quad != kQuadPerDraw) {
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.quads.quadIndexBuffers[layer.quad]);
        }
        if (layer.setsSampler) {
            glUniform1i(r.shader.uniformTexture, 0);
        }
        for (int k = 0; k < layer.draws; ++k) {
            if (layer.quad == kQuadPerDraw) {
                glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.quads.quadIndexBuffers[k]);
            }
            drawWithModelview(*next++);
        }
    }

    glDisableVertexAttribArray(GLuint(r.shader.attribVertex));
    glDisableVertexAttribArray(GLuint(r.shader.attribNormal));
    glDisableVertexAttribArray(GLuint(r.shader.attribTexcoords));
}

void onDisplay() {
    drawFrame();
    glutSwapBuffers();
}
