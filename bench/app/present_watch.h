// The frames a window presents, seen from another X client: the X server's Damage extension
// reports every rectangle a client draws into the window, and a thread of the watcher stamps each
// report as it arrives. One present of the game writes its changed rectangles one request after
// another and then waits for the server, so its reports arrive together; a gap of more than
// kPresentGapMs between two reports starts the next present.
//
// Why Damage and not the pixels: reading the 800x600 picture back takes milliseconds and sees
// only the frames that happen to be there when it looks, so a dropped frame between two reads is
// invisible. Damage sees every present, stamped within the time the server takes to hand the event
// over (well under a millisecond on an idle server, the same for the game and the bare window).
#pragma once

#include <chrono>
#include <memory>
#include <vector>

#include "x_client.h"

namespace framebench {

using Clock = std::chrono::steady_clock;

// Reports closer together than this belong to one present (a present's rectangles come within
// microseconds; two frames at 60 Hz lie 16.7 ms apart).
inline constexpr double kPresentGapMs = 1.0;

// One present: when its first report arrived and the bounds of what it changed (window pixels).
struct Present {
    Clock::time_point at;
    progtest::Box bounds;
    long area = 0;  // the sum of its rectangles' areas
};

class PresentWatch {
public:
    // Starts watching `window` on a connection of its own; throws std::runtime_error without
    // the Damage extension.
    explicit PresentWatch(progtest::WindowId window);
    ~PresentWatch();
    PresentWatch(const PresentWatch&) = delete;
    PresentWatch& operator=(const PresentWatch&) = delete;

    // The presents seen so far, oldest first.
    std::vector<Present> Presents() const;
    // The presents since `since`.
    std::vector<Present> PresentsSince(Clock::time_point since) const;

private:
    struct Loop;
    std::unique_ptr<Loop> loop_;
};

}  // namespace framebench
