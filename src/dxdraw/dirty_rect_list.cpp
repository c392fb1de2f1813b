#include "dxdraw/dirty_rect_list.h"

DirtyRectList::DirtyRectList(std::int32_t capacity) : rects_(static_cast<std::size_t>(capacity > 0 ? capacity : 1)) {}

void DirtyRectList::Reset(std::uint32_t mode) {
    mode_ = mode;
    count_ = 0;
    rects_[0] = RECT{};
}

std::int32_t DirtyRectList::Add(const RECT& rect) {
    if (count_ >= Capacity()) return count_;
    if (mode_ == kUnionMode) {
        rects_[0] = UnionRect(rects_[0], rect);
        count_ = 1;
        return count_;
    }
    for (std::int32_t i = 0; i < count_; ++i)
        if (RectContains(rects_[static_cast<std::size_t>(i)], rect)) return count_;
    for (std::int32_t i = 0; i < count_; ++i)
        if (RectContains(rect, rects_[static_cast<std::size_t>(i)])) rects_[static_cast<std::size_t>(i)] = RECT{};
    rects_[static_cast<std::size_t>(count_++)] = rect;
    return count_;
}
