// A sprite over everything on the screen, owned by the screen or wait that shows it.
#pragma once

#include <cstdint>

#include "app/owned_view.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/rect.h"
#include "dxdraw/texanim.h"

// A sprite of `source` of the surface (which must outlive it; no source: the whole surface, no
// surface: nothing shown until one is given) at `at` with these blend flags, added last to the
// screen view, so that it draws over the scene and every earlier sprite. Without a screen view (no
// display) it stays outside the tree.
OwnedView<DxDraw::DxSprite> NewScreenSprite(DxDraw::DxSurface* surface, std::uint32_t flags = 0,
                                            const TEXANIM* source = nullptr, POINT at = {0, 0});

// The sprite's blend flags and level (0 to 255) set, and the sprite marked to be drawn anew with
// them at the next frame: a fade step.
void SetBlendLevel(DxDraw::DxSprite& sprite, std::uint32_t flags, std::int32_t level);
