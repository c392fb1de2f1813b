// The rectangles of the screen that changed in one frame, gathered by the dirty pass.
#pragma once

#include <cstdint>
#include <vector>

#include "dxdraw/rect.h"

class DirtyRectList {
public:
    // 0 unites every rectangle into one; any other mode keeps them apart.
    enum : std::uint32_t { kUnionMode = 0, kSeparateMode = 1 };

    explicit DirtyRectList(std::int32_t capacity);

    void Reset(std::uint32_t mode);
    // Returns the count. A full list drops the rectangle. In separate mode a rectangle inside
    // an entry adds nothing, and entries inside the new rectangle are emptied (they stay).
    std::int32_t Add(const RECT& rect);

    std::int32_t Count() const { return count_; }
    std::int32_t Capacity() const { return static_cast<std::int32_t>(rects_.size()); }
    std::uint32_t Mode() const { return mode_; }
    RECT& operator[](std::int32_t i) { return rects_[static_cast<std::size_t>(i)]; }
    const RECT& operator[](std::int32_t i) const { return rects_[static_cast<std::size_t>(i)]; }

private:
    std::vector<RECT> rects_;
    std::int32_t count_ = 0;
    std::uint32_t mode_ = kUnionMode;
};
