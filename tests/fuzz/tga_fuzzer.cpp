// libFuzzer harness for the TGA loader. Each input is loaded twice: as a regular file,
// whose length is known before anything is allocated, and as a memory stream, which is
// read as the bytes arrive. Both must agree with a small model of what the loader
// accepts, and an accepted image must be exactly the bytes after the header and ID.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "assets/assets.h"

namespace {

// One scratch file per fuzzing process, rewritten for every input.
int scratchFd = -1;
std::string scratchPath;

void removeScratch() {
    unlink(scratchPath.c_str());
}

void writeScratch(const uint8_t* data, size_t size) {
    if (scratchFd < 0) {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        scratchPath = std::string(dir) + "/tga-fuzz-XXXXXX";
        scratchFd = mkstemp(scratchPath.data());
        if (scratchFd < 0) {
            std::abort();
        }
        std::atexit(removeScratch);
    }
    if (ftruncate(scratchFd, 0) != 0 ||
        (size && pwrite(scratchFd, data, size, 0) != ssize_t(size))) {
        std::abort();
    }
}

unsigned u16(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}

// What a loader must make of these bytes: whether it accepts them, and if so where the
// pixels start and how many bytes they are.
bool modelAccepts(const uint8_t* d, size_t size, size_t* offset, uint64_t* count) {
    if (size < 18 || d[2] != 2 || (d[16] != 24 && d[16] != 32) || u16(d + 5) * (d[7] / 8) > 0) {
        return false;
    }
    *offset = 18 + size_t(d[0]);
    *count = uint64_t(u16(d + 12)) * u16(d + 14) * (d[16] / 8);
    return uint64_t(size) >= *offset + *count;
}

void expectSame(unsigned char* pixels, int w, int h, int alpha, bool accepted, const uint8_t* data,
                size_t offset, uint64_t count) {
    if ((pixels != nullptr) != accepted) {
        std::abort();
    }
    if (!pixels) {
        return;
    }
    if (w != int(u16(data + 12)) || h != int(u16(data + 14)) || alpha != (data[16] == 32 ? 1 : 0) ||
        (count && std::memcmp(pixels, data + offset, count))) {
        std::abort();
    }
    std::free(pixels);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t offset = 0;
    uint64_t count = 0;
    bool accepted = modelAccepts(data, size, &offset, &count);

    writeScratch(data, size);
    int w = -1, h = -1, alpha = -1;
    unsigned char* pixels = loadTga(scratchPath.c_str(), &w, &h, &alpha);
    expectSame(pixels, w, h, alpha, accepted, data, offset, count);

    // fmemopen refuses an empty buffer; the file above covered that case.
    if (size > 0) {
        FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
        if (!stream) {
            std::abort();
        }
        pixels = readTga(stream, "memory", &w, &h, &alpha);
        std::fclose(stream);
        expectSame(pixels, w, h, alpha, accepted, data, offset, count);
    }
    return 0;
}
