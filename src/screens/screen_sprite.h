// Sprites of the screens outside the story, which stand directly in the screen view above every
// scene layer and are owned by the screen that made them.
#pragma once

#include <cstdint>

#include "app/frame_step.h"
#include "app/owned_view.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/screen_surface.h"

// A sprite on `surface` (which must outlive it) at (x, y), added last to the screen view so that it
// draws over everything there; destroyed with its owner.
inline OwnedView<DxDraw::DxSprite> AddScreenSprite(DxDraw::DxSurface* surface, const TEXANIM* source, int x = 0,
                                                   int y = 0, std::uint32_t flags = 0) {
    OwnedView<DxDraw::DxSprite> sprite(new DxDraw::DxSprite(surface, source, flags));
    sprite->SetPosition(x, y);
    if (ScreenSurface) ScreenSurface->Add(sprite.get());
    return sprite;
}
