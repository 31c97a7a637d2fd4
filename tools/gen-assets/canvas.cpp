// The canvas the images are drawn on, anti-aliasing from signed distances, and
// the TGA encoding that turns a canvas round to suit the quad it is shown on.
#include "gen_assets.h"

#include <png.h>

#include <algorithm>
#include <cmath>

Colour hexColour(unsigned rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

Colour mixColour(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Canvas makeCanvas(int width, int height) {
    return {width, height, std::vector<double>(size_t(width) * height * 4, 0.0)};
}

void blendPixel(Canvas& canvas, int x, int y, Colour c, double a) {
    if (a <= 0) {
        return;
    }
    a = std::min(a, 1.0);
    double* p = &canvas.rgba[(size_t(y) * canvas.width + x) * 4];
    p[0] = c.r * a + p[0] * (1 - a);
    p[1] = c.g * a + p[1] * (1 - a);
    p[2] = c.b * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
}

DesignPoint designPoint(const Canvas& canvas, int x, int y) {
    const double px = pixelSize(canvas);
    return {-1 + (x + 0.5) * px, double(canvas.height) / canvas.width - (y + 0.5) * px};
}

double pixelSize(const Canvas& canvas) {
    return 2.0 / canvas.width;
}

double coverage(double signedDistance, double pixel) {
    return std::clamp(0.5 - signedDistance / pixel, 0.0, 1.0);
}

double smoothStep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

static unsigned char toByte(double v) {
    return (unsigned char)std::lround(std::clamp(v, 0.0, 1.0) * 255.0);
}

// Straight colours of the canvas, with every fully transparent pixel next to a
// visible one given the average colour of its visible neighbours (a few rings deep),
// so that linear filtering at a shape's edge blends towards the shape's own colour.
static std::vector<double> bleedColours(const Canvas& canvas, std::vector<unsigned char>& alpha) {
    const int w = canvas.width, h = canvas.height;
    std::vector<double> rgb(size_t(w) * h * 3, 0.0);
    std::vector<char> known(size_t(w) * h, 0);
    alpha.assign(size_t(w) * h, 0);
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        const double* p = &canvas.rgba[i * 4];
        alpha[i] = toByte(p[3]);
        if (alpha[i] > 0) {
            for (int c = 0; c < 3; ++c) {
                rgb[i * 3 + c] = p[c] / p[3];
            }
            known[i] = 1;
        }
    }
    for (int ring = 0; ring < 3; ++ring) {
        std::vector<char> next = known;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const size_t i = size_t(y) * w + x;
                if (known[i]) {
                    continue;
                }
                double sum[3] = {0, 0, 0};
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= w || ny >= h) {
                            continue;
                        }
                        const size_t j = size_t(ny) * w + nx;
                        if (known[j]) {
                            for (int c = 0; c < 3; ++c) {
                                sum[c] += rgb[j * 3 + c];
                            }
                            ++n;
                        }
                    }
                }
                if (n > 0) {
                    for (int c = 0; c < 3; ++c) {
                        rgb[i * 3 + c] = sum[c] / n;
                    }
                    next[i] = 1;
                }
            }
        }
        known.swap(next);
    }
    return rgb;
}

std::vector<unsigned char> encodeTga(const Canvas& canvas, Orientation orientation, bool alpha) {
    const int w = canvas.width, h = canvas.height;
    const int bytesPerPixel = alpha ? 4 : 3;
    std::vector<unsigned char> out(18, 0);
    out[2] = 2; // uncompressed true-colour
    out[12] = (unsigned char)(w & 0xFF);
    out[13] = (unsigned char)(w >> 8);
    out[14] = (unsigned char)(h & 0xFF);
    out[15] = (unsigned char)(h >> 8);
    out[16] = (unsigned char)(bytesPerPixel * 8);
    out[17] = alpha ? 8 : 0; // alpha bits; origin bottom-left
    std::vector<unsigned char> a;
    const std::vector<double> rgb = bleedColours(canvas, a);
    out.reserve(out.size() + size_t(w) * h * bytesPerPixel);
    for (int row = 0; row < h; ++row) {
        // The file's first row is t = 0: the bottom of the quad, or its top when the
        // quad is turned round.
        const int y = orientation == Turned180 ? row : h - 1 - row;
        for (int col = 0; col < w; ++col) {
            const int x = orientation == AsStored ? col : w - 1 - col;
            const size_t i = size_t(y) * w + x;
            out.push_back(toByte(rgb[i * 3 + 2]));
            out.push_back(toByte(rgb[i * 3 + 1]));
            out.push_back(toByte(rgb[i * 3 + 0]));
            if (alpha) {
                out.push_back(a[i]);
            }
        }
    }
    return out;
}

std::vector<unsigned char> encodePng(const Canvas& canvas) {
    std::vector<unsigned char> a;
    const std::vector<double> rgb = bleedColours(canvas, a);
    std::vector<unsigned char> pixels;
    pixels.reserve(a.size() * 4);
    for (size_t i = 0; i < a.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            pixels.push_back(toByte(rgb[i * 3 + c]));
        }
        pixels.push_back(a[i]);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(canvas.width);
    image.height = png_uint_32(canvas.height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) {
        return {};
    }
    std::vector<unsigned char> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr)) {
        return {};
    }
    out.resize(size);
    return out;
}

std::vector<unsigned char> encodeIco(const std::vector<Canvas>& canvases) {
    std::vector<unsigned char> out;
    auto put16 = [&out](unsigned v) {
        out.push_back(v & 0xFF);
        out.push_back((v >> 8) & 0xFF);
    };
    auto put32 = [&put16](unsigned long v) {
        put16(v & 0xFFFF);
        put16((v >> 16) & 0xFFFF);
    };
    std::vector<std::vector<unsigned char>> images;
    for (const Canvas& canvas : canvases) {
        images.push_back(encodePng(canvas));
        if (images.back().empty() || canvas.width > 256 || canvas.height > 256) {
            return {};
        }
    }
    put16(0); // reserved
    put16(1); // an icon, not a cursor
    put16(unsigned(images.size()));
    unsigned long offset = 6 + 16 * images.size();
    for (size_t i = 0; i < images.size(); ++i) {
        // A side of 256 is written as 0.
        out.push_back(canvases[i].width & 0xFF);
        out.push_back(canvases[i].height & 0xFF);
        out.push_back(0); // no palette
        out.push_back(0);
        put16(1);  // colour planes
        put16(32); // bits per pixel
        put32(images[i].size());
        put32(offset);
        offset += images[i].size();
    }
    for (const std::vector<unsigned char>& image : images) {
        out.insert(out.end(), image.begin(), image.end());
    }
    return out;
}
