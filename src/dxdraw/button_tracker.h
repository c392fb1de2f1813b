// Turns the pointer position into the selected button of a screen.
#pragma once

#include <cstdint>

#include "dxdraw/rect.h"

class DrawView;

// Index of the first rectangle holding the point (right and bottom edges outside), or -1.

struct ButtonTracker {
    std::int32_t hit = -2;  // hit index of this update
    std::int32_t lastHit = -2;
    std::int32_t previous = -1;  // previous selection
    std::int32_t current = -1;   // current selection, -1 none
    std::int32_t changed = 0;
    std::int32_t lastX = -1;  // pointer position when it last left every button
    std::int32_t lastY = -1;

    void Reset() { *this = ButtonTracker{}; }
    // (x, y) in screen pixels, made local to view when one is given. Returns the current
    // selection; a selection made by other means (keys) survives while the pointer rests on
    // the same button without moving.
    std::int32_t Update(const RECT* rects, int count, int x, int y, DrawView* view);
};
