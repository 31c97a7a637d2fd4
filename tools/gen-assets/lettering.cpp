// Lettering for the images: a small monoline geometric face drawn as strokes,
// placed straight or bent round a circle, and turned into a distance field.
#include "gen_assets.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTracking = 0.36; // space between glyphs, in x-heights

using Path = std::vector<DesignPoint>;

struct Glyph {
    double width;
    std::vector<Path> paths;
};

// A circular arc from angle a0 to a1 (degrees, anticlockwise from +x; a1 < a0 runs clockwise).
Path arc(double cx, double cy, double r, double a0, double a1) {
    const int n = std::max(2, int(std::ceil(std::fabs(a1 - a0) / 4.0)));
    Path p;
    for (int i = 0; i <= n; ++i) {
        const double a = (a0 + (a1 - a0) * i / n) * kPi / 180.0;
        p.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return p;
}

// A Catmull-Rom curve through the points, ends held.
Path curve(const Path& pts) {
    Path p;
    const int n = int(pts.size());
    for (int i = 0; i + 1 < n; ++i) {
        const DesignPoint p0 = pts[std::max(i - 1, 0)], p1 = pts[i], p2 = pts[i + 1],
                          p3 = pts[std::min(i + 2, n - 1)];
        for (int k = 0; k < 12; ++k) {
            const double t = k / 12.0, t2 = t * t, t3 = t2 * t;
            auto blend = [&](double a, double b, double c, double d) {
                return 0.5 * (2 * b + (c - a) * t + (2 * a - 5 * b + 4 * c - d) * t2 +
                              (3 * b - a - 3 * c + d) * t3);
            };
            p.push_back({blend(p0.x, p1.x, p2.x, p3.x), blend(p0.y, p1.y, p2.y, p3.y)});
        }
    }
    p.push_back(pts.back());
    return p;
}

Glyph glyph(char c) {
    switch (c) {
    case 'o':
        return {1.0, {arc(0.5, 0.5, 0.5, 0, 360)}};
    case 'a':
        return {1.0, {arc(0.5, 0.5, 0.5, 0, 360), {{1, 1}, {1, 0}}}};
    case 'b':
        return {1.0, {arc(0.5, 0.5, 0.5, 0, 360), {{0, 1.55}, {0, 0}}}};
    case 'c':
        return {0.93, {arc(0.5, 0.5, 0.5, 48, 312)}};
    case 'r':
        return {0.72, {{{0, 0}, {0, 1}}, arc(0.5, 0.5, 0.5, 180, 62)}};
    case 'm': {
        Path left = arc(0.375, 0.625, 0.375, 180, 0);
        left.push_back({0.75, 0});
        Path right = arc(1.125, 0.625, 0.375, 180, 0);
        right.push_back({1.5, 0});
        return {1.5, {{{0, 0}, {0, 1}}, left, right}};
    }
    case 'w':
        return {1.3, {{{0, 1}, {0.33, 0}, {0.65, 0.78}, {0.97, 0}, {1.3, 1}}}};
    case 'y':
        return {1.0, {{{0, 1}, {0.53, 0.02}}, {{1, 1}, {0.28, -0.55}}}};
    case '&':
        return {1.12,
                {curve({{1.12, 0.64},
                        {0.9, 0.26},
                        {0.55, 0.0},
                        {0.2, 0.06},
                        {0.03, 0.34},
                        {0.16, 0.66},
                        {0.46, 0.9},
                        {0.66, 1.12},
                        {0.63, 1.38},
                        {0.44, 1.5},
                        {0.24, 1.38},
                        {0.24, 1.14},
                        {0.42, 0.84},
                        {1.12, 0.0}})}};
    default: // space, and anything the face lacks
        return {0.62, {}};
    }
}

} // namespace

std::vector<Segment> textStrokes(const std::string& text, double* advance) {
    std::vector<Segment> out;
    double x = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const Glyph g = glyph(text[i]);
        for (const Path& p : g.paths) {
            for (size_t k = 0; k + 1 < p.size(); ++k) {
                out.push_back({{x + p[k].x, p[k].y}, {x + p[k + 1].x, p[k + 1].y}});
            }
        }
        x += g.width + (i + 1 < text.size() ? kTracking : 0);
    }
    *advance = x;
    return out;
}

std::vector<Segment> placeStrokes(const std::vector<Segment>& strokes, DesignPoint origin,
                                  double scale) {
    std::vector<Segment> out;
    for (const Segment& s : strokes) {
        out.push_back({{origin.x + s.a.x * scale, origin.y + s.a.y * scale},
                       {origin.x + s.b.x * scale, origin.y + s.b.y * scale}});
    }
    return out;
}

std::vector<Segment> bendStrokes(const std::vector<Segment>& strokes, DesignPoint centre,
                                 double radius, double startAngle) {
    // Short pieces first, so that straight strokes follow the circle.
    const double piece = std::fabs(radius) * 0.01;
    auto bend = [&](DesignPoint p) {
        const double angle = startAngle + p.x / radius;
        const double r = radius + p.y;
        return DesignPoint{centre.x + r * std::sin(angle), centre.y + r * std::cos(angle)};
    };
    std::vector<Segment> out;
    for (const Segment& s : strokes) {
        const double len = std::hypot(s.b.x - s.a.x, s.b.y - s.a.y);
        const int n = std::max(1, int(std::ceil(len / piece)));
        DesignPoint prev = bend(s.a);
        for (int i = 1; i <= n; ++i) {
            const double t = double(i) / n;
            const DesignPoint next =
                bend({s.a.x + (s.b.x - s.a.x) * t, s.a.y + (s.b.y - s.a.y) * t});
            out.push_back({prev, next});
            prev = next;
        }
    }
    return out;
}

std::vector<double> strokeDistance(const Canvas& canvas, const std::vector<Segment>& strokes,
                                   double reach) {
    std::vector<double> dist(size_t(canvas.width) * canvas.height, reach);
    const double px = pixelSize(canvas);
    const double top = double(canvas.height) / canvas.width;
    for (const Segment& s : strokes) {
        // Only the pixels within reach of the segment can be nearer to it.
        const int x0 = std::max(0, int(std::floor((std::min(s.a.x, s.b.x) - reach + 1) / px)));
        const int x1 =
            std::min(canvas.width - 1, int(std::ceil((std::max(s.a.x, s.b.x) + reach + 1) / px)));
        const int y0 = std::max(0, int(std::floor((top - std::max(s.a.y, s.b.y) - reach) / px)));
        const int y1 = std::min(canvas.height - 1,
                                int(std::ceil((top - std::min(s.a.y, s.b.y) + reach) / px)));
        const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
        const double len2 = dx * dx + dy * dy;
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const DesignPoint p = designPoint(canvas, x, y);
                double t = len2 > 0 ? ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / len2 : 0;
                t = std::clamp(t, 0.0, 1.0);
                const double d = std::hypot(p.x - (s.a.x + dx * t), p.y - (s.a.y + dy * t));
                double& best = dist[size_t(y) * canvas.width + x];
                best = std::min(best, d);
            }
        }
    }
    return dist;
}
