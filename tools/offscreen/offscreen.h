// Drawing the demo without a window: a GL context (EGL's surfaceless platform on
// Linux, a GLUT window on Windows), a framebuffer object the size of the window,
// the program's own start-up steps, and read-back of the result. Shared by tests
// and tools.
#pragma once

#include <GL/glew.h>
#include <string>
#include <vector>

// Makes a compatibility-profile GL context current (on Linux with no window system)
// and loads the GL entry points; false when none can be had.
bool createOffscreenContext();
// Creates an RGBA8 framebuffer of w x h pixels with a depth buffer, binds it for
// drawing and reading, sets the viewport to it, and returns its name.
GLuint createOffscreenFramebuffer(int w, int h);
// Runs the demo's start-up after the window (createGlResources: fixed GL state,
// geometry, textures, shader program) in dataDir, then returns to the working directory it was
// called from; false when either change of directory fails.
bool loadDemoResources(const char* dataDir);
// Sets the clocks to their values after n ticks, stepped one tick at a time.
void setClocksToTick(long n);
// Reads the bound framebuffer's w x h pixels as RGB, top row first.
std::vector<unsigned char> readFramebufferRgb(int w, int h);
// PNG files, Linux only: libpng is not built for Windows.
// Writes 8-bit RGB pixels (top row first) as a PNG; false on failure.
bool writePng(const std::string& path, int w, int h, const std::vector<unsigned char>& rgb);
// Reads an 8-bit RGB or RGBA PNG as RGB, top row first; false on failure.
bool readPng(const std::string& path, int* w, int* h, std::vector<unsigned char>* rgb);
