// Stretched copies: one scaling pass per axis, each averaging (shrinking) or repeating
// (enlarging) whole columns or rows.
#include <array>

#include "dxdraw/dxsurface.h"
#include "dxdraw/span_pixels.h"

namespace DxDraw {
namespace {

// Scales `area` of src along one axis to newSize pixels. Shrinking: new pixel i averages the
// source pixels from floor(i n / newSize) up to, not including, floor((i + 1) n / newSize),
// each byte on its own, the sum divided by the count; enlarging: pixel floor(i n / newSize).
ComPtr<DxSurface> ScaleAxis(int newSize, const DxImage* src, const RECT* srcRect, bool horizontal) {
    if (!src || !src->HasPixels() || src->GetBitCount() != 32 || newSize < 1) return nullptr;
    const RECT area = IntersectRect(srcRect ? *srcRect : ImageRect(*src), ImageRect(*src));
    if (IsRectEmpty(area)) return nullptr;
    const std::int64_t n = horizontal ? area.Width() : area.Height();
    const int across = horizontal ? area.Height() : area.Width();
    ComPtr<DxSurface> out = CreateSurface(32);
    if (!out || !out->SetSize(horizontal ? newSize : area.Width(), horizontal ? area.Height() : newSize))
        return nullptr;

    const auto sourcePixel = [&](std::int64_t along, int line) {
        return horizontal ? src->GetPixelAddress(area.left + static_cast<int>(along), area.top + line)
                          : src->GetPixelAddress(area.left + line, area.top + static_cast<int>(along));
    };
    for (int line = 0; line < across; ++line) {
        for (int i = 0; i < newSize; ++i) {
            std::uint8_t* target = horizontal ? out->GetPixelAddress(i, line) : out->GetPixelAddress(line, i);
            const std::int64_t first = i * n / newSize;
            if (newSize > n) {
                StorePixel(target, LoadPixel(sourcePixel(first, line)));
                continue;
            }
            const std::int64_t end = (i + 1) * n / newSize;
            std::array<std::uint32_t, 4> sums{};
            for (std::int64_t k = first; k < end; ++k) {
                const std::uint8_t* p = sourcePixel(k, line);
                for (int b = 0; b < 4; ++b) sums[b] += p[b];
            }
            const auto count = static_cast<std::uint32_t>(end - first);
            std::uint32_t pixel = 0;
            for (int b = 0; b < 4; ++b) pixel |= (sums[b] / count) << (8 * b);
            StorePixel(target, pixel);
        }
    }
    return out;
}

}  // namespace

ComPtr<DxSurface> ScaleSurfaceX(int newWidth, const DxImage* src, const RECT* srcRect) {
    return ScaleAxis(newWidth, src, srcRect, true);
}

ComPtr<DxSurface> ScaleSurfaceY(int newHeight, const DxImage* src, const RECT* srcRect) {
    return ScaleAxis(newHeight, src, srcRect, false);
}

void DxSurface32::StretchCopy(const RECT* dstRect, const DxImage* src, const RECT* srcRect) {
    if (!src || !src->HasPixels()) return;
    const RECT to = dstRect ? *dstRect : GetSurfaceRect();
    const RECT from = IntersectRect(srcRect ? *srcRect : ImageRect(*src), ImageRect(*src));
    if (IsRectEmpty(to) || IsRectEmpty(from)) return;
    ComPtr<DxSurface> wide;
    if (to.Width() == from.Width()) {
        wide = CreateSurface(32);
        if (!wide || !wide->SetSize(from.Width(), from.Height())) return;
        wide->Blit(0, 0, src, &from, nullptr, nullptr);
    } else {
        wide = ScaleSurfaceX(to.Width(), src, &from);
    }
    if (!wide) return;
    ComPtr<DxSurface> tall = to.Height() == from.Height() ? wide : ScaleSurfaceY(to.Height(), wide.Get(), nullptr);
    if (tall) Blit(to.left, to.top, tall.Get(), nullptr, nullptr, nullptr);
}

}  // namespace DxDraw
