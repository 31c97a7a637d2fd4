// Linux's part of the music: ALSA reports a missing sound card on stderr through its
// default handler, and the demo's stderr carries only asset messages.
#include "app/app.h"

#include <alsa/asoundlib.h>

static void quietAlsaError(const char*, int, const char*, int, const char*, ...) {}

void quietAudioDriverMessages() {
    snd_lib_error_set_handler(quietAlsaError);
}
