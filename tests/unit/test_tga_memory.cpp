// Hostile TGA headers: a few bytes claiming gigabytes of pixels must be refused as
// incomplete without the loader ever asking for more memory than the file could fill.
// Every request to the allocator is watched (tests/lib/alloc_hook.cpp).
#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

#include "assets/assets.h"
#include "alloc_hook.h"
#include "tga_files.h"

namespace {

// More than stdio's own buffers and the loader's first chunk for a stream, far less
// than any of the hostile claims.
constexpr size_t kCap = 1 << 20;

struct Outcome {
    bool loaded;
    std::string err;
    size_t largest;
};

// Runs `load` (a loadTga or readTga call that returns the buffer) while watching the
// allocator; the buffer is freed afterwards.
template <typename Load> Outcome watch(Load load) {
    testing::internal::CaptureStderr();
    startCountingAllocations();
    unsigned char* pixels = load();
    stopCountingAllocations();
    Outcome o{pixels != nullptr, testing::internal::GetCapturedStderr(),
              largestAllocationRequest()};
    std::free(pixels);
    return o;
}

Outcome watchFile(const std::string& path) {
    return watch([&] {
        int w, h, a;
        return loadTga(path.c_str(), &w, &h, &a);
    });
}

Outcome watchPipe(const Bytes& bytes) {
    return readThroughPipe(bytes, [](FILE* f) {
        return watch([&] {
            int w, h, a;
            return readTga(f, "pipe.tga", &w, &h, &a);
        });
    });
}

// A header claiming a huge image, followed by a few bytes of pixels: 30 bytes in all
// unless `total` says otherwise.
Bytes hostile(int w, int h, int depth, size_t total = 30) {
    Bytes b = tgaHeader(tgaImage(w, h, depth));
    b.resize(total, 0x5A);
    return b;
}

// The watch itself: a large image that really is there must show up in full, or the
// hostile cases below would pass for want of seeing anything.
TEST(TgaMemory, TheWatchSeesTheLoadersBuffer) {
    Bytes p = tgaPixels(700, 600, 4);
    Bytes file = tgaFile(tgaImage(700, 600), p);
    Outcome o = watchFile(writeScratch("big.tga", file));
    EXPECT_TRUE(o.loaded) << o.err;
    EXPECT_GE(o.largest, p.size());
    EXPECT_LE(o.largest, file.size());
    // Through a pipe the buffer grows to the image as it arrives, never past it.
    o = watchPipe(file);
    EXPECT_TRUE(o.loaded) << o.err;
    EXPECT_GE(o.largest, p.size());
    EXPECT_LE(o.largest, p.size());
}

TEST(TgaMemory, HugeClaimsInSmallFilesAreIncompleteWithoutAllocating) {
    struct Case {
        int w, h, depth;
        size_t total;
    } cases[] = {
        {65535, 65535, 24, 30},    // 12.9 GB claimed
        {65535, 65535, 32, 30},    // 17.2 GB
        {32768, 32768, 32, 30},    // exactly 4 GiB: 0 in 32-bit arithmetic
        {32768, 32768, 32, 18},    // the same with no pixel bytes at all
        {65535, 65535, 32, 70000}, // more than the first chunk a stream gets
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.w << "x" << c.h << "x" << c.depth << " in " << c.total << " bytes");
        Bytes b = hostile(c.w, c.h, c.depth, c.total);
        std::string path = writeScratch("hostile.tga", b);
        Outcome o = watchFile(path);
        EXPECT_FALSE(o.loaded);
        EXPECT_EQ(o.err, path + " has incomplete image\n");
        EXPECT_LE(o.largest, kCap);

        // A pipe cannot be measured in advance: the buffer may only grow with the data.
        o = watchPipe(b);
        EXPECT_FALSE(o.loaded);
        EXPECT_EQ(o.err, "pipe.tga has incomplete image\n");
        EXPECT_LE(o.largest, std::max<size_t>(2 * c.total, 64 * 1024));
    }
}

TEST(TgaMemory, AFileOneByteShortOfAClaimIsNotAllocated) {
    // 40000 x 10 x 4 = 1.6 MB claimed, one byte missing: nothing of that size is asked for.
    Bytes p = tgaPixels(40000, 10, 4);
    Bytes file = tgaFile(tgaImage(40000, 10, 32, 5), p);
    file.pop_back();
    std::string path = writeScratch("short-by-one.tga", file);
    Outcome o = watchFile(path);
    EXPECT_FALSE(o.loaded);
    EXPECT_EQ(o.err, path + " has incomplete image\n");
    EXPECT_LT(o.largest, p.size());
}

} // namespace
