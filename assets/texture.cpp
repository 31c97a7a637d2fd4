// Textures: a GL 2D texture made of each TGA image, or texture name 0 when the
// file cannot be used.
#include "assets/assets.h"

#include <cstdlib>

GLuint loadTexture(const char* path) {
    int width, height, hasAlpha;
    unsigned char* pixels = loadTga(path, &width, &height, &hasAlpha);
    if (!pixels) {
        std::fprintf(stderr, "Image loading failed: %s\n", path);
        return 0;
    }
    GLuint texture;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // The buffer's rows are packed tight. At GL's default 4-byte row alignment a 24-bit
    // row whose width is not a multiple of 4 would be read with padding that isn't
    // there, skewing the rows and running past the end of the buffer; so the upload
    // uses alignment 1 (the same as 4 for 32-bit rows) and leaves the caller's value.
    GLint alignment;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const PixelUpload upload = preparePixelUpload(pixels, width, height, hasAlpha);
    glTexImage2D(GL_TEXTURE_2D, 0, upload.internalFormat, width, height, 0, upload.format,
                 GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    std::free(pixels);
    return texture;
}
