// The application shell: the process-wide resources and animation clocks, the
// start-up steps, the music, and the timer and keyboard callbacks.
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

// One clock step: the double step added in double precision, rounded to float on store.
float clockStep(float clock, double step);
// Advances the three clocks by one tick each; touches nothing else.
void advanceClocks();
// GLUT timer callback: advance the clocks, request a redraw, re-arm, register onKey.
void onTick(int value);
// GLUT keyboard callback: Escape (27) ends the process with status 0.
void onKey(unsigned char key, int x, int y);

// Creates the window and GL context and loads the GL entry points.
void createWindow(int* argc, char** argv);
// Sets the GL state that never changes afterwards (clear values, blending).
void setFixedGlState();
// Loads the four textures into renderResources, in order; failures leave 0.
void loadTextures();
// Starts "marrowby.ogg" looping on the default output; every failure is silent.
void startMusic();
// Runs start-up in order and enters the GLUT main loop, which never returns.
int runDemo(int argc, char** argv);
