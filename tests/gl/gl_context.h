// A GL context for in-process tests: Mesa through EGL's surfaceless platform,
// compatibility profile, no X server needed; drawing goes to framebuffer objects.
#pragma once

#include <GL/glew.h>

// Makes a context current once per process (later calls do nothing); aborts the
// test program when no context can be had.
void ensureGlContext();

// An RGBA8 colour framebuffer of w x h pixels with a depth buffer, bound for drawing
// and reading; returns its name.
GLuint makeFramebuffer(int w, int h);
