// The whole-file reader behind the shader builder: one binary read of a file's
// full length into a heap buffer with a NUL after it. A file it cannot read whole
// ends the process silently with status -1.
#include "assets/assets.h"

#include <cstdio>
#include <cstdlib>

char* readWholeFile(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::exit(-1);
    }
    // A stream that cannot seek (a pipe) has no length: ftell's -1 would otherwise
    // become a 0-byte buffer and a read request of SIZE_MAX bytes into it.
    if (std::fseek(file, 0, SEEK_END) != 0) {
        std::exit(-1);
    }
    long end = std::ftell(file);
    if (end < 0) {
        std::exit(-1);
    }
    size_t length = static_cast<size_t>(end);
    char* buffer = static_cast<char*>(std::malloc(length + 1));
    if (!buffer || std::fseek(file, 0, SEEK_SET) != 0) {
        std::exit(-1);
    }
    // Failures end the process at once: the exit reclaims the file and the buffer.
    if (std::fread(buffer, 1, length, file) != length) {
        std::exit(-1);
    }
    std::fclose(file);
    buffer[length] = '\0';
    return buffer;
}
