// The shared sources include freeglut's header; emscripten's GLUT has only
// <GL/glut.h>, which declares every call the demo makes.
#pragma once

#include <GL/glut.h>
