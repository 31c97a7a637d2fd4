// A lost WebGL context in a web page. Browsers take a page's context away when a
// phone switches apps or runs short of memory, or a desktop sleeps or updates its
// driver, and give it back only to a page that asks for that. While it is gone
// nothing is drawn (the timer and the music go on); when it comes back every GL
// resource is made again by start-up's own createGlResources, from the files still
// in the in-memory file system, and the next tick draws with the clocks where they
// stand. Nothing calls in here: the watch is set up before main, on the canvas the
// page hands the program, and the page hears of it through
// Module.onGlContext("lost" | "restored").
#include "app/app.h"

#include <emscripten/emscripten.h>

// Called from the restore handler below, inside the module's JavaScript.
extern "C" EMSCRIPTEN_KEEPALIVE void webRemakeGlResources() {
    createGlResources();
}

// clang-format off
EM_JS(void, webWatchGlContext, (), {
    const canvas = Module.canvas;
    if (!canvas) return;
    let lost = false;
    function report(now) {
        if (Module.onGlContext) Module.onGlContext(now);
    }
    // A frame skipped here is not drawn; the timer keeps asking for the next one,
    // which draws once the context is back and made again. The context is gone a
    // moment before the browser says so: a frame in between would only draw into
    // nothing.
    const before = Module.preMainLoop;
    Module.preMainLoop = () => !lost && !(Module.ctx && Module.ctx.isContextLost()) &&
                               (!before || before() !== false);
    canvas.addEventListener("webglcontextlost", (event) => {
        event.preventDefault(); // without it the browser never gives the context back
        if (lost) return;
        lost = true;
        report("lost");
    });
    canvas.addEventListener("webglcontextrestored", () => {
        if (!lost || typeof GL === "undefined" || !GL.currentContext) return;
        // The tables still map the old names to objects of the lost context. New
        // names come from a counter that never goes back, so they cannot meet the
        // old ones; the old ones are dropped so that none of them reaches the new
        // context, where WebGL would refuse it.
        for (const table of [GL.buffers, GL.textures, GL.programs, GL.shaders, GL.framebuffers,
                             GL.renderbuffers, GL.vaos, GL.queries, GL.samplers,
                             GL.transformFeedbacks, GL.syncs]) {
            if (table) table.fill(null);
        }
        // What the layer remembers of the old context's state: the new one starts
        // at WebGL's defaults. A stale pixel buffer binding would turn the texture
        // uploads' pointers into buffer offsets.
        const ctx = GL.currentContext.GLctx;
        ctx.currentProgram = null;
        ctx.currentArrayBufferBinding = ctx.currentElementArrayBufferBinding = 0;
        ctx.currentPixelPackBufferBinding = ctx.currentPixelUnpackBufferBinding = 0;
        GL.unpackAlignment = 4;
        GL.lastError = 0;
        // Extensions belong to a context: the new one has none enabled yet.
        GL.currentContext.initExtensionsDone = false;
        if (GL.initExtensions) GL.initExtensions(GL.currentContext);
        lost = false;
        // A shader that no longer builds ends the program (status -1), as at start-up.
        callUserCallback(_webRemakeGlResources);
        if (!ABORT) report("restored");
    });
});
// clang-format on

namespace {
// Before main: the context is made later, and the listeners must be there first.
[[maybe_unused]] const bool watching = (webWatchGlContext(), true);
} // namespace
