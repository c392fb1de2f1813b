// The check of the option --check-frames: after every drawn frame the whole view tree, composed
// afresh, is compared with the picture the window shows. A difference is a change of a view that
// never reached the screen (a level, a position, a picture or a visibility changed without the
// view being made dirty): the player sees the old picture there until something else repaints it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "dxdraw/dxsurface.h"
#include "lib/combase.h"

namespace DxDraw {
class DxScreenSurface;
}

namespace playtest {

struct StaleArea {
    RECT rect;       // the smallest rectangle holding every pixel that differs; empty when none does
    int pixels = 0;  // how many differ

    friend bool operator==(const StaleArea&, const StaleArea&) = default;
};

class FrameCheck {
public:
    // Compares `shown`, the window's picture in rows of the screen's width, with the tree of
    // `screen` as it stands.
    StaleArea Compare(DxDraw::DxScreenSurface& screen, std::span<const std::uint32_t> shown);

private:
    ComPtr<DxDraw::DxSurface> scratch_;  // the composed picture, made at the first compare
};

// The log's text of a stale area: "the screen differs from the views in (L, T)-(R, B), N pixels".
std::u16string DescribeStale(const StaleArea& stale);

}  // namespace playtest
