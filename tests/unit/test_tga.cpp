// The TGA loader without GL: the header checks as a pure function, each message of
// the real loader on real files, the layouts it must read right, and streams whose
// length cannot be known in advance (pipes, named pipes, memory).
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

#include "assets/assets.h"
#include "tga_files.h"

namespace {

TgaHeaderCheck check(const TgaFields& f, TgaHeader* out = nullptr) {
    TgaHeader ignored;
    return checkTgaHeader(tgaHeader(f).data(), out ? out : &ignored);
}

TEST(TgaHeaderChecks, AcceptsUncompressedTrueColour24And32) {
    TgaHeader h;
    ASSERT_EQ(check(tgaImage(300, 2, 32, 20), &h), TgaHeaderOk);
    EXPECT_EQ(h.idLength, 20);
    EXPECT_EQ(h.width, 300);
    EXPECT_EQ(h.height, 2);
    EXPECT_EQ(h.hasAlpha, 1);
    ASSERT_EQ(check(tgaImage(1, 65535, 24), &h), TgaHeaderOk);
    EXPECT_EQ(h.idLength, 0);
    EXPECT_EQ(h.height, 65535);
    EXPECT_EQ(h.hasAlpha, 0);
}

TEST(TgaHeaderChecks, FieldsAreLittleEndianUnsigned) {
    Bytes b = tgaHeader(tgaImage(1, 1));
    b[12] = 0x40;
    b[13] = 0x9C;
    b[14] = 0xFF;
    b[15] = 0xFF;
    b[0] = 0xFF;
    TgaHeader h;
    ASSERT_EQ(checkTgaHeader(b.data(), &h), TgaHeaderOk);
    EXPECT_EQ(h.width, 40000);
    EXPECT_EQ(h.height, 65535);
    EXPECT_EQ(h.idLength, 255);
}

TEST(TgaHeaderChecks, RefusesEveryImageTypeButTwo) {
    for (int type : {0, 1, 3, 9, 10, 11, 32, 33, 130, 255}) {
        EXPECT_EQ(check(withType(tgaImage(1, 1), type)), TgaNotTrueColour) << type;
    }
    // The type is checked first: a bad depth and a colour map do not change the answer.
    EXPECT_EQ(check(withColourMap(withType(tgaImage(1, 1, 16), 10), 1, 256, 24)), TgaNotTrueColour);
}

TEST(TgaHeaderChecks, RefusesEveryDepthButTwentyFourAndThirtyTwo) {
    for (int depth : {0, 1, 8, 15, 16, 23, 25, 31, 33, 48, 64, 255}) {
        EXPECT_EQ(check(tgaImage(1, 1, depth)), TgaBadPixelDepth) << depth;
    }
    // The depth comes before the colour map.
    EXPECT_EQ(check(withColourMap(tgaImage(1, 1, 8), 1, 256, 24)), TgaBadPixelDepth);
}

TEST(TgaHeaderChecks, RefusesAColourMapOfNonzeroSizeWhateverItsType) {
    EXPECT_EQ(check(withColourMap(tgaImage(1, 1), 1, 256, 24)), TgaColourMapped);
    EXPECT_EQ(check(withColourMap(tgaImage(1, 1), 0, 1, 8)), TgaColourMapped);
    EXPECT_EQ(check(withColourMap(tgaImage(1, 1), 0, 65535, 255)), TgaColourMapped);
    // No bytes of colour map: no entries, or entries narrower than a byte.
    EXPECT_EQ(check(withColourMap(tgaImage(1, 1), 1, 0, 24)), TgaHeaderOk);
    EXPECT_EQ(check(withColourMap(tgaImage(1, 1), 1, 256, 7)), TgaHeaderOk);
}

TEST(TgaHeaderChecks, LeavesTheOutputAloneOnFailure) {
    TgaHeader h{-1, -2, -3, -4};
    EXPECT_EQ(check(withType(tgaImage(5, 1), 1), &h), TgaNotTrueColour);
    EXPECT_EQ(check(tgaImage(5, 1, 16), &h), TgaBadPixelDepth);
    EXPECT_EQ(check(withColourMap(tgaImage(5, 1), 0, 1, 8), &h), TgaColourMapped);
    EXPECT_EQ(h.idLength, -1);
    EXPECT_EQ(h.width, -2);
}

TEST(TgaHeaderChecks, ImageSizeNeedsSixtyFourBits) {
    EXPECT_EQ(tgaImageBytes({0, 65535, 65535, 1}), 17179344900ull);
    EXPECT_EQ(tgaImageBytes({0, 65535, 65535, 0}), 12884508675ull);
    EXPECT_EQ(tgaImageBytes({0, 32768, 32768, 1}), 4294967296ull); // 0 in 32 bits
    EXPECT_EQ(tgaImageBytes({0, 7, 3, 0}), 63u);
    EXPECT_EQ(tgaImageBytes({0, 0, 65535, 1}), 0u);
}

// One call of the real loader: what it returned and what it printed.
struct Loaded {
    unsigned char* pixels;
    int width = -1, height = -1, hasAlpha = -1;
    std::string err;
};

Loaded load(const std::string& path) {
    Loaded r;
    testing::internal::CaptureStderr();
    r.pixels = loadTga(path.c_str(), &r.width, &r.height, &r.hasAlpha);
    r.err = testing::internal::GetCapturedStderr();
    return r;
}

// Expects a refusal with exactly the one line `message`, %s being the path as passed.
void expectRefused(const std::string& path, const char* message) {
    Loaded r = load(path);
    EXPECT_EQ(r.pixels, nullptr) << path;
    std::free(r.pixels);
    char expected[512];
    std::snprintf(expected, sizeof expected, message, path.c_str());
    EXPECT_EQ(r.err, expected);
}

void expectLoaded(const std::string& path, const TgaFields& f, const Bytes& pixels) {
    Loaded r = load(path);
    ASSERT_NE(r.pixels, nullptr) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.width, f.width);
    EXPECT_EQ(r.height, f.height);
    EXPECT_EQ(r.hasAlpha, f.pixelDepth == 32 ? 1 : 0);
    EXPECT_EQ(Bytes(r.pixels, r.pixels + pixels.size()), pixels);
    std::free(r.pixels);
}

TEST(LoadTga, EachRefusalPrintsItsOwnMessage) {
    const TgaFields ok = tgaImage(3, 2, 24);
    const Bytes good = tgaFile(ok, tgaPixels(3, 2, 3));

    expectRefused(tgaScratchDir() + "/no-such-file.tga", "Unable to open %s for reading\n");
    expectRefused(tgaScratchDir(), "%s has incomplete tga header\n"); // a directory opens
    expectRefused(writeScratch("empty.tga", {}), "%s has incomplete tga header\n");
    expectRefused(writeScratch("short.tga", Bytes(good.begin(), good.begin() + 17)),
                  "%s has incomplete tga header\n");
    for (int type : {10, 1, 3}) {
        expectRefused(writeScratch("type.tga", tgaFile(withType(ok, type), tgaPixels(3, 2, 3))),
                      "%s is not an uncompressed RGB tga file\n");
    }
    for (int depth : {8, 15, 16}) {
        TgaFields f = ok;
        f.pixelDepth = depth;
        expectRefused(writeScratch("depth.tga", tgaFile(f, tgaPixels(3, 2, 3))),
                      "%s is not 24/32-bit uncompressed RGB/A tga file.\n");
    }
    TgaFields mapped = withColourMap(ok, 1, 256, 24);
    expectRefused(writeScratch("mapped.tga", tgaFile(mapped, Bytes(768 + 18, 0))),
                  "%s is colormapped, cannot handle that.\n");
    expectRefused(writeScratch("cut.tga", Bytes(good.begin(), good.end() - 1)),
                  "%s has incomplete image\n");
    // Only the header: no pixels at all.
    expectRefused(writeScratch("headeronly.tga", tgaHeader(ok)), "%s has incomplete image\n");
}

TEST(LoadTga, AFileEndingInsideItsImageIdIsIncomplete) {
    TgaFields f = tgaImage(2, 1, 32, 20);
    Bytes b = tgaFile(f, tgaPixels(2, 1, 4));
    expectRefused(writeScratch("id.tga", Bytes(b.begin(), b.begin() + 18 + 10)),
                  "%s has incomplete image\n");
    // Even when the image itself is empty: the file still ends before its image data.
    f.width = 0;
    b = tgaFile(f, {});
    expectRefused(writeScratch("id0.tga", Bytes(b.begin(), b.end() - 1)),
                  "%s has incomplete image\n");
}

TEST(LoadTga, ReadsPixelsAsStored) {
    for (int depth : {24, 32}) {
        for (int descriptor : {0, 8, 0x20, 0x28}) { // never examined: alpha bits, origin
            TgaFields f = withDescriptor(tgaImage(5, 3, depth), descriptor);
            Bytes p = tgaPixels(5, 3, depth / 8, unsigned(descriptor));
            expectLoaded(writeScratch("ok.tga", tgaFile(f, p)), f, p);
        }
    }
}

TEST(LoadTga, SkipsTheImageIdAndIgnoresAFooter) {
    TgaFields f = tgaImage(4, 2, 32, 20);
    Bytes p = tgaPixels(4, 2, 4);
    Bytes file = tgaFile(f, p);
    ASSERT_EQ(Bytes(file.begin() + 38, file.begin() + 38 + 32), p);
    expectLoaded(writeScratch("id20.tga", file), f, p);

    Bytes footer(26, 0);
    std::memcpy(footer.data() + 8, "TRUEVISION-XFILE.", 18);
    expectLoaded(writeScratch("footer.tga", tgaFile(f, p, footer)), f, p);
    expectLoaded(writeScratch("long.tga", tgaFile(f, p, Bytes(100000, 0x55))), f, p);
    // A colour map of zero bytes is accepted; it adds nothing to the layout.
    TgaFields g = withColourMap(tgaImage(2, 2), 1, 0, 24);
    expectLoaded(writeScratch("cm0.tga", tgaFile(g, tgaPixels(2, 2, 4))), g, tgaPixels(2, 2, 4));
}

TEST(LoadTga, AnEmptyImageIsASuccessWithABuffer) {
    for (auto [w, h] : {std::pair{0, 0}, {0, 65535}, {65535, 0}}) {
        for (int depth : {24, 32}) {
            TgaFields f = tgaImage(w, h, depth, 3);
            expectLoaded(writeScratch("empty-image.tga", tgaFile(f, {})), f, {});
        }
    }
}

TEST(LoadTga, NamesTheFileAsPassed) {
    std::string dir = tgaScratchDir();
    writeScratch("rel.tga", Bytes(5, 0));
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    expectRefused("rel.tga", "%s has incomplete tga header\n");
    expectRefused("./rel.tga", "%s has incomplete tga header\n");
    expectRefused("texture2.tga", "Unable to open %s for reading\n");
    ASSERT_EQ(chdir(old), 0);
}

// readTga on the read end of a pipe while a thread writes `bytes` into it and closes it.
Loaded readFromPipe(const Bytes& bytes) {
    return readThroughPipe(bytes, [](FILE* f) {
        Loaded r;
        testing::internal::CaptureStderr();
        r.pixels = readTga(f, "pipe.tga", &r.width, &r.height, &r.hasAlpha);
        r.err = testing::internal::GetCapturedStderr();
        return r;
    });
}

TEST(ReadTga, APipeDeliversTheSameImage) {
    // Large enough that the buffer has to grow several times as the bytes arrive.
    for (auto [w, h, depth] : {std::tuple{300, 200, 32}, {7, 5, 24}, {0, 9, 32}}) {
        TgaFields f = tgaImage(w, h, depth, 11);
        Bytes p = tgaPixels(w, h, depth / 8);
        Loaded r = readFromPipe(tgaFile(f, p, Bytes(40, 1)));
        ASSERT_NE(r.pixels, nullptr) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.width, w);
        EXPECT_EQ(r.height, h);
        EXPECT_EQ(Bytes(r.pixels, r.pixels + p.size()), p);
        std::free(r.pixels);
    }
}

TEST(ReadTga, APipeThatEndsEarlyIsIncomplete) {
    TgaFields f = tgaImage(300, 200, 32, 11);
    Bytes file = tgaFile(f, tgaPixels(300, 200, 4));
    for (size_t cut : {size_t(1), size_t(240000 - 65536), size_t(240000 - 11)}) {
        Loaded r = readFromPipe(Bytes(file.begin(), file.end() - long(cut)));
        EXPECT_EQ(r.pixels, nullptr) << cut;
        EXPECT_EQ(r.err, "pipe.tga has incomplete image\n") << cut;
    }
    f.width = 0;
    Loaded r = readFromPipe(tgaHeader(f)); // ends inside the Image ID
    EXPECT_EQ(r.pixels, nullptr);
    EXPECT_EQ(r.err, "pipe.tga has incomplete image\n");
    r = readFromPipe(Bytes(10, 2));
    EXPECT_EQ(r.err, "pipe.tga has incomplete tga header\n");
}

TEST(ReadTga, AMemoryStreamReadsLikeTheFile) {
    TgaFields f = tgaImage(3, 3, 24, 2);
    Bytes p = tgaPixels(3, 3, 3);
    Bytes file = tgaFile(f, p);
    FILE* m = fmemopen(file.data(), file.size(), "rb");
    ASSERT_NE(m, nullptr);
    int w, h, a;
    unsigned char* got = readTga(m, "mem", &w, &h, &a);
    std::fclose(m);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(Bytes(got, got + p.size()), p);
    std::free(got);
    m = fmemopen(file.data(), file.size() - 1, "rb");
    testing::internal::CaptureStderr();
    EXPECT_EQ(readTga(m, "mem", &w, &h, &a), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "mem has incomplete image\n");
    std::fclose(m);
}

TEST(LoadTga, ANamedPipeIsReadAsBytesArrive) {
    std::string path = tgaScratchDir() + "/fifo.tga";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    TgaFields f = tgaImage(100, 100);
    Bytes p = tgaPixels(100, 100, 4);
    Bytes file = tgaFile(f, p);
    for (bool whole : {true, false}) {
        std::thread writer([&] {
            int fd = open(path.c_str(), O_WRONLY);
            size_t n = whole ? file.size() : file.size() - 1, done = 0;
            while (done < n) {
                ssize_t k = write(fd, file.data() + done, n - done);
                if (k <= 0) {
                    break;
                }
                done += size_t(k);
            }
            close(fd);
        });
        if (whole) {
            expectLoaded(path, f, p);
        } else {
            expectRefused(path, "%s has incomplete image\n");
        }
        writer.join();
    }
    unlink(path.c_str());
}

} // namespace
