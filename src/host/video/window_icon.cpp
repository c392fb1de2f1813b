#include "host/video/window_icon.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace host {
namespace {

struct Paint {
    float r = 0, g = 0, b = 0, a = 0;
};

Paint Rgb(std::uint32_t rgb, float alpha = 1.0f) {
    return {static_cast<float>(rgb >> 16 & 0xFF) / 255.0f, static_cast<float>(rgb >> 8 & 0xFF) / 255.0f,
            static_cast<float>(rgb & 0xFF) / 255.0f, alpha};
}

// A shape in icon units (0 to 1 across and down): whether a point lies inside.
using Inside = std::function<bool(float x, float y)>;

// Between two edges of a trapezoid standing on y = bottom: half widths at the bottom and top.
Inside Trapezoid(float centre, float top, float bottom, float half_bottom, float half_top) {
    return [=](float x, float y) {
        if (y < top || y > bottom) return false;
        const float half = half_top + (half_bottom - half_top) * (y - top) / (bottom - top);
        return std::abs(x - centre) <= half;
    };
}

Inside Box(float left, float top, float right, float bottom) {
    return [=](float x, float y) { return x >= left && x <= right && y >= top && y <= bottom; };
}

// The icon's outline: a square with rounded corners. Nothing is painted outside it.
constexpr float kCorner = 0.16f;
bool InsideOutline(float x, float y) {
    const float dx = std::max({kCorner - x, x - (1 - kCorner), 0.0f});
    const float dy = std::max({kCorner - y, y - (1 - kCorner), 0.0f});
    return dx * dx + dy * dy <= kCorner * kCorner;
}

// Edges are covered by 4 x 4 samples a pixel, so the small picture stays smooth.
constexpr int kSamples = 4;

class Icon {
public:
    Icon() : pixels_(static_cast<std::size_t>(kWindowIconSize) * kWindowIconSize) {}

    // Paints `colour` over what is there (source over) where `shape` covers inside the outline;
    // `shade` may change the colour by height (a gradient).
    void Fill(const Inside& shape, Paint colour, const std::function<Paint(float y)>& shade = nullptr) {
        for (int py = 0; py < kWindowIconSize; ++py)
            for (int px = 0; px < kWindowIconSize; ++px) {
                int covered = 0;
                for (int sy = 0; sy < kSamples; ++sy)
                    for (int sx = 0; sx < kSamples; ++sx) {
                        const float x = (px + (sx + 0.5f) / kSamples) / kWindowIconSize;
                        const float y = (py + (sy + 0.5f) / kSamples) / kWindowIconSize;
                        covered += InsideOutline(x, y) && shape(x, y);
                    }
                if (covered == 0) continue;
                const Paint c = shade ? shade((py + 0.5f) / kWindowIconSize) : colour;
                Over(pixels_[static_cast<std::size_t>(py) * kWindowIconSize + px],
                     Paint{c.r, c.g, c.b, c.a * static_cast<float>(covered) / (kSamples * kSamples)});
            }
    }

    std::vector<std::uint32_t> Pixels() const {
        std::vector<std::uint32_t> out;
        out.reserve(pixels_.size());
        auto byte = [](float v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
        for (const Paint& p : pixels_) out.push_back(byte(p.a) << 24 | byte(p.r) << 16 | byte(p.g) << 8 | byte(p.b));
        return out;
    }

private:
    static void Over(Paint& under, const Paint& over) {
        const float a = over.a + under.a * (1 - over.a);
        if (a <= 0) return;
        auto mix = [&](float o, float u) { return (o * over.a + u * under.a * (1 - over.a)) / a; };
        under = {mix(over.r, under.r), mix(over.g, under.g), mix(over.b, under.b), a};
    }

    std::vector<Paint> pixels_;
};

}  // namespace

std::vector<std::uint32_t> DrawWindowIcon() {
    Icon icon;
    // The night sky, lighter towards the sea.
    icon.Fill([](float, float) { return true; }, {},
              [](float y) {
                  const Paint top = Rgb(0x141C38), bottom = Rgb(0x35507E);
                  return Paint{top.r + (bottom.r - top.r) * y, top.g + (bottom.g - top.g) * y,
                               top.b + (bottom.b - top.b) * y, 1.0f};
              });
    // The lantern's beams, faint, reaching out to both sides.
    const float lantern_y = 0.27f;
    icon.Fill(
        [&](float x, float y) {
            const float spread = std::abs(x - 0.5f) * 0.2f;
            return std::abs(x - 0.5f) > 0.06f && std::abs(y - lantern_y) <= 0.012f + spread;
        },
        Rgb(0xFFD978, 0.45f));
    // The rock the tower stands on.
    icon.Fill([](float x, float y) { return y >= 0.82f && y <= 0.93f - (x - 0.5f) * (x - 0.5f) * 0.8f; },
              Rgb(0x161A2A));
    // The white tower, narrowing upwards, with its two red bands and a shaded side.
    const float foot = 0.88f, top = 0.36f, half_foot = 0.12f, half_top = 0.075f;
    auto half_at = [&](float y) { return half_top + (half_foot - half_top) * (y - top) / (foot - top); };
    icon.Fill(Trapezoid(0.5f, top, foot, half_foot, half_top), Rgb(0xF4EEE4));
    for (const float band : {0.72f, 0.52f})
        icon.Fill(Trapezoid(0.5f, band - 0.07f, band, half_at(band), half_at(band - 0.07f)), Rgb(0xC8564B));
    icon.Fill([&](float x, float y) { return y >= top && y <= foot && x >= 0.5f + half_at(y) * 0.25f; },
              Rgb(0x1A1A40, 0.18f));
    // The gallery, the lit lantern room and the roof.
    icon.Fill(Box(0.5f - half_top * 1.5f, top - 0.03f, 0.5f + half_top * 1.5f, top + 0.005f), Rgb(0x2D3250));
    icon.Fill(Box(0.5f - half_top * 0.8f, lantern_y - 0.035f, 0.5f + half_top * 0.8f, top - 0.03f), Rgb(0xFFE7A8));
    icon.Fill(Trapezoid(0.5f, lantern_y - 0.10f, lantern_y - 0.035f, half_top * 1.1f, 0.0f), Rgb(0x2D3250));
    return icon.Pixels();
}

}  // namespace host
