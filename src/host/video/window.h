// The game window as the engine sees it: a picture to present, messages to dispatch, keyboard
// and mouse snapshots, display modes and frame pacing.
//
// Two implementations stand behind it: the SDL window (sdl_window.h, real display) and the test
// host's scripted window (host/testhost). Nothing here names SDL, so engine code can include it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace host {

// Size of the game picture in pixels.
inline constexpr int kGameWidth = 800;
inline constexpr int kGameHeight = 600;

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return left >= right || top >= bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Intersection; empty when the two do not overlap.
Rect Intersect(const Rect& a, const Rect& b);
// The smallest rectangle holding both (two non-empty rectangles).
Rect Bounds(const Rect& a, const Rect& b);

struct DisplayMode {
    int width = 0, height = 0, bits = 0, refresh = 0;
    friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

// The few window messages the window procedure handles, numbered as its code expects them.
enum : unsigned {
    kMsgActivate = 0x0006,  // w: 1 active, 0 inactive
    kMsgPaint = 0x000F,     // WindowMessage::rect: the area to repaint, in game pixels
    kMsgClose = 0x0010,
    kMsgQuit = 0x0012,         // the session or a signal (SIGINT, SIGTERM) ends the program: no question asked
    kMsgActivateApp = 0x001C,  // w: 1 activated, 0 deactivated
    kMsgChar = 0x0102,         // w: one UTF-16 unit, l: repeat count 1
    kMsgCommand = 0x0111,      // w: command id (menu pick or accelerator)
    kMsgMouseMove = 0x0200,    // l: x | y << 16 in window pixels (the top edge is y 0 in full screen)
    kMsgMouseWheel = 0x020A,   // w: wheel delta (120 a notch) in the high word
};

struct WindowMessage {
    unsigned message = 0;
    std::uintptr_t w = 0;
    std::intptr_t l = 0;
    Rect rect;  // the paint area of kMsgPaint
};

// Receives the messages of a window; dispatched from the engine's own loop only.
class WindowProcedure {
public:
    virtual ~WindowProcedure() = default;
    virtual std::intptr_t WindowProc(const WindowMessage& message) = 0;
};

// One mouse read: buttons 0 left, 1 right, 2 middle; movement and wheel since the last read
// (wheel in 120ths of a notch, positive away from the player).
struct MouseReading {
    bool buttons[3] = {};
    int dx = 0, dy = 0, dz = 0;
};

class Window {
public:
    virtual ~Window() = default;

    // Copies the given rectangles of a 800x600 picture to the window and shows it. `pixels` is
    // the top row; row y starts `y * pitch` bytes after it (a negative pitch: bottom row first).
    // Pixels are 32-bit words 0xAARRGGBB, alpha ignored. Rectangles are clipped to the picture.
    virtual void Present(const std::uint32_t* pixels, int pitch, std::span<const Rect> rects) = 0;

    // Switches between desktop full screen and the window; false (and no change) on failure.
    virtual bool SetFullScreen(bool on) = 0;
    virtual bool IsFullScreen() const = 0;
    // The modes the display offers (the game size among them when full screen can show it),
    // and its refresh rate in Hz (0 when unknown).
    virtual std::vector<DisplayMode> DisplayModes() const = 0;
    virtual int RefreshRate() const = 0;

    // The menu bar: always above the picture in a window; on demand at the top edge in full screen.
    virtual void ShowMenuBar(bool shown) = 0;
    virtual bool MenuBarShown() const = 0;

    // Takes the next message without waiting; false when there is none.
    virtual bool PeekMessage(WindowMessage& out) = 0;
    // Blocks until a message may be ready (used while the application is inactive).
    virtual void WaitMessage() = 0;
    // Queues a message for the engine's loop (menu commands, a close request).
    virtual void PostMessage(const WindowMessage& message) = 0;

    // Snapshots, one a frame. A read fails (false) while the window has no input focus. The real
    // window loses no press between two reads: one let go before the next read reads as down at
    // that read and as up at the one after (the test host's keys are states set by the test).
    virtual bool ReadKeyboard(std::uint8_t (&keys)[256]) = 0;  // bit 7 set: key down; by scan code
    virtual bool ReadMouse(MouseReading& out) = 0;
    // Pointer position in game pixels (may lie outside 0..799 x 0..599).
    virtual void CursorPosition(int& x, int& y) const = 0;

    // Waits for the next frame: the display refresh or a 60 Hz deadline.
    virtual void PaceFrame() = 0;
};

}  // namespace host
