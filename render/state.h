// The frame's inputs: every GL name start-up made and the three animation clocks.
// The frame reads them; only the shell writes them, so the loaders below it hand
// back what they made instead of storing it here.
#pragma once

#include <GL/glew.h>

#include "assets/assets.h"
#include "geometry/geometry.h"

// Every GL name and shader location the frame reads. Only start-up writes it
// (geometry, textures, shader program, in that order); every frame reads it.
struct RenderResources {
    QuadBuffers quads;
    GLuint texture1, texture2, texture3, texture4; // 0 where the image failed to load
    ShaderProgram shader;
};
extern RenderResources renderResources;

// The animation clocks: they count ticks, not time, start at 0 and never wrap.
// Only the timer (through advanceClocks) writes them; the frame reads them.
extern float spinClock;
extern float tiltClock;
extern float scrollClock;
