#include "app/screen_sprite.h"

#include "app/frame_step.h"
#include "dxdraw/screen_surface.h"

OwnedView<DxDraw::DxSprite> NewScreenSprite(DxDraw::DxSurface* surface, std::uint32_t flags, const TEXANIM* source,
                                            POINT at) {
    OwnedView<DxDraw::DxSprite> sprite(new DxDraw::DxSprite(surface, source, flags));
    sprite->SetPosition(at.x, at.y);
    if (ScreenSurface) ScreenSurface->Add(sprite.get());
    return sprite;
}

void SetBlendLevel(DxDraw::DxSprite& sprite, std::uint32_t flags, std::int32_t level) {
    sprite.SetBlendFlags(flags);
    sprite.SetLevel(static_cast<std::uint32_t>(level));
}
