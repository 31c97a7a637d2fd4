// The music: "marrowby.ogg" streamed from the working directory, looping forever
// on the default output device. No result is examined: without a device or
// without the file the demo runs silently.
#include "app/app.h"

#include <SDL2/SDL_mixer.h>
#include <alsa/asoundlib.h>

// ALSA reports a missing sound card on stderr through its default handler; the
// demo's stderr carries only asset messages, so the handler says nothing.
static void quietAlsaError(const char*, int, const char*, int, const char*, ...) {}

void startMusic() {
    snd_lib_error_set_handler(quietAlsaError);
    Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048);
    // Mix_LoadMUS streams the file rather than decoding it whole; the handle is
    // used once, to start playback, and never released.
    Mix_PlayMusic(Mix_LoadMUS("marrowby.ogg"), -1);
}
