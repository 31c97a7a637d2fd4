// The application shell: the start-up steps, the music, and the timer and keyboard
// callbacks. The shell writes the frame's inputs, which live below it in
// render/state.h.
#pragma once

#include "render/state.h"

// The window's size in pixels, never changed or reacted to afterwards.
constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 720;
// The timer's period in milliseconds: one tick of the clocks each.
constexpr int kTickMilliseconds = 15;

// Per-tick steps, double constants added to the float clocks.
constexpr double kSpinStep = 0.02;
constexpr double kTiltStep = 0.035;
constexpr double kScrollStep = 0.03;

// The three animation clocks' values together.
struct Clocks {
    float spin, tilt, scroll;
};
// One clock step: the double step added in double precision, rounded to float on store.
float clockStep(float clock, double step);
// The clocks one tick later: each clock stepped by its own step.
Clocks nextTick(Clocks c);
// The clocks after n ticks from 0, stepped one tick at a time.
Clocks clocksAtTick(long n);
// Advances the three clocks by one tick each (nextTick); touches nothing else.
void advanceClocks();
// GLUT timer callback: advance the clocks, request a redraw, re-arm, register onKey.
void onTick(int value);
// GLUT keyboard callback: Escape (27) ends the demo through endDemo.
void onKey(unsigned char key, int x, int y);
// Ends the demo with status 0 and never returns: the process on a desktop, the
// program's runtime (timers, drawing, music) in a web page.
[[noreturn]] void endDemo();

// Creates the window and GL context and loads the GL entry points.
void createWindow(int* argc, char** argv);
// Sets the GL state that never changes afterwards (clear values, blending).
void setFixedGlState();
// Loads the four textures into renderResources, in order; failures leave 0.
void loadTextures();
// Start-up's GL steps in order, from the files in the working directory: the fixed
// state, the quad buffers, the four textures, the shader program and its locations.
// The only writer of renderResources. Ends the process with status -1 when the
// shader program cannot be built.
void createGlResources();
// Keeps the platform's audio driver from printing on stderr (ALSA on Linux).
void quietAudioDriverMessages();
// Starts "marrowby.ogg" looping on the default output; every failure is silent.
void startMusic();
// Runs start-up in order and enters the GLUT main loop, which never returns.
int runDemo(int argc, char** argv);
