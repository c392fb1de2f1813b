#include "tools/playtest/frame_check.h"

#include <algorithm>

#include "dxdraw/screen_surface.h"
#include "lib/text.h"

namespace playtest {

StaleArea FrameCheck::Compare(DxDraw::DxScreenSurface& screen, std::span<const std::uint32_t> shown) {
    const RECT& whole = screen.GetScreenRect();
    const int width = whole.Width(), height = whole.Height();
    StaleArea stale;
    if (width <= 0 || height <= 0 || shown.size() < static_cast<std::size_t>(width) * height) return stale;
    if (!scratch_) {
        scratch_ = DxDraw::CreateSurface(32);
        if (!scratch_ || !scratch_->SetSize(width, height)) return stale;
    }
    auto& composed = static_cast<DxDraw::DxSurface32&>(*scratch_);
    screen.ComposeWhole(composed);
    for (int y = 0; y < height; ++y) {
        const auto* want = reinterpret_cast<const std::uint32_t*>(composed.GetPixelAddress(0, y));
        const std::uint32_t* have = shown.data() + static_cast<std::size_t>(y) * width;
        if (std::equal(want, want + width, have)) continue;
        for (int x = 0; x < width; ++x) {
            if (want[x] == have[x]) continue;
            if (stale.pixels++ == 0)
                stale.rect = RECT{x, y, x + 1, y + 1};
            else
                stale.rect = UnionRect(stale.rect, RECT{x, y, x + 1, y + 1});
        }
    }
    return stale;
}

std::u16string DescribeStale(const StaleArea& stale) {
    const RECT& r = stale.rect;
    return Utf8ToUtf16("the screen differs from the views in (" + std::to_string(r.left) + ", " +
                       std::to_string(r.top) + ")-(" + std::to_string(r.right) + ", " + std::to_string(r.bottom) +
                       "), " + std::to_string(stale.pixels) + " pixels");
}

}  // namespace playtest
