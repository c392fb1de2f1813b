#include "art_parts.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mkdemo {

void Stars(Canvas& canvas, std::uint32_t seed, int count, int top, int bottom, float opacity) {
    Random random(seed);
    for (int i = 0; i < count; ++i) {
        Point p{random.Uniform(0, float(canvas.width())), random.Uniform(float(top), float(bottom))};
        float bright = random.Uniform(0.3f, 1.0f);
        // Fewer stars near the horizon, where the haze is.
        float fade = 1.0f - 0.7f * (p.y - top) / std::max(1, bottom - top);
        float size = bright > 0.93f ? 1.6f : 0.8f;
        canvas.Paint(Circle(p, size), Rgb(0xFFF8E8, bright * fade * opacity), 1.0f);
        if (bright > 0.9f) canvas.Glow(p, 7, Rgb(0xBFD4FF, 0.35f * fade * opacity));
    }
}

void Cloud(Canvas& canvas, Point c, float size, const Color& light, const Color& shade, std::uint32_t seed) {
    Random random(seed);
    std::vector<Shape> puffs;
    int n = 7;
    for (int i = 0; i < n; ++i) {
        float t = float(i) / (n - 1) * 2 - 1;
        float r = size * (0.32f + 0.25f * (1 - t * t)) * random.Uniform(0.8f, 1.15f);
        puffs.push_back(Circle({c.x + t * size * 1.1f, c.y - r * 0.35f}, r));
    }
    Shape cloud =
        Subtract(Union(puffs), RoundRect(c.x - size * 3, c.y + size * 0.12f, c.x + size * 3, c.y + size * 2, 0));
    canvas.PaintGradient(cloud, light, shade, 3.0f);
}

void Sea(Canvas& canvas, int horizon, int bottom, const Color& far, const Color& near, const Color& glint,
         std::uint32_t seed) {
    for (int y = horizon; y < std::min(bottom, canvas.height()); ++y) {
        float t = float(y - horizon) / std::max(1, bottom - horizon);
        Color row = Mix(far, near, std::pow(t, 0.7f));
        for (int x = 0; x < canvas.width(); ++x) canvas.at(x, y) = row;
    }
    Random random(seed);
    int glints = (bottom - horizon) * 3;
    for (int i = 0; i < glints; ++i) {
        float y = random.Uniform(float(horizon) + 2, float(bottom));
        float t = (y - horizon) / std::max(1, bottom - horizon);
        float x = random.Uniform(0, float(canvas.width()));
        float len = 6 + 40 * t * random.Uniform(0.3f, 1.0f);
        canvas.Paint(Capsule({x, y}, {x + len, y}, 0.6f + t),
                     Color{glint.r, glint.g, glint.b, glint.a * random.Uniform(0.2f, 0.7f)}, 1.2f);
    }
}

void Hills(Canvas& canvas, float baseY, float amplitude, float scale, const Color& color, std::uint32_t seed,
           float softness) {
    std::vector<Point> outline;
    for (int x = -10; x <= canvas.width() + 10; x += 8) {
        float n =
            ValueNoise(float(x) / scale, 0.5f, seed) * 0.7f + ValueNoise(float(x) / scale * 3, 1.5f, seed + 1) * 0.3f;
        outline.push_back({float(x), baseY - amplitude * n});
    }
    outline.push_back({float(canvas.width() + 10), float(canvas.height() + 10)});
    outline.push_back({-10, float(canvas.height() + 10)});
    canvas.Paint(Polygon(outline), color, softness);
}

Point LighthouseLantern(float x, float baseY, float height) { return {x, baseY - height * 0.93f}; }

void Lighthouse(Canvas& canvas, float x, float baseY, float h, bool dark) {
    float bottomHalf = h * 0.11f, topHalf = h * 0.07f, towerTop = baseY - h * 0.8f;
    Color wall = dark ? Rgb(0x2A2F48) : Rgb(0xF4EEE4);
    Color wallShade = dark ? Rgb(0x1E2238) : Rgb(0xC9C2C4);
    Color band = dark ? Rgb(0x3A2A3E) : Rgb(0xC8564B);
    Shape tower =
        Polygon({{x - bottomHalf, baseY}, {x + bottomHalf, baseY}, {x + topHalf, towerTop}, {x - topHalf, towerTop}});
    canvas.PaintGradient(tower, wall, wallShade, 1.2f);
    // Shade on the side away from the light.
    canvas.Paint(Polygon({{x + bottomHalf * 0.2f, baseY},
                          {x + bottomHalf, baseY},
                          {x + topHalf, towerTop},
                          {x + topHalf * 0.2f, towerTop}}),
                 Color{0.1f, 0.1f, 0.25f, 0.18f}, 1.2f);
    for (int i = 0; i < 2; ++i) {
        float y0 = baseY - h * (0.25f + 0.28f * i), y1 = y0 - h * 0.1f;
        float w0 = bottomHalf + (topHalf - bottomHalf) * (baseY - y0) / (baseY - towerTop);
        float w1 = bottomHalf + (topHalf - bottomHalf) * (baseY - y1) / (baseY - towerTop);
        canvas.Paint(Polygon({{x - w0, y0}, {x + w0, y0}, {x + w1, y1}, {x - w1, y1}}), band, 1.0f);
    }
    Color dark2 = dark ? Rgb(0x15182A) : Rgb(0x2D3250);
    canvas.Paint(RoundRect(x - topHalf * 1.5f, towerTop - h * 0.025f, x + topHalf * 1.5f, towerTop + h * 0.005f, 2),
                 dark2, 1.0f);
    Point lantern = LighthouseLantern(x, baseY, h);
    canvas.Paint(RoundRect(x - topHalf * 0.8f, lantern.y - h * 0.035f, x + topHalf * 0.8f, towerTop - h * 0.02f, 2),
                 dark ? Rgb(0x4A4258) : Rgb(0xFFE7A8), 1.0f);
    canvas.Paint(
        Polygon(
            {{x - topHalf, lantern.y - h * 0.03f}, {x + topHalf, lantern.y - h * 0.03f}, {x, lantern.y - h * 0.075f}}),
        dark2, 1.0f);
}

void Firework(Canvas& canvas, Point c, float radius, const Color& color, std::uint32_t seed) {
    Random random(seed);
    int rays = 36;
    for (int i = 0; i < rays; ++i) {
        float angle = float(i) / rays * 2 * std::numbers::pi_v<float> + random.Uniform(-0.05f, 0.05f);
        float len = radius * random.Uniform(0.75f, 1.0f);
        Point end{c.x + std::cos(angle) * len, c.y + std::sin(angle) * len + len * 0.08f};
        Point mid{c.x + std::cos(angle) * len * 0.45f, c.y + std::sin(angle) * len * 0.45f};
        canvas.Paint(Capsule(mid, end, 1.2f), Color{color.r, color.g, color.b, 0.55f}, 1.5f);
        canvas.Paint(Circle(end, 2.2f), Mix(color, Rgb(0xFFFFFF), 0.5f), 1.2f);
    }
    canvas.Glow(c, radius * 1.2f, Color{color.r, color.g, color.b, 0.35f});
}

std::vector<Shape> FigureSilhouette(char who, float x, float y, float s) {
    auto P = [&](float dx, float dy) { return Point{x + dx * s, y + dy * s}; };
    std::vector<Shape> parts;
    parts.push_back(Circle(P(0, 55), 50 * s));
    parts.push_back(Capsule(P(0, 95), P(0, 130), 15 * s));
    bool coat = who == 'C' || who == 'H';
    float shoulder = who == 'C' ? 72.0f : who == 'H' ? 66.0f : 58.0f;
    parts.push_back(Polygon({P(-shoulder, 140), P(shoulder, 140), P(coat ? 52 : 38, 285), P(coat ? -52 : -38, 285)}));
    parts.push_back(Circle(P(-shoulder + 12, 150), 16 * s));
    parts.push_back(Circle(P(shoulder - 12, 150), 16 * s));
    parts.push_back(Capsule(P(-shoulder + 6, 150), P(-shoulder - 8, 310), 14 * s));
    parts.push_back(Capsule(P(shoulder - 6, 150), P(shoulder + 8, 310), 14 * s));
    if (who == 'A' || who == 'B') {
        parts.push_back(Polygon({P(-40, 270), P(40, 270), P(82, 410), P(-82, 410)}));
        parts.push_back(Capsule(P(-24, 400), P(-22, 600), 13 * s));
        parts.push_back(Capsule(P(24, 400), P(22, 600), 13 * s));
    } else {
        parts.push_back(Capsule(P(-24, 280), P(-28, 600), 21 * s));
        parts.push_back(Capsule(P(24, 280), P(28, 600), 21 * s));
    }
    switch (who) {
        case 'A':
            parts.push_back(Ellipse(P(0, 50), 60 * s, 60 * s));
            // Long hair, tapering to the waist and drawn a little aside by the sea wind.
            parts.push_back(Polygon({P(-58, 55), P(58, 55), P(96, 236), P(72, 258), P(20, 262), P(-46, 250)}));
            break;
        case 'B':
            parts.push_back(Ellipse(P(0, 55), 63 * s, 58 * s));
            parts.push_back(Polygon({P(-63, 55), P(63, 55), P(62, 122), P(-62, 122)}));
            break;
        case 'C':
            parts.push_back(Ellipse(P(0, 18), 78 * s, 14 * s));
            parts.push_back(RoundRect(x - 44 * s, y - 22 * s, x + 44 * s, y + 20 * s, 12 * s));
            parts.push_back(Polygon({P(-shoulder, 150), P(shoulder, 150), P(88, 470), P(-88, 470)}));
            break;
        default: parts.push_back(Ellipse(P(0, 44), 55 * s, 46 * s)); break;
    }
    return parts;
}

}  // namespace mkdemo
