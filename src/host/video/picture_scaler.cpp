#include "host/video/picture_scaler.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace host {
namespace {

// First target offset (from the area's edge) whose sample index is `source` or more, for a span
// of `target_size` pixels showing `source_size` samples: offset t samples floor(t * source_size /
// target_size), which reaches `source` once t * source_size >= source * target_size.
int FirstTargetFor(long long source, long long source_size, long long target_size) {
    return static_cast<int>((source * target_size + source_size - 1) / source_size);
}

}  // namespace

Rect PictureScaler::Scale(const std::uint32_t* picture, int picture_pitch, const PixelPlane& target, const Rect& area,
                          const Rect& changed) {
    const Rect part = Intersect(changed, Rect{0, 0, kGameWidth, kGameHeight});
    if (part.empty() || area.empty()) return Rect{};
    const int aw = area.width(), ah = area.height();
    Rect out{area.left + FirstTargetFor(part.left, kGameWidth, aw),
             area.top + FirstTargetFor(part.top, kGameHeight, ah),
             area.left + FirstTargetFor(part.right, kGameWidth, aw),
             area.top + FirstTargetFor(part.bottom, kGameHeight, ah)};
    out = Intersect(out, Intersect(area, Rect{0, 0, target.width, target.height}));
    if (out.empty()) return Rect{};

    const auto* source_bytes = reinterpret_cast<const std::uint8_t*>(picture);
    auto* target_bytes = reinterpret_cast<std::uint8_t*>(target.pixels);
    const int columns = out.width();
    auto source_row = [&](int y) {
        const long long sy = static_cast<long long>(y - area.top) * kGameHeight / ah;
        return reinterpret_cast<const std::uint32_t*>(source_bytes + sy * picture_pitch);
    };
    auto target_row = [&](int y) {
        return reinterpret_cast<std::uint32_t*>(target_bytes + static_cast<std::ptrdiff_t>(y) * target.pitch) +
               out.left;
    };

    if (aw == kGameWidth) {  // one to one across: whole rows at once
        for (int y = out.top; y < out.bottom; ++y)
            std::memcpy(target_row(y), source_row(y) + (out.left - area.left), static_cast<std::size_t>(columns) * 4);
        return out;
    }
    if (column_source_.size() != static_cast<std::size_t>(aw)) {
        column_source_.resize(static_cast<std::size_t>(aw));
        for (int t = 0; t < aw; ++t)
            column_source_[static_cast<std::size_t>(t)] = static_cast<int>(static_cast<long long>(t) * kGameWidth / aw);
    }
    const int* column_source = column_source_.data() + (out.left - area.left);
    const std::uint32_t* previous_from = nullptr;
    for (int y = out.top; y < out.bottom; ++y) {
        const std::uint32_t* from = source_row(y);
        std::uint32_t* to = target_row(y);
        if (from == previous_from) {  // enlarged: the row above took the same picture row
            std::memcpy(to, target_row(y - 1), static_cast<std::size_t>(columns) * 4);
            continue;
        }
        for (int i = 0; i < columns; ++i) to[i] = from[column_source[i]];
        previous_from = from;
    }
    return out;
}

}  // namespace host
