// Windows' offscreen context: the program's own window start-up (GLUT, then GLEW),
// whose window is never drawn to; the demo is drawn into a framebuffer object.
// Windows has no surfaceless GL, and under Wine the context comes from the X server.
#include "offscreen.h"

#include "app/app.h"

bool createOffscreenContext() {
    int argc = 1;
    char name[] = "offscreen";
    char* argv[] = {name, nullptr};
    createWindow(&argc, argv);
    return glCreateShader != nullptr;
}
