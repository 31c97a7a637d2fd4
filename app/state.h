// The state the frame and the loaders share with the shell: every GL name the frame
// reads and the three animation clocks. Lower floors include this, never app.h.
#pragma once

#include <GL/glew.h>

// Every GL name and shader location the frame reads. Only start-up writes it
// (geometry, textures, shader program, in that order); every frame reads it.
struct RenderResources {
    GLuint shaderProgram;
    GLint attribVertex, attribNormal, attribTexcoords;
    GLint uniformModelview, uniformNormalview, uniformProjection, uniformTexture;
    GLuint vertexBuffer;
    GLuint quadIndexBuffers[5];
    GLuint texture1, texture2, texture3, texture4; // 0 where the image failed to load
};
extern RenderResources renderResources;

// The animation clocks: they count ticks, not time, start at 0 and never wrap.
// Only onTick (through advanceClocks) writes them; the frame reads them.
extern float spinClock;
extern float tiltClock;
extern float scrollClock;

// Per-tick steps, double constants added to the float clocks.
constexpr double kSpinStep = 0.02;
constexpr double kTiltStep = 0.035;
constexpr double kScrollStep = 0.03;
