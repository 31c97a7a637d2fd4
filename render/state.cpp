// The frame's inputs, defined beside the frame that reads them. Writers: start-up
// (renderResources, once) and the timer (the clocks, once a tick), both in app/.
#include "render/state.h"

RenderResources renderResources;

float spinClock = 0;
float tiltClock = 0;
float scrollClock = 0;
