// Scene rendering: the display callback, the draw step and the pure computation
// of every draw's modelview from the clocks.
#pragma once

#include "math/mat4.h"

// Draws one whole frame into the current framebuffer, everything but the swap.
void drawFrame();
// GLUT display callback: drawFrame, then swap buffers.
void onDisplay();
