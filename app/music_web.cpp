// The music in a web page: "marrowby.ogg" from the preloaded file system, decoded
// by the browser's Web Audio and looped sample-exactly by it. Browsers hold audio
// back until the visitor clicks or presses a key; the runtime resumes it then.
#include "app/app.h"

#include <SDL/SDL_mixer.h>
#include <cstdio>
#include <cstdlib>

// A page outlives the program: without this the music would play on after Escape.
static void stopMusic() {
    Mix_HaltMusic();
}

// No audio driver prints anything in a page.
void quietAudioDriverMessages() {}

void startMusic() {
    // Without the file the demo runs silently, as on the desktop: the mixer would
    // log the missing file on the console and then fail on the empty handle.
    std::FILE* file = std::fopen("marrowby.ogg", "rb");
    if (!file) {
        return;
    }
    std::fclose(file);
    Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048);
    Mix_Music* music = Mix_LoadMUS("marrowby.ogg");
    if (!music) {
        return;
    }
    Mix_PlayMusic(music, -1);
    std::atexit(stopMusic);
}
