// The animation clocks, the timer that advances them every tick, and the keyboard.
#include "app/app.h"

#include <GL/freeglut.h>

float clockStep(float clock, double step) {
    return static_cast<float>(double(clock) + step);
}

Clocks nextTick(Clocks c) {
    return {clockStep(c.spin, kSpinStep), clockStep(c.tilt, kTiltStep),
            clockStep(c.scroll, kScrollStep)};
}

Clocks clocksAtTick(long n) {
    Clocks c = {0, 0, 0};
    for (long i = 0; i < n; ++i) {
        c = nextTick(c);
    }
    return c;
}

void advanceClocks() {
    const Clocks c = nextTick({spinClock, tiltClock, scrollClock});
    spinClock = c.spin;
    tiltClock = c.tilt;
    scrollClock = c.scroll;
}

void onTick(int /*value*/) {
    advanceClocks();
    glutPostRedisplay();
    glutTimerFunc(kTickMilliseconds, onTick, 0);
    // The only place the keyboard callback is registered: keys pressed before the
    // first tick are not seen.
    glutKeyboardFunc(onKey);
}

void onKey(unsigned char key, int /*x*/, int /*y*/) {
    if (key == 27) {
        endDemo();
    }
}
