// The web's texture upload: WebGL takes neither blue-first pixel formats nor, on
// this path, a sized RGB8 internal format, so blue and red swap places in the
// loaded buffer and it goes up as plain RGB or RGBA.
#include "assets/assets.h"

#include <cstddef>

PixelUpload preparePixelUpload(unsigned char* pixels, int width, int height, int hasAlpha) {
    const std::size_t step = hasAlpha == 1 ? 4 : 3;
    // The loader has bounded width x height x step by the file's size.
    const std::size_t end = std::size_t(width) * std::size_t(height) * step;
    for (std::size_t p = 0; p < end; p += step) {
        const unsigned char blue = pixels[p];
        pixels[p] = pixels[p + 2];
        pixels[p + 2] = blue;
    }
    return hasAlpha == 1 ? PixelUpload{GL_RGBA, GL_RGBA} : PixelUpload{GL_RGB, GL_RGB};
}
