#include "app/text_background.h"

#include "app/message_window.h"
#include "app/scene_views.h"
#include "app/settings.h"
#include "app/system_image.h"
#include "dxdraw/blend_params.h"

namespace {
// Where the window's background lies in the system image.
constexpr RECT kBackgroundArea{0, 40, 800, 240};
}  // namespace

void ApplyTextBackground(const SettingsBlockRecord& settings) {
    if (!GameMessageWindow) return;
    DxDraw::DxSurfaceSprite32& background = GameMessageWindow->Background();
    const std::uint8_t* colour = settings.base_color;  // red, green, blue, alpha
    background.FillRect(nullptr, 0x000000, 255);
    if (SystemImage) {
        // The copy keeps of each pixel only the base colour's share of red, green and blue.
        DxDraw::BlendParams tint;
        tint.flags = DxDraw::BLEND_CHANNEL_MASK | DxDraw::kColumnCopy;
        tint.channelMask = 0xFF000000u | std::uint32_t{colour[0]} << 16 | std::uint32_t{colour[1]} << 8 | colour[2];
        background.Blit(0, 0, SystemImage.Get(), &kBackgroundArea, nullptr, &tint);
    }
    background.Blend().flags = DxDraw::BLEND_SOURCE_ALPHA | DxDraw::kColumnFade;
    background.Blend().level = colour[3];
    background.Invalidate(DxDraw::kDirtyContents);
}
