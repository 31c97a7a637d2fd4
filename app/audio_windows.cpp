// Windows' part of the music: its audio drivers report failures through SDL's own
// error state, never on stderr, so there is nothing to quiet.
#include "app/app.h"

void quietAudioDriverMessages() {}
