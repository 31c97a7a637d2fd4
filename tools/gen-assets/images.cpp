// The four pictures of the demo: the spinning frame, the emblem on the top quad,
// the tile of the scrolling field and the backdrop panel, drawn on a white scene.
#include "gen_assets.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double kPi = 3.14159265358979323846;

// One palette for everything: deep slate, sea green, saffron, sand, terracotta, cream.
const Colour kSlate = hexColour(0x264653);
const Colour kSlateDeep = hexColour(0x1A323D);
const Colour kSea = hexColour(0x2A9D8F);
const Colour kSaffron = hexColour(0xE9C46A);
const Colour kSand = hexColour(0xF4A261);
const Colour kTerracotta = hexColour(0xE76F51);
const Colour kCream = hexColour(0xFFF4E0);

// Paints every pixel with what shade(p, pixel) returns: a colour and its opacity.
template <class F> void paint(Canvas& canvas, F shade) {
    const double px = pixelSize(canvas);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            double a = 0;
            const Colour c = shade(designPoint(canvas, x, y), px, &a);
            blendPixel(canvas, x, y, c, a);
        }
    }
}

// Signed distance to an axis-aligned box of half-sizes (hx, hy) with rounded corners.
double roundBox(DesignPoint p, double hx, double hy, double r) {
    const double qx = std::fabs(p.x) - hx + r, qy = std::fabs(p.y) - hy + r;
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - r;
}

double circle(DesignPoint p, DesignPoint c, double r) {
    return std::hypot(p.x - c.x, p.y - c.y) - r;
}

// Lettering at x-height `size`, centred on `centre`, in colour c, stroke `weight` x-heights.
void letter(Canvas& canvas, const std::string& text, DesignPoint centre, double size, double weight,
            Colour c) {
    double advance = 0;
    const std::vector<Segment> strokes = textStrokes(text, &advance);
    const std::vector<Segment> placed =
        placeStrokes(strokes, {centre.x - advance * size / 2, centre.y - size / 2}, size);
    const double half = weight * size / 2;
    const std::vector<double> d = strokeDistance(canvas, placed, half + 0.05);
    const double px = pixelSize(canvas);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            blendPixel(canvas, x, y, c, coverage(d[size_t(y) * canvas.width + x] - half, px));
        }
    }
}

// Lettering round a circle (see bendStrokes), centred on the angle `middle`.
void letterRound(Canvas& canvas, const std::string& text, double radius, double middle, double size,
                 double weight, Colour c) {
    double advance = 0;
    const std::vector<Segment> strokes = textStrokes(text, &advance);
    const std::vector<Segment> scaled =
        placeStrokes(strokes, {-advance * size / 2, -size / 2}, size);
    const std::vector<Segment> bent = bendStrokes(scaled, {0, 0}, radius, middle);
    const double half = weight * size / 2;
    const std::vector<double> d = strokeDistance(canvas, bent, half + 0.05);
    const double px = pixelSize(canvas);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            blendPixel(canvas, x, y, c, coverage(d[size_t(y) * canvas.width + x] - half, px));
        }
    }
}

// A small deterministic generator for scattered details.
uint32_t nextRandom(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

double randomUnit(uint32_t& state) {
    return (nextRandom(state) >> 8) / double(1 << 24);
}

} // namespace

Canvas drawFrameImage() {
    Canvas canvas = makeCanvas(512, 512);
    // Narrow enough that, squared up, the three frames (half-sizes 2, 1.7 and 1.4)
    // nest with a gap between each band and the next.
    const double outer = 0.955, inner = 0.80, middle = (outer + inner) / 2;
    // The band: slate shading to sea green from one corner to the other, so that the
    // three squares, turned differently, never look alike.
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        const double band =
            std::max(roundBox(p, outer, outer, 0.09), -roundBox(p, inner, inner, 0.04));
        *a = 0.94 * coverage(band, px);
        return mixColour(kSlate, kSea, smoothStep(-1.2, 1.2, p.x * 0.6 + p.y));
    });
    // Fine cream rules just inside both edges of the band.
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        const double o = std::fabs(roundBox(p, outer - 0.025, outer - 0.025, 0.065)) - 0.005;
        const double i = std::fabs(roundBox(p, inner + 0.025, inner + 0.025, 0.02)) - 0.005;
        *a = 0.85 * coverage(std::min(o, i), px);
        return kCream;
    });
    // A row of saffron beads along the middle of each side, terracotta at the corners.
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        const double ax = std::fabs(p.x), ay = std::fabs(p.y);
        double d = 1e9;
        for (int k = -6; k <= 6; ++k) {
            const double t = k * 0.1;
            d = std::min(d, circle({ax, ay}, {middle, t}, 0.017));
            d = std::min(d, circle({ax, ay}, {t, middle}, 0.017));
        }
        *a = coverage(d, px);
        return kSaffron;
    });
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        const double ax = std::fabs(p.x) - middle, ay = std::fabs(p.y) - middle;
        const double diamond = (std::fabs(ax) + std::fabs(ay)) / std::sqrt(2.0) - 0.05;
        const double dot = std::hypot(ax, ay) - 0.018;
        const double ca = coverage(diamond, px), cd = coverage(dot, px);
        *a = ca;
        return mixColour(kTerracotta, kCream, cd);
    });
    // The clear middle carries a faint wash, so the frame reads as glass, not a hole.
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        *a = 0.08 * coverage(roundBox(p, inner, inner, 0.04), px);
        return kSea;
    });
    return canvas;
}

Canvas drawEmblemImage(int size) {
    Canvas canvas = makeCanvas(size, size);
    const double disc = 0.56, ring = 0.74;
    // Slate ring round a terracotta disc, lit from the upper left.
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        *a = coverage(circle(p, {0, 0}, ring), px);
        return kSlate;
    });
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        *a = coverage(std::fabs(circle(p, {0, 0}, ring - 0.03)) - 0.005, px) * 0.9;
        return kSaffron;
    });
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        *a = coverage(circle(p, {0, 0}, disc), px);
        const double light = smoothStep(-0.8, 0.8, -p.x * 0.5 + p.y);
        return mixColour(kTerracotta, kSand, light * 0.7);
    });
    // Sunburst: sixteen wedges, every other one lighter.
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        const double r = std::hypot(p.x, p.y);
        const double wedge = -r * std::sin(std::atan2(p.y, p.x) * 8) / 8;
        *a = 0.14 * coverage(wedge, px) * coverage(r - (disc - 0.05), px) *
             smoothStep(0.05, 0.25, r);
        return kCream;
    });
    letterRound(canvas, "&c &c", (disc + ring) / 2, 0, 0.06, 0.22, kCream);
    letterRound(canvas, "&c &c", -(disc + ring) / 2, 0, 0.06, 0.22, kCream);
    // A saffron ribbon across the badge with swallowtail ends, carrying the name.
    const double ribbonHalf = 0.18, ribbonEnd = 0.97, notch = 0.09;
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        const double ax = std::fabs(p.x);
        const double body = std::max(std::fabs(p.y) - ribbonHalf, ax - ribbonEnd);
        // The swallowtail: a V cut into each end (cut < 0 inside the V).
        const double cut = (ribbonEnd - ax) - notch * (1 - std::fabs(p.y) / ribbonHalf);
        *a = coverage(std::max(body, -cut / std::hypot(1.0, notch / ribbonHalf)), px);
        const double shade = smoothStep(-ribbonHalf, ribbonHalf, p.y);
        return mixColour(mixColour(kSaffron, kSand, 0.45), kSaffron, shade);
    });
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        const double edge = std::fabs(std::fabs(p.y) - (ribbonHalf - 0.028)) - 0.005;
        *a = 0.9 * coverage(std::max(edge, std::fabs(p.x) - (ribbonEnd - notch - 0.04)), px);
        return kSlate;
    });
    letter(canvas, "marrowby", {0, 0.0}, 0.13, 0.21, kSlate);
    return canvas;
}

Canvas drawTileImage() {
    Canvas canvas = makeCanvas(256, 256);
    // Everything fades out before the tile's edge: neighbouring tiles overlap, and
    // the two grids slide across each other, so no straight edge may show.
    auto fade = [](DesignPoint p) {
        return 1 - smoothStep(0.84, 0.96, std::max(std::fabs(p.x), std::fabs(p.y)));
    };
    // A rosette of eight soft translucent petals, sea green and sand in turn; where
    // the petals of the two grids cross, their colours deepen.
    for (int k = 0; k < 8; ++k) {
        const double angle = (k + 0.5) * kPi / 4;
        const double ux = std::cos(angle), uy = std::sin(angle);
        const Colour c = k % 2 ? kSand : kSea;
        paint(canvas, [&](DesignPoint p, double, double* a) {
            const double along = p.x * ux + p.y * uy - 0.43, across = -p.x * uy + p.y * ux;
            const double e = std::hypot(along / 0.39, across / 0.16);
            *a = (k % 2 ? 0.24 : 0.2) * (1 - smoothStep(0.7, 1.0, e)) * fade(p);
            return c;
        });
    }
    // A faint halo that ties the petals together, and a terracotta heart.
    paint(canvas, [&](DesignPoint p, double, double* a) {
        const double r = std::hypot(p.x, p.y);
        *a = 0.10 * (1 - smoothStep(0.55, 0.85, r)) * fade(p);
        return kSaffron;
    });
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        *a = 0.6 * coverage(circle(p, {0, 0}, 0.09), px * 5) * fade(p);
        return kTerracotta;
    });
    return canvas;
}

Canvas drawBackdropImage() {
    Canvas canvas = makeCanvas(256, 512);
    const double horizon = -0.62;
    // Sky: slate at the top warming to sand at the horizon; the ground slate below.
    paint(canvas, [&](DesignPoint p, double, double* a) {
        *a = 1;
        if (p.y < horizon) {
            return mixColour(kSlate, kSlateDeep, smoothStep(horizon, -2.0, p.y));
        }
        const double t = (p.y - horizon) / (2 - horizon);
        if (t < 0.35) {
            return mixColour(kSand, kTerracotta, smoothStep(0, 0.35, t));
        }
        return mixColour(kTerracotta, kSlate, smoothStep(0.35, 0.95, t));
    });
    // A scatter of faint stars in the upper sky.
    uint32_t seed = 0x6d617272;
    for (int k = 0; k < 40; ++k) {
        const DesignPoint s = {-0.8 + 1.6 * randomUnit(seed), 0.8 + 1.1 * randomUnit(seed)};
        const double size = 0.008 + 0.01 * randomUnit(seed);
        paint(canvas, [&](DesignPoint p, double px, double* a) {
            *a = 0.8 * coverage(circle(p, s, size), px);
            return kCream;
        });
    }
    // The sun, saffron over terracotta, cut by bands that widen towards the horizon.
    const DesignPoint sun = {0, 0.2};
    const double sunR = 0.66;
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        double d = std::max(circle(p, sun, sunR), horizon - p.y);
        if (p.y < sun.y) {
            const double depth = (sun.y - p.y) / (sun.y - horizon); // 0 to 1
            const double period = 0.16;
            const double phase = std::fmod(sun.y - p.y, period);
            const double gap = 0.012 + 0.05 * depth;
            const double inGap = gap / 2 - std::fabs(phase - period / 2);
            d = std::max(d, inGap);
        }
        *a = coverage(d, px);
        return mixColour(kTerracotta, kSaffron, smoothStep(-0.3, 0.75, p.y));
    });
    // Ground lines: a floor running to a vanishing point on the horizon.
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        if (p.y > horizon) {
            *a = 0;
            return kSea;
        }
        const double depth = horizon - p.y; // 0 at the horizon
        double d = 1e9;
        for (int k = 1; k < 9; ++k) {
            const double y = 0.04 * k * k * 0.5 + 0.02 * k;
            d = std::min(d, std::fabs(depth - y) - 0.004 - 0.003 * k / 8);
        }
        for (int k = -7; k <= 7; ++k) {
            // Lines from (k * 0.035, horizon) fanning out to (k * 0.42, -2).
            const double x0 = k * 0.035, x1 = k * 0.42;
            const double t = depth / (2 + horizon);
            const double x = x0 + (x1 - x0) * t;
            d = std::min(d, std::fabs(p.x - x) * std::cos(std::atan(std::fabs(x1 - x0) / 1.4)) -
                                0.004);
        }
        *a = 0.8 * coverage(d, px) * smoothStep(0, 0.25, depth);
        return kSea;
    });
    // A cream rule inset from the edge, and the sign-off at the foot.
    paint(canvas, [&](DesignPoint p, double px, double* a) {
        *a = 0.9 * coverage(std::fabs(roundBox(p, 0.9, 1.9, 0.04)) - 0.007, px);
        return kCream;
    });
    letter(canvas, "&c &c", {0, -1.72}, 0.11, 0.2, kCream);
    return canvas;
}
