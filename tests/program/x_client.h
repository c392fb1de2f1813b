// Another X client's view of a program's window: found by the process that made it, its pixels
// read back from the screen, and driven with input synthesised through the XTEST extension, as a
// player's keyboard and a window manager would. The game program's window tests and its start-up
// benchmark watch the game from outside through it. Xlib's headers stay in the .cpp: their macros
// Bool and None clash with GoogleTest's names.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

struct _XDisplay;

namespace progtest {

using WindowId = unsigned long;  // an X window (XID); 0 for none

// A rectangle in screen (root window) pixels.
struct Box {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Box&) const = default;
};

// What the screen shows in a box, as 0xRRGGBB row by row; empty when it could not be read.
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb;

    std::uint32_t At(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
};

// A window's icon as the window manager gets it (_NET_WM_ICON): 0xAARRGGBB row by row.
struct Icon {
    int width = 0, height = 0;
    std::vector<std::uint32_t> argb;

    std::uint32_t At(int x, int y) const { return argb[static_cast<std::size_t>(y) * width + x]; }
};

// X keysyms (X11/keysymdef.h) of the keys the tests press.
enum Key : unsigned long {
    kKeyReturn = 0xFF0D,
    kKeyEscape = 0xFF1B,
    kKeyDown = 0xFF54,
    kKeyEnd = 0xFF57,
    kKeyF12 = 0xFFC9,
    kKeyShiftLeft = 0xFFE1,
    kKeyControlLeft = 0xFFE3,
    kKeyAltLeft = 0xFFE9
};

// Pointer buttons as X numbers them: 4 and 5 are a notch of the wheel away from and towards the
// player.
enum Button : unsigned { kButtonLeft = 1, kButtonRight = 3, kWheelAway = 4, kWheelTowards = 5 };

class XClient {
public:
    // Connects to $DISPLAY; throws std::runtime_error without a server or without XTEST.
    XClient();
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    Box Screen() const;
    // The mapped top-level window that process `pid` made (its _NET_WM_PID), or 0.
    WindowId FindWindow(pid_t pid) const;
    // The mapped top-level window titled `title`, or 0 (a box a program shows without a window
    // of its own has no process id on it).
    WindowId FindWindowTitled(const std::string& title) const;
    // The window's title (_NET_WM_NAME, UTF-8); empty when it has none or is gone.
    std::string Title(WindowId window) const;
    // The first (largest) icon the window offers; empty when it has none.
    Icon WindowIcon(WindowId window) const;
    // Where the window lies on the screen; an empty box when it is gone.
    Box Geometry(WindowId window) const;
    // What the screen shows in `box` (clipped to the screen). Without a window manager or a
    // compositor that is exactly what the windows there have drawn.
    Pixels Grab(const Box& box) const;

    // Keyboard input goes to `window` from now on (no window manager hands out the focus).
    void Focus(WindowId window);
    // Keys go down in the order given, and up in the reverse order.
    void Press(std::initializer_list<unsigned long> keysyms);
    void Release(std::initializer_list<unsigned long> keysyms);
    // The keys pressed and released back to back, quicker than any frame of a program.
    void Tap(std::initializer_list<unsigned long> keysyms);
    void MovePointer(int x, int y);  // screen pixels
    // A button (or a notch of the wheel) goes down or up where the pointer is.
    void PressButton(Button button);
    void ReleaseButton(Button button);
    // The left button goes down (or up) where the pointer is.
    void PressPointer(bool down);
    // The left button pressed at (x, y) and let go there a moment later, as a player clicks.
    void Click(int x, int y);
    // The left button pressed and let go back to back where the pointer is: a touchpad's tap.
    void TapPointer();
    // What the close box of a window manager sends: WM_DELETE_WINDOW.
    void RequestClose(WindowId window);

private:
    struct Connection;  // the display and the error handler it replaced, both given back on close
    void SendKey(unsigned long keysym, bool down);

    std::unique_ptr<Connection> connection_;
    _XDisplay* display_;
};

// The one part of a desktop's window manager that the game's full screen needs: a window that
// asks for the full-screen state (_NET_WM_STATE_FULLSCREEN) is laid over the whole screen, and
// given back its place when it asks to leave it. Without any window manager the X server keeps
// the window where it is and SDL's desktop full screen changes nothing on the screen. While one
// lives it also maps and places the windows as they ask, as a window manager must. Runs on its
// own connection and thread.
class StandInWindowManager {
public:
    StandInWindowManager();
    ~StandInWindowManager();
    StandInWindowManager(const StandInWindowManager&) = delete;
    StandInWindowManager& operator=(const StandInWindowManager&) = delete;

private:
    struct Loop;
    std::unique_ptr<Loop> loop_;
};

}  // namespace progtest
