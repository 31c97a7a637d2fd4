// Textures through real GL (Mesa): the formats chosen by pixel depth, the pixels as
// GL holds them read back against the file's, the parameters, the binding and the
// unpack state left behind, and every refusal leaving texture 0 and no GL object.
#include <cstring>
#include <gtest/gtest.h>

#include "assets/assets.h"
#include "gl_context.h"
#include "tga_files.h"

namespace {

struct Made {
    GLuint texture;
    std::string err;
};

Made make(const std::string& path) {
    Made m;
    testing::internal::CaptureStderr();
    m.texture = loadTexture(path.c_str());
    m.err = testing::internal::GetCapturedStderr();
    return m;
}

GLint levelParameter(GLenum name) {
    GLint v = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &v);
    return v;
}

// The bound texture's level 0 in `format`, rows packed tight, first row first.
Bytes readBack(int w, int h, GLenum format, int bytesPerPixel) {
    Bytes out(size_t(w) * size_t(h) * size_t(bytesPerPixel) + 64, 0xCD);
    GLint packAlignment;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    // GL wrote no more than the image: the guard bytes are untouched.
    for (size_t i = out.size() - 64; i < out.size(); ++i) {
        EXPECT_EQ(out[i], 0xCD) << "glGetTexImage wrote past the image";
    }
    out.resize(out.size() - 64);
    return out;
}

// Loads a file made of `f` and `pixels`, and checks it became the bound texture with
// the given internal format and exactly those pixels, rows in stored order.
void expectTexture(const TgaFields& f, const Bytes& pixels, GLenum internalFormat) {
    Made m = make(writeScratch("tex.tga", tgaFile(f, pixels)));
    ASSERT_NE(m.texture, 0u) << m.err;
    EXPECT_EQ(m.err, "");
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), m.texture);
    EXPECT_EQ(levelParameter(GL_TEXTURE_INTERNAL_FORMAT), GLint(internalFormat));
    EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH), f.width);
    EXPECT_EQ(levelParameter(GL_TEXTURE_HEIGHT), f.height);
    int bpp = f.pixelDepth / 8;
    EXPECT_EQ(readBack(f.width, f.height, bpp == 4 ? GL_BGRA : GL_BGR, bpp), pixels);
}

TEST(Texture, ThirtyTwoBitIsRgba8WithTheFourthBytesAsAlpha) {
    // Descriptor 0 declares no alpha bits; 0x28 is top row first with 8 alpha bits.
    for (int descriptor : {8, 0, 0x20, 0x28}) {
        SCOPED_TRACE(descriptor);
        Bytes p = tgaPixels(3, 4, 4, unsigned(descriptor));
        // Alpha bytes spanning the range, so a forced-opaque alpha shows.
        for (size_t i = 3; i < p.size(); i += 4) {
            p[i] = uint8_t(i * 21);
        }
        expectTexture(withDescriptor(tgaImage(3, 4, 32), descriptor), p, GL_RGBA8);
    }
}

TEST(Texture, TwentyFourBitIsRgb8ForEveryRowWidth) {
    // Widths that are not multiples of 4 need the tight row alignment; a caller's own
    // unpack alignment (8 here) must not leak into the upload either.
    for (int w : {1, 3, 5, 7, 4, 64}) {
        for (int descriptor : {0, 0x20}) {
            SCOPED_TRACE(testing::Message() << "width " << w << " descriptor " << descriptor);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
            TgaFields f = withDescriptor(tgaImage(w, 5, 24), descriptor);
            Bytes p = tgaPixels(w, 5, 3, unsigned(w));
            expectTexture(f, p, GL_RGB8);
            GLint after = 0;
            glGetIntegerv(GL_UNPACK_ALIGNMENT, &after);
            EXPECT_EQ(after, 8);
            // Sampled as RGBA, a 24-bit texture is opaque.
            Bytes rgba = readBack(w, 5, GL_BGRA, 4);
            for (size_t i = 0; i < size_t(w) * 5; ++i) {
                ASSERT_EQ(Bytes(rgba.begin() + long(4 * i), rgba.begin() + long(4 * i + 3)),
                          Bytes(p.begin() + long(3 * i), p.begin() + long(3 * i + 3)));
                ASSERT_EQ(rgba[4 * i + 3], 0xFF);
            }
        }
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

TEST(Texture, ThirtyTwoBitWidthThreeAndTheUnpackAlignmentRestored) {
    for (GLint before : {1, 2, 4, 8}) {
        glPixelStorei(GL_UNPACK_ALIGNMENT, before);
        expectTexture(tgaImage(3, 3, 32, 7), tgaPixels(3, 3, 4, unsigned(before)), GL_RGBA8);
        GLint after = 0;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &after);
        EXPECT_EQ(after, before);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

TEST(Texture, TopRowFirstFilesKeepTheirStoredOrder) {
    // Two files with the same bytes, one marked top row first: GL gets identical images.
    Bytes p = tgaPixels(4, 3, 4, 9);
    Made bottomUp = make(writeScratch("a.tga", tgaFile(withDescriptor(tgaImage(4, 3), 8), p)));
    Made topDown = make(writeScratch("b.tga", tgaFile(withDescriptor(tgaImage(4, 3), 0x28), p)));
    ASSERT_NE(bottomUp.texture, 0u);
    ASSERT_NE(topDown.texture, 0u);
    glBindTexture(GL_TEXTURE_2D, bottomUp.texture);
    Bytes first = readBack(4, 3, GL_BGRA, 4);
    glBindTexture(GL_TEXTURE_2D, topDown.texture);
    EXPECT_EQ(readBack(4, 3, GL_BGRA, 4), first);
    // The file's first row is the texture's first row (t = 0).
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 16), Bytes(p.begin(), p.begin() + 16));
}

TEST(Texture, ParametersAreLinearAndClampedToEdge) {
    Made m = make(writeScratch("params.tga", tgaFile(tgaImage(2, 2, 24), tgaPixels(2, 2, 3))));
    ASSERT_NE(m.texture, 0u);
    struct {
        GLenum name;
        GLint value;
    } expected[] = {{GL_TEXTURE_MIN_FILTER, GL_LINEAR},
                    {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                    {GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE},
                    {GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE}};
    for (auto e : expected) {
        GLint v = -1;
        glGetTexParameteriv(GL_TEXTURE_2D, e.name, &v);
        EXPECT_EQ(v, e.value) << std::hex << e.name;
    }
    // One level only: no mipmaps were made.
    EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH), 2);
    GLint level1 = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
    EXPECT_EQ(level1, 0);
}

TEST(Texture, AnEmptyImageStillMakesATexture) {
    for (auto [w, h] : {std::pair{0, 0}, {0, 5}, {5, 0}}) {
        Made m = make(writeScratch("empty.tga", tgaFile(tgaImage(w, h, 24), {})));
        EXPECT_NE(m.texture, 0u);
        EXPECT_EQ(m.err, "");
        EXPECT_TRUE(glIsTexture(m.texture));
    }
}

// Every refusal: the loader's line, then loadTexture's, texture 0, and no GL object:
// the next name GL hands out is the one it would have handed out anyway.
TEST(Texture, EachRefusalPrintsTwoLinesAndMakesNoTexture) {
    TgaFields ok = tgaImage(3, 2, 24);
    Bytes good = tgaFile(ok, tgaPixels(3, 2, 3));
    Bytes cut(good.begin(), good.end() - 1);
    Bytes id = tgaFile(tgaImage(2, 2, 32, 20), tgaPixels(2, 2, 4));
    Bytes endsInId(id.begin(), id.begin() + 30);
    Bytes huge = tgaHeader(tgaImage(65535, 65535, 32));
    huge.resize(30, 0);
    struct Case {
        const char* name;
        bool exists;
        Bytes bytes;
        const char* message;
    } cases[] = {
        {"missing.tga", false, {}, "Unable to open %s for reading\n"},
        {"short.tga", true, Bytes(good.begin(), good.begin() + 17),
         "%s has incomplete tga header\n"},
        {"rle.tga", true, tgaFile(withType(ok, 10), tgaPixels(3, 2, 3)),
         "%s is not an uncompressed RGB tga file\n"},
        {"depth16.tga", true, tgaFile(tgaImage(3, 2, 16), tgaPixels(3, 2, 2)),
         "%s is not 24/32-bit uncompressed RGB/A tga file.\n"},
        {"mapped.tga", true, tgaFile(withColourMap(ok, 1, 256, 24), Bytes(800, 0)),
         "%s is colormapped, cannot handle that.\n"},
        {"cut.tga", true, cut, "%s has incomplete image\n"},
        {"endsinid.tga", true, endsInId, "%s has incomplete image\n"},
        {"huge.tga", true, huge, "%s has incomplete image\n"},
    };
    glBindTexture(GL_TEXTURE_2D, 0);
    for (auto& c : cases) {
        std::string path = tgaScratchDir() + "/" + c.name;
        if (c.exists) {
            writeScratch(c.name, c.bytes);
        }
        GLuint before;
        glGenTextures(1, &before);
        Made m = make(path);
        GLuint after;
        glGenTextures(1, &after);
        EXPECT_EQ(m.texture, 0u) << c.name;
        EXPECT_EQ(after, before + 1) << c.name << ": a texture name was used";
        GLint bound = -1;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(bound, 0) << c.name;
        char first[512], second[512];
        std::snprintf(first, sizeof first, c.message, path.c_str());
        std::snprintf(second, sizeof second, "Image loading failed: %s\n", path.c_str());
        EXPECT_EQ(m.err, std::string(first) + second);
        glDeleteTextures(1, &before);
        glDeleteTextures(1, &after);
    }
}

} // namespace
