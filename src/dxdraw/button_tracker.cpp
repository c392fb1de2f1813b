#include "dxdraw/button_tracker.h"

#include "dxdraw/draw_view.h"
#include "lib/utility.h"

std::int32_t ButtonTracker::Update(const RECT* rects, int count, int x, int y, DrawView* view) {
    if (view) {
        POINT p{x, y};
        view->ScreenToLocal(&p, 1);
        x = p.x;
        y = p.y;
    }
    changed = 0;
    hit = FindRectAtPoint(rects, count, x, y);
    if (hit >= 0) {
        if (hit == lastHit && x == lastX && y == lastY) return current;
        previous = current;
        current = hit;
        changed = previous != hit ? 1 : 0;
        lastHit = hit;
        return hit;
    }
    if (lastHit != -1) {
        previous = current;
        lastHit = -1;
        current = -1;
        changed = 1;
    }
    lastX = x;
    lastY = y;
    return current;
}
