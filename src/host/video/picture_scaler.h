// Puts the game picture (or a changed part of it) into a window's pixels, scaled by nearest
// sampling to the area it occupies there. Each target pixel takes the picture pixel under it in
// one fixed mapping of the whole area, so drawing a part gives exactly the pixels a whole draw
// would: the window can be updated piece by piece without seams.
#pragma once

#include <cstdint>

#include "host/video/window.h"

namespace host {

struct PixelPlane {
    std::uint32_t* pixels = nullptr;  // top row
    int pitch = 0;                    // bytes from one row to the next
    int width = 0, height = 0;
};

// Copies the part of `picture` (kGameWidth x kGameHeight, 32-bit words) that `changed` covers
// into `area` of `target` (clipped to the target). Returns the target pixels written, in target
// coordinates (empty when nothing was).
Rect ScalePicture(const std::uint32_t* picture, int picture_pitch, const PixelPlane& target, const Rect& area,
                  const Rect& changed);

}  // namespace host
