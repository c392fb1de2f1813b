// Points and rectangles in pixels, shared by images, surfaces, views and sprites.
//
// A rectangle holds its left and top edges and the edges just past its right and bottom; it is
// empty unless left < right and top < bottom.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

struct POINT {
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend constexpr bool operator==(const POINT&, const POINT&) = default;
};

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    constexpr std::int32_t Width() const { return right - left; }
    constexpr std::int32_t Height() const { return bottom - top; }
    friend constexpr bool operator==(const RECT&, const RECT&) = default;
};

// A rectangle of the given size placed at (x, y), its edges worked out in 64 bits and held within
// 32 (places and sizes from data files may sum beyond them; wrapping would put it anywhere).
constexpr RECT PlacedRect(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height) {
    constexpr auto held = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                                  std::numeric_limits<std::int32_t>::max()));
    };
    return RECT{held(x), held(y), held(x + width), held(y + height)};
}

constexpr bool IsRectEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

// The common part of two rectangles; (0, 0, 0, 0) when they do not overlap.
constexpr RECT IntersectRect(const RECT& a, const RECT& b) {
    const RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    return IsRectEmpty(r) ? RECT{} : r;
}

// The smallest rectangle holding both; an empty rectangle adds nothing.
constexpr RECT UnionRect(const RECT& a, const RECT& b) {
    if (IsRectEmpty(a)) return IsRectEmpty(b) ? RECT{} : b;
    if (IsRectEmpty(b)) return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

constexpr RECT OffsetRect(const RECT& r, std::int32_t dx, std::int32_t dy) {
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// Right and bottom edges are outside.
constexpr bool PtInRect(const RECT& r, std::int32_t x, std::int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// True when outer holds all of inner.
constexpr bool RectContains(const RECT& outer, const RECT& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}
