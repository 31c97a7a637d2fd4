// The offscreen context of the builds that have GLUT and not EGL (Windows, the
// any-Linux folder): the program's own window start-up (GLUT, then GLEW), whose
// window is never drawn to; the demo is drawn into a framebuffer object. Windows has
// no surfaceless GL, under Wine the context comes from the X server, and the minimal
// systems the any-Linux folder is tried on have libGL but no libEGL.
#include "offscreen.h"

#include "app/app.h"

bool createOffscreenContext() {
    int argc = 1;
    char name[] = "offscreen";
    char* argv[] = {name, nullptr};
    createWindow(&argc, argv);
    return glCreateShader != nullptr;
}
