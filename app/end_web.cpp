// Ending the demo in a web page: exit() alone would only unwind the key handler
// while the re-armed timer and the animation frames kept drawing, so the whole
// runtime is ended. That runs the atexit handlers (the music stops) and hands
// status 0 to the page's onExit.
#include "app/app.h"

#include <emscripten/emscripten.h>

void endDemo() {
    emscripten_force_exit(0);
}
