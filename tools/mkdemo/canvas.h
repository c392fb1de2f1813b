// A small painter's canvas for the sample game's pictures.
//
// Pictures are painted in linear-ish float RGBA (straight alpha) and written out as PNG, JPEG or
// BMP. Shapes are described by signed distance functions and painted through a coverage mask
// whose edge width is the shape's softness, so every silhouette has a soft, anti-aliased edge.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mkdemo {

struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};

// 0xRRGGBB with an optional opacity.
Color Rgb(std::uint32_t rgb, float alpha = 1.0f);
Color Mix(const Color& a, const Color& b, float t);

struct Point {
    float x = 0, y = 0;
};

// One channel of coverage, 0 to 1.
class Mask {
public:
    Mask(int width, int height) : width_(width), height_(height), cover_(std::size_t(width) * height, 0.0f) {}
    int width() const { return width_; }
    int height() const { return height_; }
    float& at(int x, int y) { return cover_[std::size_t(y) * width_ + x]; }
    float at(int x, int y) const { return cover_[std::size_t(y) * width_ + x]; }
    // Coverage outside the mask reads as 0.
    float Sample(int x, int y) const;
    void BoxBlur(int radius, int passes = 3);
    void Scale(float factor);

private:
    int width_, height_;
    std::vector<float> cover_;
};

// A signed distance field: negative inside, positive outside, in pixels.
using Sdf = std::function<float(float x, float y)>;

struct Shape {
    Sdf distance;
    // Bounding box of the inside, used to limit work; softness is added around it.
    float left, top, right, bottom;
};

Shape Circle(Point centre, float radius);
Shape Ellipse(Point centre, float rx, float ry);
Shape RoundRect(float left, float top, float right, float bottom, float radius);
Shape Polygon(std::vector<Point> points);
Shape Capsule(Point a, Point b, float radius);
// Union of shapes (minimum of the distances).
Shape Union(const std::vector<Shape>& shapes);
// The first shape with the second cut away.
Shape Subtract(const Shape& keep, const Shape& cut);

class Canvas {
public:
    Canvas(int width, int height, Color fill = {0, 0, 0, 0});
    int width() const { return width_; }
    int height() const { return height_; }
    Color& at(int x, int y) { return pixels_[std::size_t(y) * width_ + x]; }
    const Color& at(int x, int y) const { return pixels_[std::size_t(y) * width_ + x]; }

    // Vertical gradient through evenly spaced colour stops over the rows top..bottom.
    void VerticalGradient(const std::vector<Color>& stops, int top = 0, int bottom = -1);
    // Radial glow added over the picture: colour weighted by a smooth falloff.
    void Glow(Point centre, float radius, const Color& color);
    // Paints colour over the picture through a shape with the given edge softness.
    void Paint(const Shape& shape, const Color& color, float softness = 1.0f);
    // Paints with a vertical gradient inside the shape (top colour to bottom colour over the box).
    void PaintGradient(const Shape& shape, const Color& top, const Color& bottom, float softness = 1.0f);
    // Paints colour over the picture through a coverage mask placed at (x, y).
    void PaintMask(const Mask& mask, int x, int y, const Color& color);
    // Places another canvas over this one at (x, y), with source-over compositing.
    void Draw(const Canvas& source, int x, int y, float opacity = 1.0f);
    // Copies a rectangle of another canvas exactly (no blending).
    void CopyFrom(const Canvas& source, int sx, int sy, int w, int h, int dx, int dy);
    // Fine grain that keeps large gradients from banding.
    void Grain(float amount, std::uint32_t seed);
    // Area-averaged reduction to a smaller size.
    Canvas Reduced(int width, int height) const;
    // Multiplies the alpha of every pixel.
    void Fade(float opacity);

private:
    template <class ColorAt>
    void PaintWith(const Shape& shape, float softness, ColorAt colorAt);

    int width_, height_;
    std::vector<Color> pixels_;
};

// Deterministic pseudo-random numbers for scattering stars, leaves and sparkles.
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
    std::uint32_t Next();
    float Uniform(float low, float high);

private:
    std::uint32_t state_;
};

// Smooth value noise in [0, 1].
float ValueNoise(float x, float y, std::uint32_t seed);

}  // namespace mkdemo
