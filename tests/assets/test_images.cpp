// The committed images: they load through the program's own loader as the sizes
// and formats they are meant to have, each quad shows its image the way the
// generator drew it (lettering readable, not mirrored or upside down), and each
// image suits its place: clear tile edges, a frame with a clear middle, an emblem
// with clear surroundings, no dark fringes where filtering meets transparency.
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "assets/assets.h"
#include "gen_assets.h"
#include "geometry/geometry.h"
#include "offscreen.h"

namespace {

struct Image {
    int width = 0, height = 0, hasAlpha = -1;
    unsigned char* pixels = nullptr; // as stored: first row first, BGR(A)
    int bpp() const { return hasAlpha ? 4 : 3; }
    const unsigned char* at(int col, int row) const {
        return pixels + (size_t(row) * width + col) * bpp();
    }
    int alpha(int col, int row) const { return hasAlpha ? at(col, row)[3] : 255; }
};

Image load(const char* name) {
    Image im;
    const std::string path = std::string(MARROWBY_DATA_DIR) + "/" + name;
    im.pixels = loadTga(path.c_str(), &im.width, &im.height, &im.hasAlpha);
    return im;
}

struct Expected {
    const char* file;
    int width, height, hasAlpha, quad;
};

// Which quad shows which image: the tiles and the top quad use quad 3, the backdrop
// quad 4, the spinning squares quads 0 to 2 (0 is enough: 1 and 2 map alike).
const Expected kImages[] = {
    {"texture.tga", 512, 512, 1, 0},
    {"texture2.tga", 512, 512, 1, 3},
    {"texture3.tga", 256, 256, 1, 3},
    {"texture4.tga", 256, 512, 0, 4},
};

TEST(Images, LoadWithTheirSizesAndPixelDepths) {
    for (const Expected& e : kImages) {
        Image im = load(e.file);
        ASSERT_NE(im.pixels, nullptr) << e.file;
        EXPECT_EQ(im.width, e.width) << e.file;
        EXPECT_EQ(im.height, e.height) << e.file;
        EXPECT_EQ(im.hasAlpha, e.hasAlpha) << e.file;
        std::free(im.pixels);
    }
}

TEST(Images, BecomeTexturesOfTheRightFormat) {
    ASSERT_TRUE(createOffscreenContext());
    for (const Expected& e : kImages) {
        const std::string path = std::string(MARROWBY_DATA_DIR) + "/" + e.file;
        testing::internal::CaptureStderr();
        const GLuint texture = loadTexture(path.c_str());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << e.file;
        ASSERT_NE(texture, 0u) << e.file;
        glBindTexture(GL_TEXTURE_2D, texture);
        GLint w = 0, h = 0, format = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        EXPECT_EQ(w, e.width) << e.file;
        EXPECT_EQ(h, e.height) << e.file;
        EXPECT_EQ(format, e.hasAlpha ? GL_RGBA8 : GL_RGB8) << e.file;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// The texture coordinate a quad puts at a point of its face: u from its left edge
// (0) to its right (1), v from its bottom (0) to its top (1). Every quad of the
// table is axis-aligned, with s following x and t following y.
void texcoordOnQuad(int quad, double u, double v, double* s, double* t) {
    const QuadVertex* q = &quadVertices[4 * quad];
    const QuadVertex *left = q, *right = q, *bottom = q, *top = q;
    for (int i = 1; i < 4; ++i) {
        left = q[i].position[0] < left->position[0] ? &q[i] : left;
        right = q[i].position[0] > right->position[0] ? &q[i] : right;
        bottom = q[i].position[1] < bottom->position[1] ? &q[i] : bottom;
        top = q[i].position[1] > top->position[1] ? &q[i] : top;
    }
    *s = left->texcoord[0] + (right->texcoord[0] - left->texcoord[0]) * u;
    *t = bottom->texcoord[1] + (top->texcoord[1] - bottom->texcoord[1]) * v;
}

Canvas drawnFor(const std::string& file) {
    if (file == "texture.tga") {
        return drawFrameImage();
    }
    if (file == "texture2.tga") {
        return drawEmblemImage();
    }
    if (file == "texture3.tga") {
        return drawTileImage();
    }
    return drawBackdropImage();
}

TEST(Images, EachQuadShowsItsImageAsDrawn) {
    // The generator draws each picture the way the viewer is to see it. Sampled
    // through the quad's own texture coordinates (first stored row at t = 0), the
    // committed file must give back that picture, not a mirrored or turned one.
    for (const Expected& e : kImages) {
        Image im = load(e.file);
        ASSERT_NE(im.pixels, nullptr) << e.file;
        const Canvas drawn = drawnFor(e.file);
        ASSERT_EQ(drawn.width, im.width);
        ASSERT_EQ(drawn.height, im.height);
        long compared = 0, wrong = 0;
        for (int y = 0; y < drawn.height; y += 3) {
            for (int x = 0; x < drawn.width; x += 3) {
                const double* p = &drawn.rgba[(size_t(y) * drawn.width + x) * 4];
                if (p[3] < 0.1) {
                    continue;
                }
                double s, t;
                texcoordOnQuad(e.quad, (x + 0.5) / drawn.width, 1 - (y + 0.5) / drawn.height, &s,
                               &t);
                const int col = std::min(im.width - 1, int(s * im.width));
                const int row = std::min(im.height - 1, int(t * im.height));
                const unsigned char* texel = im.at(col, row);
                ++compared;
                if (im.hasAlpha && std::fabs(texel[3] - p[3] * 255) > 1) {
                    ++wrong;
                    continue;
                }
                for (int c = 0; c < 3; ++c) {
                    const double want = p[c] / p[3] * 255;
                    if (std::fabs(texel[2 - c] - want) > 2) {
                        ++wrong;
                        break;
                    }
                }
            }
        }
        EXPECT_GT(compared, long(drawn.width) * drawn.height / 9 / 10) << e.file;
        EXPECT_EQ(wrong, 0) << e.file << ": " << wrong << " of " << compared << " samples";
        std::free(im.pixels);
    }
}

TEST(Images, TileIsTranslucentWithClearEdges) {
    Image im = load("texture3.tga");
    ASSERT_NE(im.pixels, nullptr);
    // Neighbouring tiles overlap and clamping repeats the edge texels: a visible
    // edge would draw a line round every tile.
    int edge = 0;
    for (int i = 0; i < im.width; ++i) {
        for (int k : {0, 1, im.width - 2, im.width - 1}) {
            edge = std::max({edge, im.alpha(i, k), im.alpha(k, i)});
        }
    }
    EXPECT_EQ(edge, 0);
    // Mostly see-through, so that the two grids show through each other.
    long sum = 0;
    int most = 0;
    for (int row = 0; row < im.height; ++row) {
        for (int col = 0; col < im.width; ++col) {
            sum += im.alpha(col, row);
            most = std::max(most, im.alpha(col, row));
        }
    }
    EXPECT_LT(most, 200);
    EXPECT_LT(double(sum) / (im.width * im.height), 0.25 * 255);
    EXPECT_GT(double(sum) / (im.width * im.height), 0.03 * 255);
    std::free(im.pixels);
}

TEST(Images, FrameHasAClearMiddleAndASolidBand) {
    Image im = load("texture.tga");
    ASSERT_NE(im.pixels, nullptr);
    const int n = im.width;
    // Inside the band the smaller squares must show through.
    for (int row = n / 4; row < 3 * n / 4; row += 4) {
        for (int col = n / 4; col < 3 * n / 4; col += 4) {
            ASSERT_LT(im.alpha(col, row), 64) << col << "," << row;
        }
    }
    // Halfway along each side, near the outer edge, the band is there.
    for (int k : {n / 2}) {
        for (int edge : {n / 20, n - 1 - n / 20}) {
            EXPECT_GT(im.alpha(k, edge), 200);
            EXPECT_GT(im.alpha(edge, k), 200);
        }
    }
    std::free(im.pixels);
}

TEST(Images, EmblemCoversOnlyItsMiddle) {
    Image im = load("texture2.tga");
    ASSERT_NE(im.pixels, nullptr);
    const int n = im.width;
    // The corners of the top quad are clear: it turns over everything else.
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const bool corner = std::abs(2 * col - n) > 3 * n / 4 && std::abs(2 * row - n) > n / 2;
            if (corner) {
                ASSERT_EQ(im.alpha(col, row), 0) << col << "," << row;
            }
        }
    }
    EXPECT_EQ(im.alpha(n / 2, n / 2), 255);
    std::free(im.pixels);
}

TEST(Images, NoDarkFringeAroundShapes) {
    // Linear filtering blends a visible texel with its clear neighbours' colour: a
    // clear texel left black would draw a dark rim round every shape.
    for (const char* file : {"texture.tga", "texture2.tga", "texture3.tga"}) {
        Image im = load(file);
        ASSERT_NE(im.pixels, nullptr) << file;
        long rims = 0, black = 0;
        for (int row = 1; row + 1 < im.height; ++row) {
            for (int col = 1; col + 1 < im.width; ++col) {
                if (im.alpha(col, row) != 0) {
                    continue;
                }
                bool nextToVisible = false;
                for (int d = -1; d <= 1; d += 2) {
                    nextToVisible =
                        nextToVisible || im.alpha(col + d, row) > 0 || im.alpha(col, row + d) > 0;
                }
                if (!nextToVisible) {
                    continue;
                }
                ++rims;
                const unsigned char* p = im.at(col, row);
                black += p[0] + p[1] + p[2] < 60;
            }
        }
        EXPECT_GT(rims, 0) << file;
        EXPECT_EQ(black, 0) << file;
        std::free(im.pixels);
    }
}

} // namespace
