// Puts the game picture (or a changed part of it) into a window's pixels, scaled by nearest
// sampling to the area it occupies there. Each target pixel takes the picture pixel under it in
// one fixed mapping of the whole area, so drawing a part gives exactly the pixels a whole draw
// would: the window can be updated piece by piece without seams.
#pragma once

#include <cstdint>
#include <vector>

#include "host/video/window.h"

namespace host {

struct PixelPlane {
    std::uint32_t* pixels = nullptr;  // top row
    int pitch = 0;                    // bytes from one row to the next
    int width = 0, height = 0;
};

// Keeps the picture column of every column of the last area width, so that the copies of one
// size (every frame of the full screen) neither compute nor allocate the mapping again.
class PictureScaler {
public:
    // Copies the part of `picture` (kGameWidth x kGameHeight, 32-bit words) that `changed` covers
    // into `area` of `target` (clipped to the target). Returns the target pixels written, in
    // target coordinates (empty when nothing was).
    Rect Scale(const std::uint32_t* picture, int picture_pitch, const PixelPlane& target, const Rect& area,
               const Rect& changed);

private:
    std::vector<int> column_source_;  // for each column of the area, the picture column it shows
};

}  // namespace host
