// The edge record of the four-point drawing: one straight edge of a destination outline,
// walked row by row.
#pragma once

#include <cstdint>

namespace DxDraw {

struct EdgeWalker {
    static constexpr std::uint32_t kVertical = 1;    // x1 == x0
    static constexpr std::uint32_t kHorizontal = 2;  // y1 == y0

    double slopeDyDx = 0;
    double slopeDxDy = 0;
    std::uint32_t flags = 0;
    std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    void Init() { *this = EdgeWalker{}; }
    void Setup(std::int32_t fromX, std::int32_t fromY, std::int32_t toX, std::int32_t toY);
    // The edge's x on row y: x0 for a vertical or horizontal edge, else x0 + (y - y0) dx/dy
    // truncated toward zero.
    std::int32_t XAt(std::int32_t y) const;
};

}  // namespace DxDraw
