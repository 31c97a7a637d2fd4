// TGA files for the loader's tests: header bytes built field by field, pixels with
// distinct values, and scratch files holding them. Shared by the unit and GL tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using Bytes = std::vector<unsigned char>;

struct TgaFields {
    int idLength = 0;
    int colorMapType = 0;
    int imageType = 2;
    int colorMapLength = 0;
    int colorMapEntrySize = 0;
    int width = 0;
    int height = 0;
    int pixelDepth = 32;
    int descriptor = 8;
};

// An image's fields, the rest as a plain file has them (no ID, no colour map).
inline TgaFields tgaImage(int width, int height, int depth = 32, int idLength = 0) {
    TgaFields f;
    f.width = width;
    f.height = height;
    f.pixelDepth = depth;
    f.idLength = idLength;
    return f;
}

// The same fields with another Image Type, or a colour map of `length` entries of `entryBits`.
inline TgaFields withType(TgaFields f, int type) {
    f.imageType = type;
    return f;
}
inline TgaFields withColourMap(TgaFields f, int mapType, int length, int entryBits) {
    f.colorMapType = mapType;
    f.colorMapLength = length;
    f.colorMapEntrySize = entryBits;
    return f;
}
inline TgaFields withDescriptor(TgaFields f, int descriptor) {
    f.descriptor = descriptor;
    return f;
}

inline void putU16(Bytes& b, size_t at, int v) {
    b[at] = uint8_t(v & 0xFF);
    b[at + 1] = uint8_t((v >> 8) & 0xFF);
}

// The 18 header bytes, every field where the TGA standard puts it.
inline Bytes tgaHeader(const TgaFields& f) {
    Bytes b(18, 0);
    b[0] = uint8_t(f.idLength);
    b[1] = uint8_t(f.colorMapType);
    b[2] = uint8_t(f.imageType);
    putU16(b, 3, 0x1234); // First Entry Index: never examined
    putU16(b, 5, f.colorMapLength);
    b[7] = uint8_t(f.colorMapEntrySize);
    putU16(b, 8, 7); // origins: never examined
    putU16(b, 10, 9);
    putU16(b, 12, f.width);
    putU16(b, 14, f.height);
    b[16] = uint8_t(f.pixelDepth);
    b[17] = uint8_t(f.descriptor);
    return b;
}

// Pixel bytes for a w x h image, each byte distinct from its neighbours and rows
// distinct from each other, so any shift, skew or row swap shows.
inline Bytes tgaPixels(int w, int h, int bytesPerPixel, unsigned seed = 1) {
    Bytes p(size_t(w) * size_t(h) * size_t(bytesPerPixel));
    for (size_t i = 0; i < p.size(); ++i) {
        p[i] = uint8_t((i * 37 + seed * 101 + i / 7) & 0xFF);
    }
    return p;
}

// A whole file: header, an Image ID of 0xEE bytes, the pixels and anything after them.
inline Bytes tgaFile(const TgaFields& f, const Bytes& pixels, const Bytes& trailer = {}) {
    Bytes b = tgaHeader(f);
    b.insert(b.end(), size_t(f.idLength), 0xEE);
    b.insert(b.end(), pixels.begin(), pixels.end());
    b.insert(b.end(), trailer.begin(), trailer.end());
    return b;
}

// A scratch directory for one test program, removed with its files at exit.
inline const std::string& tgaScratchDir() {
    static std::string dir = [] {
        char tmpl[] = "/tmp/marrowby-tga-XXXXXX";
        std::string d = mkdtemp(tmpl);
        static std::string forCleanup = d;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(forCleanup, ignored);
        });
        return d;
    }();
    return dir;
}

// Writes `bytes` to a scratch file called `name` and returns its path.
inline std::string writeScratch(const std::string& name, const Bytes& bytes) {
    std::string path = tgaScratchDir() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        if (!bytes.empty()) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
        }
        std::fclose(f);
    }
    return path;
}

// Calls read(stream) on the read end of a pipe while a thread writes `bytes` into it
// and closes it, and returns what read returned.
template <typename Read> auto readThroughPipe(const Bytes& bytes, Read read) {
    int fds[2] = {-1, -1};
    if (pipe(fds) != 0) {
        std::abort();
    }
    std::thread writer([&] {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(fds[1], bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                break;
            }
            done += size_t(n);
        }
        close(fds[1]);
    });
    FILE* stream = fdopen(fds[0], "rb");
    auto result = read(stream);
    writer.join();
    std::fclose(stream);
    return result;
}
