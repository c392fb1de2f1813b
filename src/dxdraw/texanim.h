// The source record of a sprite: the size drawn on screen, the hot spot (the point of the
// picture placed at the sprite's position) and the rectangle within the surface. Static
// layout tables of buttons and pictures use it too.
#pragma once

#include <cstdint>

#include "dxdraw/rect.h"

struct TEXANIM {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t hotX = 0;
    std::int16_t hotY = 0;
    RECT source;
    std::uint32_t reserved = 0;

    friend constexpr bool operator==(const TEXANIM&, const TEXANIM&) = default;
};
