// The TGA loader: the header checks, and reading an uncompressed 24- or 32-bit
// true-colour image into a heap buffer, with a message on stderr for every refusal.
#include "assets/assets.h"

#include <cstdlib>
#include <sys/stat.h>

namespace {

constexpr size_t kHeaderBytes = 18;
// Where a stream's length cannot be known, the buffer starts this big and doubles
// as bytes arrive, so a header's claim never costs more than twice the data sent.
constexpr size_t kFirstChunk = 64 * 1024;

unsigned readU16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}

// The bytes left in `file` from its position on, or -1 when it is not a regular file
// (a pipe, a device, a memory stream) and its header cannot be held against its length.
int64_t bytesLeftInRegularFile(FILE* file) {
    int fd = fileno(file);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return -1;
    }
    off_t position = ftello(file);
    if (position < 0) {
        return -1;
    }
    return st.st_size > position ? int64_t(st.st_size - position) : 0;
}

// Reads `count` bytes of a stream whose length is unknown, growing the buffer only as
// the bytes arrive; null when they do not all arrive or memory runs out.
unsigned char* readGrowing(FILE* file, size_t count) {
    size_t capacity = count < kFirstChunk ? count : kFirstChunk;
    unsigned char* buffer = static_cast<unsigned char*>(std::malloc(capacity ? capacity : 1));
    size_t got = 0;
    while (buffer) {
        got += std::fread(buffer + got, 1, capacity - got, file);
        if (got == count) {
            return buffer;
        }
        if (got < capacity) {
            break; // the stream ended or failed
        }
        capacity = count - capacity < capacity ? count : capacity * 2;
        unsigned char* grown = static_cast<unsigned char*>(std::realloc(buffer, capacity));
        if (!grown) {
            break;
        }
        buffer = grown;
    }
    std::free(buffer);
    return nullptr;
}

} // namespace

TgaHeaderCheck checkTgaHeader(const unsigned char bytes[18], TgaHeader* out) {
    if (bytes[2] != 2) {
        return TgaNotTrueColour;
    }
    int hasAlpha;
    if (bytes[16] == 32) {
        hasAlpha = 1;
    } else if (bytes[16] == 24) {
        hasAlpha = 0;
    } else {
        return TgaBadPixelDepth;
    }
    // Entries narrower than a byte count as no colour map; Color Map Type is not trusted
    // either way.
    if (readU16(bytes + 5) * (bytes[7] / 8) > 0) {
        return TgaColourMapped;
    }
    out->idLength = bytes[0];
    out->width = int(readU16(bytes + 12));
    out->height = int(readU16(bytes + 14));
    out->hasAlpha = hasAlpha;
    return TgaHeaderOk;
}

uint64_t tgaImageBytes(const TgaHeader& header) {
    // 65535 x 65535 x 4 needs 35 bits.
    return uint64_t(header.width) * uint64_t(header.height) * (header.hasAlpha ? 4u : 3u);
}

unsigned char* readTga(FILE* file, const char* path, int* width, int* height, int* hasAlpha) {
    unsigned char bytes[kHeaderBytes];
    if (std::fread(bytes, 1, kHeaderBytes, file) < kHeaderBytes) {
        std::fprintf(stderr, "%s has incomplete tga header\n", path);
        return nullptr;
    }
    TgaHeader header;
    switch (checkTgaHeader(bytes, &header)) {
    case TgaNotTrueColour:
        std::fprintf(stderr, "%s is not an uncompressed RGB tga file\n", path);
        return nullptr;
    case TgaBadPixelDepth:
        std::fprintf(stderr, "%s is not 24/32-bit uncompressed RGB/A tga file.\n", path);
        return nullptr;
    case TgaColourMapped:
        std::fprintf(stderr, "%s is colormapped, cannot handle that.\n", path);
        return nullptr;
    case TgaHeaderOk:
        break;
    }
    uint64_t count = tgaImageBytes(header);

    // A header may claim up to 17 GB: hold the claim against what the file holds before
    // asking for any memory. A file that ends early, inside its Image ID included, is
    // incomplete whatever its size claims.
    int64_t left = bytesLeftInRegularFile(file);
    if ((left >= 0 && uint64_t(left) < uint64_t(header.idLength) + count) ||
        count != uint64_t(size_t(count))) {
        std::fprintf(stderr, "%s has incomplete image\n", path);
        return nullptr;
    }
    // The Image ID is read and dropped rather than seeked over: a pipe cannot seek.
    unsigned char imageId[255];
    if (std::fread(imageId, 1, size_t(header.idLength), file) < size_t(header.idLength)) {
        std::fprintf(stderr, "%s has incomplete image\n", path);
        return nullptr;
    }

    unsigned char* pixels;
    if (left >= 0) {
        // At least one byte, so that an empty image is a buffer and not a failure.
        pixels = static_cast<unsigned char*>(std::malloc(count ? size_t(count) : 1));
        if (pixels && std::fread(pixels, 1, size_t(count), file) < count) {
            std::free(pixels);
            pixels = nullptr;
        }
    } else {
        pixels = readGrowing(file, size_t(count));
    }
    if (!pixels) {
        std::fprintf(stderr, "%s has incomplete image\n", path);
        return nullptr;
    }
    *width = header.width;
    *height = header.height;
    *hasAlpha = header.hasAlpha;
    return pixels;
}

unsigned char* loadTga(const char* path, int* width, int* height, int* hasAlpha) {
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::fprintf(stderr, "Unable to open %s for reading\n", path);
        return nullptr;
    }
    unsigned char* pixels = readTga(file, path, width, height, hasAlpha);
    std::fclose(file);
    return pixels;
}
