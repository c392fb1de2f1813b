#include "title_start.h"

#include <thread>

namespace progtest {

namespace {

constexpr int kPictureHeight = 600;  // the game picture, below the menu bar
// Inside the button's picture at the sample game's title menu position (520, 300) + 48: its hover
// image is red where the normal one is blue.
constexpr Box kNewGameInside{540, 352, 40, 32};

}  // namespace

bool NewGameLit(const XClient& x, const Box& window) {
    const Pixels pixels =
        x.Grab(Box{window.x + kNewGameInside.x, window.y + window.height - kPictureHeight + kNewGameInside.y,
                   kNewGameInside.width, kNewGameInside.height});
    if (pixels.rgb.empty()) return false;
    std::size_t red = 0;
    for (const std::uint32_t p : pixels.rgb)
        if ((p >> 16 & 0xFF) >= (p & 0xFF) + 60) ++red;
    return red >= pixels.rgb.size() * 9 / 10;
}

bool StartNewGame(XClient& x, WindowId window, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        const Box at = x.Geometry(window);
        x.MovePointer(at.x + 644, at.y + at.height - kPictureHeight + 368);
        if (NewGameLit(x, at)) break;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    x.PressPointer(true);
    // Down over a frame of the program or two before it comes up.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    x.PressPointer(false);
    return true;
}

}  // namespace progtest
