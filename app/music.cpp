// The music: "marrowby.ogg" streamed from the working directory, looping forever
// on the default output device. No result is examined: without a device or
// without the file the demo runs silently.
#include "app/app.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

void startMusic() {
    quietAudioDriverMessages();
    // Starting SDL's audio would otherwise install SIGINT and SIGTERM handlers that
    // turn the signals into quit events nobody reads: Ctrl+C and kill must end the
    // demo as they end any console program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048);
    // Mix_LoadMUS streams the file rather than decoding it whole; the handle is
    // used once, to start playback, and never released.
    Mix_PlayMusic(Mix_LoadMUS("marrowby.ogg"), -1);
}
