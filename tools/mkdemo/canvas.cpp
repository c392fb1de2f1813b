#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace mkdemo {

namespace {

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Plain length: the values here never come near overflow, so the careful hypot is not needed.
float Length(float x, float y) { return std::sqrt(x * x + y * y); }

// Coverage of a point at signed distance d for an edge of the given softness.
float Coverage(float d, float softness) {
    float t = Clamp01(0.5f - d / std::max(softness, 0.5f));
    return t * t * (3 - 2 * t);
}

void Over(Color& dst, const Color& src, float coverage) {
    float a = src.a * coverage;
    if (a <= 0) return;
    float outA = a + dst.a * (1 - a);
    if (outA <= 0) return;
    dst.r = (src.r * a + dst.r * dst.a * (1 - a)) / outA;
    dst.g = (src.g * a + dst.g * dst.a * (1 - a)) / outA;
    dst.b = (src.b * a + dst.b * dst.a * (1 - a)) / outA;
    dst.a = outA;
}

}  // namespace

Color Rgb(std::uint32_t rgb, float alpha) {
    return {((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, alpha};
}

Color Mix(const Color& a, const Color& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

float Mask::Sample(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return at(x, y);
}

void Mask::BoxBlur(int radius, int passes) {
    if (radius <= 0) return;
    std::vector<float> line;
    for (int pass = 0; pass < passes; ++pass) {
        for (int axis = 0; axis < 2; ++axis) {
            int length = axis == 0 ? width_ : height_;
            int lines = axis == 0 ? height_ : width_;
            line.resize(length);
            for (int l = 0; l < lines; ++l) {
                auto ref = [&](int i) -> float& { return axis == 0 ? at(i, l) : at(l, i); };
                for (int i = 0; i < length; ++i) line[i] = ref(i);
                float sum = 0;
                for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < length) ? line[i] : 0;
                for (int i = 0; i < length; ++i) {
                    ref(i) = sum / float(2 * radius + 1);
                    int out = i - radius, in = i + radius + 1;
                    if (out >= 0) sum -= line[out];
                    if (in < length) sum += line[in];
                }
            }
        }
    }
}

void Mask::Scale(float factor) {
    for (float& c : cover_) c = Clamp01(c * factor);
}

Shape Circle(Point c, float r) {
    return {[=](float x, float y) { return Length(x - c.x, y - c.y) - r; }, c.x - r, c.y - r, c.x + r, c.y + r};
}

namespace {

// Exact distance to an ellipse with semi-axes a and b, found by walking the evolute (a few
// Newton-like steps on the angle); an exact distance keeps soft edges even all round.
float EllipseDistance(float px, float py, float a, float b) {
    px = std::fabs(px), py = std::fabs(py);
    float t = std::atan2(py * a, px * b);
    for (int i = 0; i < 5; ++i) {
        float c = std::cos(t), s = std::sin(t);
        float x = a * c, y = b * s;
        float ex = (a * a - b * b) * c * c * c / a, ey = (b * b - a * a) * s * s * s / b;
        float rx = x - ex, ry = y - ey, qx = px - ex, qy = py - ey;
        float r = Length(rx, ry), q = std::max(Length(qx, qy), 1e-6f);
        float step = r * std::asin(std::clamp((rx * qy - ry * qx) / (r * q), -1.0f, 1.0f));
        t = std::clamp(t + step / std::max(std::sqrt(std::max(a * a + b * b - x * x - y * y, 1e-6f)), 1e-6f), 0.0f,
                       std::numbers::pi_v<float> / 2);
    }
    float d = Length(px - a * std::cos(t), py - b * std::sin(t));
    return (px * px) / (a * a) + (py * py) / (b * b) < 1 ? -d : d;
}

}  // namespace

Shape Ellipse(Point c, float rx, float ry) {
    return {[=](float x, float y) { return EllipseDistance(x - c.x, y - c.y, rx, ry); }, c.x - rx, c.y - ry, c.x + rx,
            c.y + ry};
}

Shape RoundRect(float l, float t, float r, float b, float radius) {
    float cx = (l + r) / 2, cy = (t + b) / 2, hx = (r - l) / 2 - radius, hy = (b - t) / 2 - radius;
    return {[=](float x, float y) {
                float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
                float outside = Length(std::max(qx, 0.0f), std::max(qy, 0.0f));
                return outside + std::min(std::max(qx, qy), 0.0f) - radius;
            },
            l, t, r, b};
}

Shape Polygon(std::vector<Point> p) {
    float l = std::numeric_limits<float>::max(), t = l, r = -l, b = -l;
    for (const Point& q : p) {
        l = std::min(l, q.x), r = std::max(r, q.x), t = std::min(t, q.y), b = std::max(b, q.y);
    }
    return {
        [p](float x, float y) {
            std::size_t n = p.size();
            float d = std::numeric_limits<float>::max();
            bool inside = false;
            for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
                float ex = p[j].x - p[i].x, ey = p[j].y - p[i].y;
                float wx = x - p[i].x, wy = y - p[i].y;
                float h = Clamp01((wx * ex + wy * ey) / std::max(ex * ex + ey * ey, 1e-6f));
                d = std::min(d, Length(wx - ex * h, wy - ey * h));
                if ((p[i].y > y) != (p[j].y > y) && x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x)
                    inside = !inside;
            }
            return inside ? -d : d;
        },
        l, t, r, b};
}

Shape Capsule(Point a, Point b, float radius) {
    return {[=](float x, float y) {
                float ex = b.x - a.x, ey = b.y - a.y, wx = x - a.x, wy = y - a.y;
                float h = Clamp01((wx * ex + wy * ey) / std::max(ex * ex + ey * ey, 1e-6f));
                return Length(wx - ex * h, wy - ey * h) - radius;
            },
            std::min(a.x, b.x) - radius, std::min(a.y, b.y) - radius, std::max(a.x, b.x) + radius,
            std::max(a.y, b.y) + radius};
}

Shape Union(const std::vector<Shape>& shapes) {
    Shape u{nullptr, 1e9f, 1e9f, -1e9f, -1e9f};
    for (const Shape& s : shapes) {
        u.left = std::min(u.left, s.left), u.top = std::min(u.top, s.top);
        u.right = std::max(u.right, s.right), u.bottom = std::max(u.bottom, s.bottom);
    }
    u.distance = [shapes](float x, float y) {
        float d = std::numeric_limits<float>::max();
        for (const Shape& s : shapes) d = std::min(d, s.distance(x, y));
        return d;
    };
    return u;
}

Shape Subtract(const Shape& keep, const Shape& cut) {
    Shape s = keep;
    s.distance = [keep, cut](float x, float y) { return std::max(keep.distance(x, y), -cut.distance(x, y)); };
    return s;
}

Canvas::Canvas(int width, int height, Color fill)
    : width_(width), height_(height), pixels_(std::size_t(width) * height, fill) {}

void Canvas::VerticalGradient(const std::vector<Color>& stops, int top, int bottom) {
    if (bottom < 0) bottom = height_;
    int span = std::max(bottom - top - 1, 1);
    for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y) {
        Color c = stops.front();
        if (stops.size() > 1) {
            float t = float(y - top) / span * float(stops.size() - 1);
            std::size_t i = std::min(std::size_t(t), stops.size() - 2);
            c = Mix(stops[i], stops[i + 1], t - float(i));
        }
        for (int x = 0; x < width_; ++x) at(x, y) = c;
    }
}

void Canvas::Glow(Point c, float radius, const Color& color) {
    int l = std::max(0, int(c.x - radius)), r = std::min(width_, int(c.x + radius) + 1);
    int t = std::max(0, int(c.y - radius)), b = std::min(height_, int(c.y + radius) + 1);
    for (int y = t; y < b; ++y) {
        for (int x = l; x < r; ++x) {
            float d = Length(x + 0.5f - c.x, y + 0.5f - c.y) / radius;
            if (d >= 1) continue;
            float w = (1 - d) * (1 - d) * color.a;
            Color& p = at(x, y);
            p.r = std::min(1.0f, p.r + color.r * w);
            p.g = std::min(1.0f, p.g + color.g * w);
            p.b = std::min(1.0f, p.b + color.b * w);
            p.a = std::max(p.a, std::min(1.0f, w));
        }
    }
}

template <class ColorAt>
void Canvas::PaintWith(const Shape& shape, float softness, ColorAt colorAt) {
    float pad = softness + 2;
    int l = std::max(0, int(std::floor(shape.left - pad))), r = std::min(width_, int(std::ceil(shape.right + pad)));
    int t = std::max(0, int(std::floor(shape.top - pad))), b = std::min(height_, int(std::ceil(shape.bottom + pad)));
    // Distances change by at most one pixel per pixel, so one sample at a block's centre tells
    // whether the whole block lies clear inside or outside the edge.
    constexpr int kBlock = 8;
    const float reach = kBlock * 0.7072f + softness;
    for (int by = t; by < b; by += kBlock) {
        for (int bx = l; bx < r; bx += kBlock) {
            int ex = std::min(bx + kBlock, r), ey = std::min(by + kBlock, b);
            float d = shape.distance((bx + ex) * 0.5f, (by + ey) * 0.5f);
            if (d > reach) continue;
            bool solid = d < -reach;
            for (int y = by; y < ey; ++y) {
                for (int x = bx; x < ex; ++x) {
                    float c = solid ? 1.0f : Coverage(shape.distance(x + 0.5f, y + 0.5f), softness);
                    if (c > 0) Over(at(x, y), colorAt(x, y), c);
                }
            }
        }
    }
}

void Canvas::Paint(const Shape& shape, const Color& color, float softness) {
    PaintWith(shape, softness, [&](int, int) { return color; });
}

void Canvas::PaintGradient(const Shape& shape, const Color& top, const Color& bottom, float softness) {
    float span = std::max(shape.bottom - shape.top, 1.0f);
    PaintWith(shape, softness, [&](int, int y) { return Mix(top, bottom, Clamp01((y - shape.top) / span)); });
}

void Canvas::PaintMask(const Mask& mask, int ox, int oy, const Color& color) {
    for (int y = 0; y < mask.height(); ++y) {
        int dy = y + oy;
        if (dy < 0 || dy >= height_) continue;
        for (int x = 0; x < mask.width(); ++x) {
            int dx = x + ox;
            if (dx < 0 || dx >= width_) continue;
            float c = mask.at(x, y);
            if (c > 0) Over(at(dx, dy), color, c);
        }
    }
}

void Canvas::Draw(const Canvas& source, int ox, int oy, float opacity) {
    for (int y = 0; y < source.height(); ++y) {
        int dy = y + oy;
        if (dy < 0 || dy >= height_) continue;
        for (int x = 0; x < source.width(); ++x) {
            int dx = x + ox;
            if (dx < 0 || dx >= width_) continue;
            Over(at(dx, dy), source.at(x, y), opacity);
        }
    }
}

void Canvas::CopyFrom(const Canvas& source, int sx, int sy, int w, int h, int dx, int dy) {
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int fx = sx + x, fy = sy + y, tx = dx + x, ty = dy + y;
            if (fx < 0 || fy < 0 || fx >= source.width() || fy >= source.height()) continue;
            if (tx < 0 || ty < 0 || tx >= width_ || ty >= height_) continue;
            at(tx, ty) = source.at(fx, fy);
        }
    }
}

void Canvas::Grain(float amount, std::uint32_t seed) {
    Random random(seed);
    for (Color& p : pixels_) {
        float n = random.Uniform(-amount, amount);
        p.r = Clamp01(p.r + n), p.g = Clamp01(p.g + n), p.b = Clamp01(p.b + n);
    }
}

Canvas Canvas::Reduced(int w, int h) const {
    Canvas out(w, h);
    for (int y = 0; y < h; ++y) {
        int y0 = y * height_ / h, y1 = std::max(y0 + 1, (y + 1) * height_ / h);
        for (int x = 0; x < w; ++x) {
            int x0 = x * width_ / w, x1 = std::max(x0 + 1, (x + 1) * width_ / w);
            Color sum{0, 0, 0, 0};
            float weight = 0;
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) {
                    const Color& p = at(sx, sy);
                    sum.r += p.r * p.a, sum.g += p.g * p.a, sum.b += p.b * p.a, sum.a += p.a;
                    weight += 1;
                }
            }
            Color& o = out.at(x, y);
            o.a = sum.a / weight;
            if (sum.a > 0) o.r = sum.r / sum.a, o.g = sum.g / sum.a, o.b = sum.b / sum.a;
        }
    }
    return out;
}

void Canvas::Fade(float opacity) {
    for (Color& p : pixels_) p.a *= opacity;
}

std::uint32_t Random::Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

float Random::Uniform(float low, float high) { return low + (high - low) * float(Next() % 1000001) / 1000000.0f; }

float ValueNoise(float x, float y, std::uint32_t seed) {
    auto hash = [seed](int ix, int iy) {
        std::uint32_t h = std::uint32_t(ix) * 374761393u + std::uint32_t(iy) * 668265263u + seed * 2246822519u;
        h = (h ^ (h >> 13)) * 1274126177u;
        return float((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
    };
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    float fx = x - ix, fy = y - iy;
    fx = fx * fx * (3 - 2 * fx), fy = fy * fy * (3 - 2 * fy);
    float top = hash(ix, iy) + (hash(ix + 1, iy) - hash(ix, iy)) * fx;
    float bottom = hash(ix, iy + 1) + (hash(ix + 1, iy + 1) - hash(ix, iy + 1)) * fx;
    return top + (bottom - top) * fy;
}

}  // namespace mkdemo
