// The music in a web page. It is not in the preloaded package: the first frame
// waits only for the program, the shaders and the images. marrowby.ogg is fetched
// on its own when the program starts, decoded by the browser's Web Audio and looped
// sample-exactly by it once it has arrived and the visitor has clicked, tapped or
// pressed a key (browsers hold audio back until then). Until then, and for good when
// it cannot arrive or cannot be decoded, the demo runs silently, as it does on the
// desktop without a sound device.
//
// The loop plays through a gain: the visitor's sound control (webMusic.setMuted)
// turns it to 0 and back, and the loop keeps its place. A visitor who chose silence
// (Module.musicMuted before the program starts) is not waited for: clicks and keys
// start nothing until the control turns the sound on. While the page is hidden the
// audio context is suspended; shown again it is resumed, and where the browser wants
// a gesture for that (or the system interrupted the audio session) the music waits
// for one again.
//
// The page hears how things stand through Module.onMusic(state, settled):
//   "asks"    sound can still come and waits for a click, a tap or a key
//   "coming"  the visitor has asked; the music is still on its way
//   "playing" the loop has started
//   "none"    no sound: the file did not arrive, could not be decoded, or the
//             browser has no Web Audio
//   "ended"   the demo has ended and the music with it
// settled is true once the download has finished either way.
#include "app/app.h"

#include <emscripten/emscripten.h>
#include <cstdlib>

// clang-format off
EM_JS(void, webMusicStart, (), {
    const Context = window.AudioContext || window.webkitAudioContext;
    const music = Module.webMusic = {
        context: null, gain: null, buffer: null, source: null, asked: false, settled: false,
        ended: false, muted: !!Module.musicMuted, state: "asks"
    };
    const events = ["pointerdown", "pointerup", "touchend", "click", "keydown"];
    function report(state) {
        music.state = state;
        if (Module.onMusic) Module.onMusic(state, music.settled);
    }
    function play() {
        if (!music.buffer || !music.context || music.source || music.ended) return;
        music.gain = music.context.createGain();
        music.gain.gain.value = music.muted ? 0 : 1;
        music.gain.connect(music.context.destination);
        const source = music.source = music.context.createBufferSource();
        source.buffer = music.buffer;
        source.loop = true;
        source.connect(music.gain);
        source.start();
        report("playing");
    }
    // Resumes a suspended or interrupted context. Outside a gesture a browser may
    // refuse; then the music asks for a click or a tap again.
    function wake() {
        const context = music.context;
        if (!context || music.ended || document.hidden || context.state === "running") return;
        context.resume().catch(() => {}).then(() => {
            if (context.state !== "running" && !music.muted && !music.ended && !document.hidden &&
                music.source) report("asks");
        });
    }
    function ask(event) {
        if (music.ended || music.muted || (event.type === "keydown" && event.key === "Escape"))
            return;
        // The sound control's own presses: turning the sound off must not start it first.
        const control = Module.soundControl;
        if (!control || !(event.target instanceof Node) || !control.contains(event.target))
            start();
    }
    function start() {
        music.asked = true;
        // Created and resumed inside the visitor's own gesture, which is when
        // browsers let it sound.
        if (!music.context) {
            music.context = new Context();
            music.context.addEventListener("statechange", () => {
                if (music.ended) return;
                if (music.context.state === "running" && music.source) report("playing");
                else if (music.context.state === "interrupted" || !document.hidden) wake();
            });
        }
        if (document.hidden) return;
        if (music.context.state !== "running") music.context.resume().catch(() => {});
        if (music.buffer) {
            if (music.source) report("playing");
            else play();
        } else if (music.state === "asks") report("coming");
    }
    music.setMuted = function (muted) {
        music.muted = !!muted;
        if (music.gain) music.gain.gain.value = music.muted ? 0 : 1;
        // Turned on by a click, a tap or a key: that gesture lets the sound start.
        if (!music.muted && !music.ended && music.state !== "none") start();
    };
    document.addEventListener("visibilitychange", () => {
        if (!music.context || music.ended) return;
        if (document.hidden) music.context.suspend().catch(() => {});
        else wake();
    });
    // A page taken from the back-forward cache shows again without a visibility
    // change in some browsers.
    window.addEventListener("pageshow", (event) => { if (event.persisted) wake(); });
    music.stop = function () {
        music.ended = true;
        for (const e of events) window.removeEventListener(e, ask, true);
        if (music.source) music.source.stop();
        if (music.context) music.context.close().catch(() => {});
        report("ended");
    };
    function silent() {
        music.settled = true;
        if (!music.ended) report("none");
    }
    if (!Context || !window.OfflineAudioContext || !window.fetch) {
        silent();
        return;
    }
    for (const e of events) window.addEventListener(e, ask, true);
    report("asks");
    fetch("marrowby.ogg")
        .then(response => {
            if (!response.ok) throw new Error("marrowby.ogg: HTTP " + response.status);
            return response.arrayBuffer();
        })
        // Decoded without a running audio context, which only a gesture may start.
        .then(data => new OfflineAudioContext(2, 1, 44100).decodeAudioData(data))
        .then(buffer => {
            music.buffer = buffer;
            music.settled = true;
            if (music.ended) return;
            if (music.asked) play();
            else report("asks");
        })
        .catch(error => {
            for (const e of events) window.removeEventListener(e, ask, true);
            console.warn("marrowby: the demo runs silently:", error.message || error);
            silent();
        });
});

EM_JS(void, webMusicStop, (), {
    if (Module.webMusic) Module.webMusic.stop();
});
// clang-format on

// A page outlives the program: without this the music would play on after Escape.
static void stopMusic() {
    webMusicStop();
}

// No audio driver prints anything in a page.
void quietAudioDriverMessages() {}

void startMusic() {
    webMusicStart();
    std::atexit(stopMusic);
}
