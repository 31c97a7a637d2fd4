// The animation clocks, the 15 ms timer that advances them, and the keyboard.
#include "app/app.h"

#include <GL/freeglut.h>

float clockStep(float clock, double step) {
    return static_cast<float>(double(clock) + step);
}

void advanceClocks() {
    spinClock = clockStep(spinClock, kSpinStep);
    tiltClock = clockStep(tiltClock, kTiltStep);
    scrollClock = clockStep(scrollClock, kScrollStep);
}

void onTick(int /*value*/) {
    advanceClocks();
    glutPostRedisplay();
    glutTimerFunc(15, onTick, 0);
    // The only place the keyboard callback is registered: keys pressed before the
    // first tick are not seen.
    glutKeyboardFunc(onKey);
}

void onKey(unsigned char key, int /*x*/, int /*y*/) {
    if (key == 27) {
        endDemo();
    }
}
