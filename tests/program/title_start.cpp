#include "title_start.h"

#include <thread>

namespace progtest {

namespace {

constexpr int kPictureHeight = 600;  // the game picture, below the menu bar
constexpr int kMenuX = 520, kMenuY = 300, kRowPitch = 48;

// A patch inside the button's picture, whose hover image is red where the normal one is blue.
bool ButtonLit(const XClient& x, const Box& window, int row) {
    const Pixels pixels = x.Grab(
        Box{window.x + kMenuX + 20, window.y + window.height - kPictureHeight + kMenuY + kRowPitch * row + 4, 40, 32});
    if (pixels.rgb.empty()) return false;
    std::size_t red = 0;
    for (const std::uint32_t p : pixels.rgb)
        if ((p >> 16 & 0xFF) >= (p & 0xFF) + 60) ++red;
    return red >= pixels.rgb.size() * 9 / 10;
}

}  // namespace

bool MenuButtonLit(const XClient& x, WindowId window, int row) { return ButtonLit(x, x.Geometry(window), row); }

bool ClickMenuButton(XClient& x, WindowId window, int row, std::chrono::milliseconds deadline,
                     std::chrono::milliseconds hold) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        const Box at = x.Geometry(window);
        x.MovePointer(at.x + kMenuX + 124, at.y + at.height - kPictureHeight + kMenuY + kRowPitch * row + 20);
        if (ButtonLit(x, at, row)) break;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    x.PressPointer(true);
    std::this_thread::sleep_for(hold);
    x.PressPointer(false);
    return true;
}

}  // namespace progtest
