// The desktop's texture upload: desktop GL reads TGA's blue-first byte order as it
// is stored, into eight bits per channel.
#include "assets/assets.h"

PixelUpload preparePixelUpload(unsigned char* /*pixels*/, int /*width*/, int /*height*/,
                               int hasAlpha) {
    return hasAlpha == 1 ? PixelUpload{GL_RGBA8, GL_BGRA} : PixelUpload{GL_RGB8, GL_BGR};
}
