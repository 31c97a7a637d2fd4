// The display callback: one frame from the clocks and the start-up resources.
#include "render/render.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include "app/app.h"

void drawFrame() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

void onDisplay() {
    drawFrame();
    glutSwapBuffers();
}
